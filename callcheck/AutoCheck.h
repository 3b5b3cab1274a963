// The automatic check of the callback-request view: every ten seconds it counts the
// unprocessed callback requests of the selected service and period, shows the count, and
// depending on the two check boxes sounds the alert, reloads the unprocessed list and
// prints a receipt ticket per record, marking each printed record processed.
//
// The view owns one and forwards its start and stop buttons, the auto-print box and its
// timer ticks; everything else goes through IAutoCheckHost.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>

class IAutoCheckHost;

class CAutoCheck {
public:
    using Clock = std::function<time_t()>;

    // The texts of the check, byte for byte.
    static constexpr char kMsgSelectService[] = "서비스 ID를 선택하여 주십시오";
    static constexpr char kStatusCheckStart[] = "검사 시작";
    static constexpr char kStatusCheckEnd[] = "검사 종료";
    static constexpr char kStatusNoNewData[] = "새 콜백 데이터 없음";
    static constexpr char kStatusPrintFailed[] = "티켓 출력 실패";
    // Two parts joined by a carriage return and line feed; the second ends with a blank.
    static constexpr char kMsgNoMiniPrinter[] =
        "미니 프린터 드라이버가 설정 되지 않았습니다.\r\n"
        "미니 프린터 드라이버를 설정 후 사용하십시오 ";
    static constexpr char kSoundFile[] = "./notify.wav";
    static constexpr char kLogCheck[] = "CCallCheckView::CheckCallbackData sql(%s)";
    static constexpr char kLogAutoPrint[] = "AutoPrint sql(%s)";
    // ACS_ID, printer name, what went wrong.
    static constexpr char kLogTicketFailed[] = "AutoPrint ticket not printed ACS_ID(%s) printer(%s): %s";

    static constexpr int kFirstTickPeriodMs = 0;  // the first check comes at once
    static constexpr int kTickPeriodMs = 1000;

    // clock gives the current time in seconds since 1970; the system clock when empty.
    explicit CAutoCheck(IAutoCheckHost& host, Clock clock = {});

    void OnButtonAutoStart();
    void OnButtonAutoStop();
    // One timer tick: counts down, or runs a check when the interval is over.
    void OnTimer();
    // One check: count, show, reload, print, sound.
    void CheckCallbackData();
    // Prints and marks every row of the list, then empties it. False when it stopped at a
    // row: that row is not marked and the list keeps all its rows.
    bool AutoPrint();
    // After the auto-print box toggled.
    void OnCheckAutoPrint();

    bool IsRunning() const { return m_bRunning; }

    int m_nAlarmCount = 5;       // sound threshold in records, read from the edit at every check
    int m_nCheckInterval = 10;   // seconds between the end of a check and the next one
    int32_t m_tLastCheck = 0;    // when the last check ended, seconds since 1970

private:
    time_t Now() const;
    void ArmTimer(int periodMs);

    IAutoCheckHost& m_host;
    Clock m_clock;
    bool m_bRunning = false;
    bool m_bPrintFailed = false;   // the current check's tickets did not all print
    bool m_bReloadHeld = false;    // a check's reload waits for a record action to end
};
