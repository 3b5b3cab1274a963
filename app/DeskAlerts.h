// Signs of the automatic check for a desk nobody is looking at: a desktop notice and the
// window's urgency hint when new callback requests wait, and a notice plus a status-bar
// message on the main window when a ticket could not be printed.
//
// New requests are announced when the count rises above what was last announced or seen,
// not at the sound threshold: the threshold keeps the sound from ringing for one or two
// requests, but a silent notice costs nothing, and a minimised desk otherwise shows no sign
// at all. A count that stays the same is not announced again.
#pragma once

#include <string>

class IDeskWindow {
public:
    virtual ~IDeskWindow() = default;
    // True while the user can see the desk: one of its windows is active and the main
    // window is not minimised.
    virtual bool IsWatched() const = 0;
    // Asks the desktop to draw attention to the main window.
    virtual void Alert() = 0;
    // A message that stays on the main window's status bar; empty takes it away.
    virtual void ShowStatusAlert(const std::string& text) = 0;
};

class CDeskAlerts {
public:
    static constexpr char kTagNewRequests[] = "new-requests";
    static constexpr char kTagTicketFailed[] = "ticket-failed";
    static constexpr char kNewRequestsSummary[] = "새 콜백 요청 %d건";
    static constexpr char kTicketFailedBody[] =
        "영수증 프린터를 확인하십시오. 출력되지 않은 요청은 다음 검사에서 다시 인쇄합니다.";

    explicit CDeskAlerts(IDeskWindow& window);

    // After one automatic check of the service (the combo's text, "ID.name"): counted says
    // whether the count query answered, count is its value, ticketFailed whether a ticket
    // of this check could not be printed.
    void OnCheckFinished(const std::string& service, bool counted, int count, bool ticketFailed);

    // "name (ID)" for the combo text "ID.name"; the text itself when it has no '.'.
    static std::string ServiceLabel(const std::string& service);

private:
    IDeskWindow& m_window;
    int m_nAnnouncedCount = 0;     // requests last announced or seen on the desk
    bool m_bFailureShown = false;  // tickets fail since the last announced failure
};
