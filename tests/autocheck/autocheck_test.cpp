// The automatic check on the fixture database: a recording host stands in for the view, a
// controllable clock and delivered ticks for the timer, recording printers for the receipt
// printer and a recording player for the sound.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "callcheck/AutoCheck.h"
#include "callcheck/AutoCheckHost.h"
#include "data/Queries.h"
#include "output/Ticket.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/qt/PrintDevice.h"
#include "res/Strings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/CupsScheduler.h"
#include "tests/support/Fixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/PgCluster.h"
#include "tests/support/Rows.h"
#include "tests/support/StatementServer.h"
#include "tests/support/qt/RecordingPrintDevice.h"
#include "tests/support/qt/RecordingSound.h"
#include "tests/support/ScriptedMessages.h"

namespace {

using Row = std::vector<std::string>;

// The view as the check sees it: plain members for the controls, the list as rows of texts
// (column 0 the row number, then the fields of the real unprocessed list statement).
class RecordingHost : public IAutoCheckHost {
public:
    std::string serviceId = "101";
    int serviceType = 1;
    std::string firstDay = kDay1;
    std::string lastDay = kDay3;
    std::string alarmText = "5";
    bool autoQuery = false;
    bool autoPrint = false;
    std::string newCount = "0";     // the form's initial texts
    std::string countdown = "10";
    std::vector<std::string> statuses;
    bool startEnabled = true;
    bool stopEnabled = false;
    bool comboEnabled = true;
    int focusCount = 0;
    std::vector<Row> rows;
    int listQueries = 0;
    bool actionPending = false;
    int timerPeriod = -1;  // -1: no timer
    std::vector<std::string> timerCalls;
    std::vector<int> timerAtCount;  // the timer's state while each count was shown
    int badReads = 0;
    std::function<void()> onCount;      // after the count reached its label
    std::function<void()> onListQuery;  // after a reload
    std::function<void(const std::string&)> onStatus;  // after a status line
    std::vector<std::string> finished;  // "counted count ticketFailed" of every check, as 0/1

    std::string GetSelectedServiceId() const override { return serviceId; }
    int GetServiceType() const override { return serviceType; }
    std::string GetFirstDay() const override { return firstDay; }
    std::string GetLastDay() const override { return lastDay; }
    std::string GetAlarmCountText() const override { return alarmText; }
    bool IsAutoQueryChecked() const override { return autoQuery; }
    void SetAutoQueryChecked(bool checked) override { autoQuery = checked; }
    bool IsAutoPrintChecked() const override { return autoPrint; }
    void SetAutoPrintChecked(bool checked) override { autoPrint = checked; }
    void SetNewCountText(const std::string& text) override {
        newCount = text;
        timerAtCount.push_back(timerPeriod);
        if (onCount) onCount();
    }
    void SetCountdownText(const std::string& text) override { countdown = text; }
    void SetStatusText(const std::string& text) override {
        statuses.push_back(text);
        if (onStatus) onStatus(text);
    }
    void EnableAutoStart(bool enable) override { startEnabled = enable; }
    void EnableAutoStop(bool enable) override { stopEnabled = enable; }
    void EnableServiceCombo(bool enable) override { comboEnabled = enable; }
    void FocusServiceCombo() override { ++focusCount; }
    const void* MessageOwner() const override { return this; }

    void QueryUnprocessedList() override {
        ++listQueries;
        rows.clear();
        const auto fields = QueryRows(*g_pEnv, sql::CallbackListSql(serviceType == 1, sql::ListKind::Unprocessed,
                                                                     serviceId, firstDay, lastDay,
                                                                     g_pEnv->m_strAgentName));
        for (const Row& f : fields) {
            Row row{std::to_string(rows.size() + 1)};
            row.insert(row.end(), f.begin(), f.end());
            rows.push_back(std::move(row));
        }
        if (onListQuery) onListQuery();
    }
    int GetListItemCount() const override { return static_cast<int>(rows.size()); }
    std::string GetListItemText(int item, int column) const override {
        if (item < 0 || item >= static_cast<int>(rows.size()) || column < 0 ||
            column >= static_cast<int>(rows[item].size())) {
            ++const_cast<RecordingHost*>(this)->badReads;
            return "";
        }
        return rows[item][column];
    }
    void DeleteAllListItems() override { rows.clear(); }
    bool IsActionPending() const override { return actionPending; }
    void SetTimer(int periodMs) override {
        timerPeriod = periodMs;
        timerCalls.push_back("set " + std::to_string(periodMs));
    }
    void KillTimer() override {
        timerPeriod = -1;
        timerCalls.push_back("kill");
    }
    void OnCheckFinished(bool counted, int count, bool ticketFailed) override {
        finished.push_back(std::to_string(counted) + " " + std::to_string(count) + " " + std::to_string(ticketFailed));
    }
};

// Receipt printers for the test: every open makes a device with its own recording, so each
// ticket is a job of its own; chosen opens can be refused or made to fail.
struct PrintJobs {
    enum class Fault { None, Open, StartJob, BeginPage };
    std::map<int, Fault> faults;  // by open attempt, counted from 0
    int attempts = 0;
    std::vector<std::shared_ptr<platform::PrintRecording>> jobs;
    std::vector<size_t> logLinesAtOpen;  // how many of the check's log lines existed at each open
    std::function<size_t()> logLines;

    std::unique_ptr<platform::PrintDevice> Open(const std::string& name) {
        if (name.empty()) return nullptr;
        const int attempt = attempts++;
        const Fault fault = faults.count(attempt) ? faults[attempt] : Fault::None;
        if (fault == Fault::Open) return nullptr;
        auto recording = std::make_shared<platform::PrintRecording>();
        recording->failStartDoc = fault == Fault::StartJob;
        recording->failStartPage = fault == Fault::BeginPage;
        jobs.push_back(recording);
        logLinesAtOpen.push_back(logLines());
        return std::make_unique<platform::RecordingPrintDevice>(name, recording);
    }

    std::vector<std::string> Lines(size_t job) const {
        std::vector<std::string> lines;
        for (const auto& text : jobs.at(job)->texts) lines.push_back(text.text);
        return lines;
    }
};

class CurrentDir {
public:
    explicit CurrentDir(const std::string& dir) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~CurrentDir() { std::filesystem::current_path(previous_); }
    CurrentDir(const CurrentDir&) = delete;
    CurrentDir& operator=(const CurrentDir&) = delete;

private:
    std::filesystem::path previous_;
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// A planted fault that shortens a row must fail the test that reads it, not crash the suite.
TEST(RowHelpers, AShortRowFailsTheTestInsteadOfBeingReadPast) {
    const std::vector<Row> rows{{"1", "a"}, {"2"}};
    std::vector<std::string> column;
    EXPECT_NONFATAL_FAILURE(column = FieldColumn(rows, 1), "row of 1 fields has no field 1");
    EXPECT_EQ(column, (std::vector<std::string>{"a", ""}));
    RecordingHost host;
    host.rows = rows;
    EXPECT_EQ(host.GetListItemText(1, 3), "");
    EXPECT_EQ(host.GetListItemText(2, 0), "");
    EXPECT_EQ(host.badReads, 2);
}

class AutoCheckTest : public ::testing::Test {
protected:
    AutoCheckTest() : cwd_(dir_.Path()) {
        CreateFixtureDatabase(dir_.File("fixture.db"));
        session_ = std::make_unique<EnvSession>("file:" + dir_.File("fixture.db"));
        Env().m_strMiniPrintDriver = "receipt";
        printers_.logLines = [this] { return CheckLog().size(); };
        previousFactory_ = platform::SetPrintDeviceFactory(
            [this](const std::string& name) { return printers_.Open(name); });
    }
    ~AutoCheckTest() override { platform::SetPrintDeviceFactory(std::move(previousFactory_)); }

    CKestrimEnv& Env() { return session_->Env(); }

    // The next tick of the armed timer: at period 0 at once, at 1000 ms a second later.
    void Tick() {
        ASSERT_GE(host_.timerPeriod, 0) << "no timer is armed";
        if (host_.timerPeriod > 0) now_ += host_.timerPeriod / 1000;
        check_.OnTimer();
    }
    int Checks() const {
        return static_cast<int>(std::count(host_.statuses.begin(), host_.statuses.end(),
                                           std::string(CAutoCheck::kStatusCheckStart)));
    }
    // Delivers ticks until the next check has run; the number of ticks it took.
    int RunToNextCheck() {
        const int before = Checks();
        for (int ticks = 1; ticks <= 60; ++ticks) {
            if (host_.timerPeriod < 0) {
                ADD_FAILURE() << "no timer is armed after " << ticks - 1 << " ticks";
                return -1;
            }
            Tick();
            if (Checks() > before) return ticks;
        }
        ADD_FAILURE() << "no check within 60 ticks";
        return -1;
    }
    // Starts the check and runs the first one.
    void StartAndCheck() {
        check_.OnButtonAutoStart();
        RunToNextCheck();
    }

    // The log lines the check wrote, in order.
    std::vector<std::string> CheckLog() const {
        std::vector<std::string> lines;
        for (const std::string& line : log_.Lines()) {
            if (line.rfind("[Orvanta]CCallCheckView::CheckCallbackData", 0) == 0 ||
                line.rfind("[Orvanta]AutoPrint", 0) == 0)
                lines.push_back(line);
        }
        return lines;
    }
    static std::string CountLine(const std::string& statement) {
        return "[Orvanta]" + platform::StrFormat(CAutoCheck::kLogCheck, statement.c_str());
    }
    static std::string MarkLine(const std::string& acsId) {
        const std::string statement = Replace(GoldenStatement("mark_processed"), "= 42 ", "= " + acsId + " ");
        return "[Orvanta]" + platform::StrFormat(CAutoCheck::kLogAutoPrint, statement.c_str());
    }
    static std::string FailureLine(const std::string& acsId, const std::string& printer, const std::string& why) {
        return "[Orvanta]" + platform::StrFormat(CAutoCheck::kLogTicketFailed, acsId.c_str(), printer.c_str(), why.c_str());
    }
    std::string CountLineFor(const std::string& first, const std::string& last) const {
        return CountLine(sql::NewCountSql(host_.serviceId, first, last, session_->Env().m_strAgentName));
    }

    // Times the sound was started; every start stops what plays first.
    int SoundsPlayed() const {
        int played = 0;
        const auto& calls = sound_.Calls();
        for (size_t i = 0; i < calls.size(); ++i) {
            if (calls[i] == "stop") {
                EXPECT_LT(i + 1, calls.size()) << "stopped without playing";
                ++played;
            }
        }
        return played;
    }

    void AddRequest(int acsId, const std::string& day, const std::string& time, const char* agent = nullptr) {
        const std::string agentValue = agent ? std::string("'") + agent + "'" : "NULL";
        ASSERT_TRUE(Env().ExecuteSQL(
            "insert into RST_INB (ACS_ID, SVC_ID, USER_ID, RECV_PHONE, CALLER_ID, CUST_INFO, DIAL_DATE, DIAL_TIME, "
            "COMM_TIME, IS_PRINT, IS_CALLBACK, IS_DELETE, RES_REPLY, COMMENT, AGENT_NM) values (" +
            std::to_string(acsId) + ", 101, 'demo', '0215550000', '01055550000', '21', '" + day + "', '" + time +
            "', '42', '0', '1', '0', '0', '', " + agentValue + ")"));
    }
    std::vector<int> ProcessedIds() {
        std::vector<int> ids;
        for (const Row& row : QueryRows(Env(), "select ACS_ID from RST_INB where IS_PRINT = '1'"))
            ids.push_back(std::atoi(FieldAt(row, 0).c_str()));
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    // The recording player never decodes it: any file will do.
    void WriteSilentNotify() { std::ofstream(dir_.File("notify.wav"), std::ios::binary) << "RIFF"; }

    TempDir dir_;
    CurrentDir cwd_;  // "./notify.wav" is looked up here
    std::unique_ptr<EnvSession> session_;
    LogCapture log_;
    platform::ScriptedMessages boxes_;
    platform::RecordingSound sound_;
    PrintJobs printers_;
    platform::PrintDeviceFactory previousFactory_;
    RecordingHost host_;
    time_t now_ = 1'800'000'000;
    CAutoCheck check_{host_, [this] { return now_; }};
};

TEST_F(AutoCheckTest, FirstCheckAtOnceThenACountdownAndTheNextCheckElevenSecondsAfterTheEnd) {
    check_.OnButtonAutoStart();
    EXPECT_EQ(host_.timerCalls, (std::vector<std::string>{"set 0"}));
    EXPECT_FALSE(host_.startEnabled);
    EXPECT_TRUE(host_.stopEnabled);
    EXPECT_FALSE(host_.comboEnabled);

    Tick();  // the view has never checked: the first tick checks
    EXPECT_EQ(host_.statuses, (std::vector<std::string>{CAutoCheck::kStatusCheckStart, CAutoCheck::kStatusCheckEnd}));
    EXPECT_EQ(host_.newCount, "4");
    EXPECT_EQ(CheckLog(), std::vector<std::string>{CountLine(GoldenStatement("count"))});
    // The timer is dead while the check runs and ticks every second afterwards.
    EXPECT_EQ(host_.timerCalls, (std::vector<std::string>{"set 0", "kill", "set 1000"}));
    EXPECT_EQ(host_.timerAtCount, std::vector<int>{-1});
    EXPECT_EQ(check_.m_tLastCheck, now_);

    std::vector<std::string> countdown;
    for (int i = 0; i < 10; ++i) {
        Tick();
        countdown.push_back(host_.countdown);
    }
    EXPECT_EQ(countdown, (std::vector<std::string>{"9", "8", "7", "6", "5", "4", "3", "2", "1", "0"}));
    EXPECT_EQ(Checks(), 1);

    // A slow check: the next interval counts from its end, read after it.
    host_.onCount = [this] { now_ += 3; };
    const time_t started = now_ + 1;
    Tick();
    EXPECT_EQ(Checks(), 2);
    EXPECT_EQ(check_.m_tLastCheck, started + 3);
    host_.onCount = nullptr;
    EXPECT_EQ(RunToNextCheck(), 11);
    EXPECT_EQ(host_.timerAtCount, (std::vector<int>{-1, -1, -1}));
}

TEST_F(AutoCheckTest, ThresholdFiveIsSilentAtFourAndSoundsAtFiveAtEveryCheck) {
    WriteSilentNotify();
    StartAndCheck();
    EXPECT_EQ(host_.newCount, "4");
    EXPECT_EQ(SoundsPlayed(), 0);

    AddRequest(20, kDay2, "110000");
    RunToNextCheck();
    EXPECT_EQ(host_.newCount, "5");
    const std::string notify = (std::filesystem::canonical(dir_.Path()) / "notify.wav").string();
    EXPECT_EQ(sound_.Calls(), (std::vector<std::string>{"stop", "play " + notify}));

    RunToNextCheck();  // still five: sounds again
    EXPECT_EQ(SoundsPlayed(), 2);

    host_.alarmText = "6";  // the edit is read at every check
    RunToNextCheck();
    EXPECT_EQ(check_.m_nAlarmCount, 6);
    EXPECT_EQ(SoundsPlayed(), 2);
    EXPECT_EQ(host_.listQueries, 0);  // reload is off
    EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(AutoCheckTest, ThresholdZeroOrWithoutLeadingDigitsSoundsEvenWhenNothingIsWaiting) {
    host_.serviceId = "103";  // no callback requests at all
    host_.serviceType = 3;
    struct Case {
        const char* text;
        int threshold;
        bool sounds;
    };
    const Case cases[] = {
        {"0", 0, true},
        {"abc", 0, true},
        {"  -2", -2, true},
        {" +3x", 3, false},
        {"99999999999", INT_MAX, false},  // too large: never reached, not wrapped to a negative
        {"", 0, true},
    };
    check_.OnButtonAutoStart();
    int expected = 0;
    for (const Case& c : cases) {
        host_.alarmText = c.text;
        RunToNextCheck();
        EXPECT_EQ(host_.newCount, "0") << c.text;
        EXPECT_EQ(check_.m_nAlarmCount, c.threshold) << c.text;
        if (c.sounds) ++expected;
        EXPECT_EQ(SoundsPlayed(), expected) << "threshold text \"" << c.text << "\"";
    }
    // Without the file the desktop's alert plays instead.
    EXPECT_EQ(sound_.Calls().at(1), "alert");
}

TEST_F(AutoCheckTest, AutoPrintWithoutReloadOnlyShowsTheCount) {
    host_.autoPrint = true;
    host_.alarmText = "0";
    host_.rows = {{"1", "77"}};
    StartAndCheck();
    EXPECT_EQ(host_.newCount, "4");
    EXPECT_EQ(host_.listQueries, 0);
    EXPECT_EQ(host_.rows, (std::vector<Row>{{"1", "77"}}));
    EXPECT_EQ(printers_.attempts, 0);
    EXPECT_EQ(SoundsPlayed(), 0);  // tickets would come out: no sound
    EXPECT_EQ(CheckLog().size(), 1u);
}

TEST_F(AutoCheckTest, ThreeRequestsArePrintedInListOrderEachThenMarkedAndTheListEnds) {
    host_.lastDay = kDay1;
    host_.autoQuery = true;
    host_.autoPrint = true;
    host_.alarmText = "0";
    std::vector<Row> reloaded;
    host_.onListQuery = [&] { reloaded = host_.rows; };
    StartAndCheck();

    EXPECT_EQ(host_.newCount, "3");
    EXPECT_EQ(host_.listQueries, 1);
    ASSERT_EQ(FieldColumn(reloaded, 1), (std::vector<std::string>{"1", "2", "8"}));  // DIAL_DATE, DIAL_TIME order
    ASSERT_EQ(printers_.jobs.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const std::string phoneLine = printers_.Lines(i).at(0);
        const std::string& phone = FieldAt(reloaded[i], 3);
        EXPECT_TRUE(phoneLine.size() > phone.size() && phoneLine.compare(phoneLine.size() - phone.size(), phone.size(), phone) == 0)
            << "ticket " << i << ": " << phoneLine;
    }
    EXPECT_EQ(CheckLog(), (std::vector<std::string>{CountLineFor(kDay1, kDay1), MarkLine("1"), MarkLine("2"),
                                                    MarkLine("8")}));
    // Each ticket is out before its record is marked.
    EXPECT_EQ(printers_.logLinesAtOpen, (std::vector<size_t>{1, 2, 3}));
    for (const auto& job : printers_.jobs) EXPECT_EQ(job->calls.back(), "DeleteDC");
    EXPECT_TRUE(host_.rows.empty());
    EXPECT_EQ(ProcessedIds(), (std::vector<int>{1, 2, 4, 8, 11}));
    EXPECT_EQ(host_.statuses.back(), CAutoCheck::kStatusCheckEnd);
    EXPECT_EQ(SoundsPlayed(), 0);

    RunToNextCheck();
    EXPECT_EQ(host_.newCount, "0");
    EXPECT_EQ(host_.listQueries, 1);
    EXPECT_EQ(printers_.attempts, 3);
    EXPECT_EQ(host_.badReads, 0);
    EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(AutoCheckTest, LoanTicketsHaveSixLinesFromTheLoanColumnsAndOthersFour) {
    host_.autoQuery = true;
    host_.autoPrint = true;
    std::vector<Row> reloaded;
    host_.onListQuery = [&] { reloaded = host_.rows; };

    host_.lastDay = kDay1;
    StartAndCheck();
    ASSERT_EQ(reloaded.size(), 3u);
    ASSERT_EQ(printers_.jobs.size(), 3u);
    for (size_t i = 0; i < reloaded.size(); ++i) {
        const Row& r = reloaded[i];
        // phone 3, caller 4, date 7, time 8, duration 11, type 5, amount 6
        const TicketFields expected{FieldAt(r, 3), FieldAt(r, 4), FieldAt(r, 7), FieldAt(r, 8),
                                    FieldAt(r, 11), FieldAt(r, 5), FieldAt(r, 6)};
        EXPECT_EQ(printers_.Lines(i), TicketLines(expected, true)) << "ticket " << i;
    }
    EXPECT_FALSE(FieldAt(reloaded[0], 5).empty());  // ACS 1 has a loan type and an amount
    EXPECT_FALSE(FieldAt(reloaded[0], 6).empty());
    check_.OnButtonAutoStop();

    host_.serviceId = "102";
    host_.serviceType = 2;
    host_.lastDay = kDay3;
    printers_.jobs.clear();
    check_.m_tLastCheck = 0;
    StartAndCheck();
    ASSERT_EQ(reloaded.size(), 1u);
    ASSERT_EQ(printers_.jobs.size(), 1u);
    const Row& r = reloaded[0];
    // phone 3, caller 4, date 5, time 6, duration 7
    EXPECT_EQ(printers_.Lines(0),
              TicketLines({FieldAt(r, 3), FieldAt(r, 4), FieldAt(r, 5), FieldAt(r, 6), FieldAt(r, 7), "", ""}, false));
    EXPECT_EQ(printers_.Lines(0).size(), 4u);
    EXPECT_EQ(host_.badReads, 0);
}

TEST_F(AutoCheckTest, AutoPrintBoxNeedsAReceiptPrinterAndSwitchesTheReloadOn) {
    Env().m_strMiniPrintDriver.clear();
    host_.autoPrint = true;  // the box has just been ticked
    check_.OnCheckAutoPrint();
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    const platform::MessageBoxRequest& box = boxes_.Shown()[0];
    EXPECT_EQ(box.text, CAutoCheck::kMsgNoMiniPrinter);
    EXPECT_NE(box.text.find(".\r\n"), std::string::npos);
    EXPECT_EQ(box.text.back(), ' ');
    EXPECT_EQ(box.caption, res::kTitleInfo);
    EXPECT_EQ(box.type, platform::MB_OK | platform::MB_ICONINFORMATION);
    EXPECT_EQ(box.owner, &host_);
    EXPECT_FALSE(host_.autoPrint);
    EXPECT_FALSE(host_.autoQuery);

    boxes_.Clear();
    Env().m_strMiniPrintDriver = "receipt";
    host_.autoPrint = true;
    check_.OnCheckAutoPrint();
    EXPECT_TRUE(boxes_.Shown().empty());
    EXPECT_TRUE(host_.autoPrint);
    EXPECT_TRUE(host_.autoQuery);

    host_.autoPrint = false;  // switching it off changes nothing else
    check_.OnCheckAutoPrint();
    EXPECT_TRUE(host_.autoQuery);
    EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(AutoCheckTest, StartNeedsAServiceAndARestartWithinTenSecondsCountsDownTheRest) {
    host_.serviceId.clear();
    check_.OnButtonAutoStart();
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, CAutoCheck::kMsgSelectService);
    EXPECT_EQ(boxes_.Shown()[0].caption, res::kTitleError);
    EXPECT_EQ(boxes_.Shown()[0].type & platform::MB_ICONMASK, platform::MB_ICONERROR);
    EXPECT_EQ(boxes_.Shown()[0].owner, &host_);
    EXPECT_EQ(host_.focusCount, 1);
    EXPECT_TRUE(host_.timerCalls.empty());
    EXPECT_TRUE(host_.startEnabled);
    EXPECT_FALSE(host_.stopEnabled);
    EXPECT_FALSE(check_.IsRunning());

    host_.serviceId = "101";
    StartAndCheck();
    const int32_t lastCheck = check_.m_tLastCheck;
    for (int i = 0; i < 3; ++i) Tick();
    EXPECT_EQ(host_.countdown, "7");

    check_.OnButtonAutoStop();
    EXPECT_EQ(host_.timerCalls.back(), "kill");
    EXPECT_EQ(host_.timerPeriod, -1);
    EXPECT_TRUE(host_.startEnabled);
    EXPECT_FALSE(host_.stopEnabled);
    EXPECT_TRUE(host_.comboEnabled);
    // The texts and the time of the last check stay.
    EXPECT_EQ(host_.countdown, "7");
    EXPECT_EQ(host_.newCount, "4");
    EXPECT_EQ(host_.statuses.back(), CAutoCheck::kStatusCheckEnd);
    EXPECT_EQ(check_.m_tLastCheck, lastCheck);

    now_ += 2;  // five seconds after the check
    check_.OnButtonAutoStart();
    EXPECT_EQ(host_.timerPeriod, 0);
    Tick();
    Tick();  // period 0 ticks come quicker than the clock moves
    EXPECT_EQ(host_.countdown, "5");
    EXPECT_EQ(Checks(), 1);
    now_ += 5;
    Tick();
    EXPECT_EQ(host_.countdown, "0");
    EXPECT_EQ(Checks(), 1);
    now_ += 1;
    Tick();
    EXPECT_EQ(Checks(), 2);
    EXPECT_EQ(host_.timerPeriod, 1000);
}

TEST_F(AutoCheckTest, StopFromInsideACheckLeavesTheTimerDead) {
    check_.OnButtonAutoStart();
    // A box of the check runs its own event loop; the user stops the check meanwhile.
    host_.onCount = [this] { check_.OnButtonAutoStop(); };
    Tick();
    EXPECT_EQ(Checks(), 1);
    EXPECT_EQ(host_.timerPeriod, -1);
    EXPECT_TRUE(host_.startEnabled);
    EXPECT_FALSE(check_.IsRunning());
}

TEST_F(AutoCheckTest, AgentCountsReloadsAndPrintsOnlyTheirOwnRequests) {
    const auto agents =
        QueryRows(Env(), "select AGENT_NM from USER_AGENT_INFO where USER_ID = 'demo' and PASSWORD = '1234'");
    ASSERT_EQ(agents.size(), 1u);
    Env().m_strAgentName = FieldAt(agents[0], 0);
    host_.autoQuery = true;
    host_.autoPrint = true;
    std::vector<Row> reloaded;
    host_.onListQuery = [&] { reloaded = host_.rows; };
    StartAndCheck();

    EXPECT_EQ(host_.newCount, "1");
    EXPECT_EQ(CheckLog(), (std::vector<std::string>{CountLine(GoldenStatement("count_agent")), MarkLine("2")}));
    EXPECT_EQ(FieldColumn(reloaded, 1), std::vector<std::string>{"2"});
    EXPECT_EQ(printers_.jobs.size(), 1u);

    // The other requests are still waiting for the desk as a whole.
    Env().m_strAgentName.clear();
    host_.autoPrint = false;
    host_.autoQuery = false;
    RunToNextCheck();
    EXPECT_EQ(host_.newCount, "3");
}

TEST_F(AutoCheckTest, ChangedPeriodCountsAtTheNextCheck) {
    host_.lastDay = kDay1;
    StartAndCheck();
    EXPECT_EQ(host_.newCount, "3");
    host_.firstDay = kDay2;
    host_.lastDay = kDay2;
    RunToNextCheck();
    EXPECT_EQ(host_.newCount, "1");
    EXPECT_EQ(CheckLog(), (std::vector<std::string>{CountLineFor(kDay1, kDay1), CountLineFor(kDay2, kDay2)}));
}

TEST_F(AutoCheckTest, AnOpenActionHoldsOnlyTheReloadAndPrintingWhileCountsAndSoundGoOn) {
    WriteSilentNotify();
    host_.autoQuery = true;
    const std::vector<Row> underAction{{"1", "2", "101.x"}};
    host_.rows = underAction;
    host_.actionPending = true;  // a memo dialog stays open across three periods

    StartAndCheck();
    EXPECT_EQ(host_.newCount, "4");
    EXPECT_EQ(SoundsPlayed(), 0);
    AddRequest(20, kDay2, "110000");
    EXPECT_EQ(RunToNextCheck(), 11);  // the countdown goes on as usual
    EXPECT_EQ(host_.newCount, "5");
    EXPECT_EQ(SoundsPlayed(), 1);
    host_.autoPrint = true;  // tickets would come out now: no sound, and they wait too
    RunToNextCheck();
    EXPECT_EQ(host_.countdown, "0");
    EXPECT_EQ(SoundsPlayed(), 1);
    EXPECT_EQ(CheckLog(), std::vector<std::string>(3, CountLine(GoldenStatement("count"))));
    EXPECT_EQ(host_.listQueries, 0);
    EXPECT_EQ(host_.rows, underAction);
    EXPECT_EQ(printers_.attempts, 0);
    EXPECT_EQ(host_.statuses.back(), CAutoCheck::kStatusCheckEnd);

    host_.actionPending = false;  // the dialog is closed: the very next tick catches up
    Tick();
    EXPECT_EQ(Checks(), 4);
    EXPECT_EQ(host_.listQueries, 1);
    EXPECT_EQ(printers_.jobs.size(), 5u);
    EXPECT_TRUE(host_.rows.empty());
    EXPECT_EQ(ProcessedIds(), (std::vector<int>{1, 2, 3, 4, 8, 11, 20}));
    RunToNextCheck();  // nothing is held any more: a whole period again
    EXPECT_EQ(Checks(), 5);
}

TEST_F(AutoCheckTest, AHeldReloadCountsAgainBeforeItRuns) {
    host_.autoQuery = true;
    host_.actionPending = true;
    StartAndCheck();
    EXPECT_EQ(host_.newCount, "4");
    // The action itself completed every waiting request: the catch-up finds nothing to
    // reload (a reload now would only say that the period has no data).
    ASSERT_TRUE(Env().ExecuteSQL("update RST_INB set IS_PRINT = '1' where SVC_ID = 101"));
    host_.actionPending = false;
    Tick();
    EXPECT_EQ(Checks(), 2);
    EXPECT_EQ(host_.newCount, "0");
    EXPECT_EQ(host_.listQueries, 0);
    // Stopping drops a held reload: a later start waits for its period as usual.
    host_.actionPending = true;
    ASSERT_TRUE(Env().ExecuteSQL("update RST_INB set IS_PRINT = '0' where ACS_ID = 1"));
    RunToNextCheck();
    check_.OnButtonAutoStop();
    host_.actionPending = false;
    check_.OnButtonAutoStart();
    Tick();
    EXPECT_EQ(Checks(), 3);
    EXPECT_EQ(host_.countdown, "10");
}

class TicketFailureTest : public AutoCheckTest, public ::testing::WithParamInterface<PrintJobs::Fault> {};

TEST_P(TicketFailureTest, RequestWhoseTicketDidNotPrintStaysUnprocessedAndTheListStays) {
    host_.lastDay = kDay1;
    host_.autoQuery = true;
    host_.autoPrint = true;
    printers_.faults[1] = GetParam();  // the second ticket
    std::vector<Row> reloaded;
    host_.onListQuery = [&] { reloaded = host_.rows; };
    StartAndCheck();

    // The refusal is in the log with the request and the printer: a lost ticket can be traced.
    const char* why = GetParam() == PrintJobs::Fault::Open       ? "printer not found"
                      : GetParam() == PrintJobs::Fault::StartJob ? "job not started"
                                                                 : "page not started";
    EXPECT_EQ(CheckLog(), (std::vector<std::string>{CountLineFor(kDay1, kDay1), MarkLine("1"),
                                                     FailureLine("2", "receipt", why)}));
    EXPECT_EQ(host_.rows, reloaded);
    EXPECT_EQ(host_.rows.size(), 3u);
    EXPECT_EQ(printers_.attempts, 2);  // the third is not tried
    EXPECT_EQ(host_.finished, std::vector<std::string>{"1 3 1"});
    EXPECT_EQ(host_.statuses,
              (std::vector<std::string>{CAutoCheck::kStatusCheckStart, CAutoCheck::kStatusPrintFailed}));
    EXPECT_EQ(ProcessedIds(), (std::vector<int>{1, 4, 11}));
    EXPECT_TRUE(boxes_.Shown().empty());
    EXPECT_EQ(host_.timerPeriod, 1000);  // the cycle goes on

    // The printer is back: the next check finds both again and prints them.
    printers_.jobs.clear();
    log_.Clear();
    RunToNextCheck();
    EXPECT_EQ(host_.newCount, "2");
    EXPECT_EQ(CheckLog(), (std::vector<std::string>{CountLineFor(kDay1, kDay1), MarkLine("2"), MarkLine("8")}));
    EXPECT_EQ(printers_.jobs.size(), 2u);
    EXPECT_TRUE(host_.rows.empty());
    EXPECT_EQ(host_.statuses.back(), CAutoCheck::kStatusCheckEnd);
    // The failure belonged to the earlier check only.
    EXPECT_EQ(host_.finished, (std::vector<std::string>{"1 3 1", "1 2 0"}));
}

INSTANTIATE_TEST_SUITE_P(Faults, TicketFailureTest,
                         ::testing::Values(PrintJobs::Fault::Open, PrintJobs::Fault::StartJob,
                                           PrintJobs::Fault::BeginPage),
                         [](const ::testing::TestParamInfo<PrintJobs::Fault>& info) {
                             switch (info.param) {
                                 case PrintJobs::Fault::Open: return std::string("OpenPrinter");
                                 case PrintJobs::Fault::StartJob: return std::string("StartJob");
                                 case PrintJobs::Fault::BeginPage: return std::string("BeginPage");
                                 default: return std::string("None");
                             }
                         });

TEST_F(AutoCheckTest, WithTheReceiptPrinterGoneNothingIsMarked) {
    host_.lastDay = kDay1;
    host_.autoQuery = true;
    host_.autoPrint = true;
    Env().m_strMiniPrintDriver.clear();  // e.g. the settings changed after the box was ticked
    StartAndCheck();
    EXPECT_EQ(CheckLog(), (std::vector<std::string>{CountLineFor(kDay1, kDay1),
                                                     FailureLine("1", "", "printer not found")}));
    EXPECT_EQ(host_.rows.size(), 3u);
    EXPECT_EQ(host_.statuses.back(), CAutoCheck::kStatusPrintFailed);
    EXPECT_EQ(ProcessedIds(), (std::vector<int>{4, 11}));
}

TEST_F(AutoCheckTest, FailedMarkStopsThePrintingAndKeepsTheList) {
    host_.lastDay = kDay1;
    host_.autoQuery = true;
    host_.autoPrint = true;
    host_.onListQuery = [&] {  // a key the database refuses
        ASSERT_TRUE(host_.rows.size() > 1 && host_.rows[1].size() > 1);
        host_.rows[1][1] = "2 2";
    };
    StartAndCheck();
    ASSERT_EQ(boxes_.Shown().size(), 1u);  // the database error
    EXPECT_EQ(boxes_.Shown()[0].caption, res::kTitleError);
    EXPECT_EQ(printers_.jobs.size(), 2u);  // the third ticket is not printed
    EXPECT_EQ(host_.rows.size(), 3u);
    EXPECT_EQ(ProcessedIds(), (std::vector<int>{1, 4, 11}));
    EXPECT_EQ(host_.timerPeriod, 1000);
}

TEST_F(AutoCheckTest, FailedCountEmptiesTheLabelSkipsTheReloadAndStillSoundsAtZero) {
    host_.serviceId = "x";  // the database refuses the statement
    host_.autoQuery = true;
    host_.alarmText = "0";
    StartAndCheck();
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].caption, res::kTitleError);
    EXPECT_EQ(host_.newCount, "");
    EXPECT_EQ(host_.listQueries, 0);
    EXPECT_EQ(SoundsPlayed(), 1);
    EXPECT_EQ(host_.timerPeriod, 1000);
    EXPECT_EQ(host_.finished, std::vector<std::string>{"0 0 0"});  // no count to announce
}

// The desk's connection goes in the middle of a check: its PostgreSQL server stops as the
// check starts (the count fails), after the count (the reload fails) or after the reload
// (the first mark fails). The failed check must leave the cycle running, and the next
// check, with the server back, does the work in full.
enum class CutAt { Count, Reload, Mark };

class AutoCheckCutOffTest : public AutoCheckTest, public ::testing::WithParamInterface<CutAt> {
protected:
    AutoCheckCutOffTest() : server_(StartStatementServer(ServerKind::Postgres)) {
        session_.reset();
        session_ = std::make_unique<EnvSession>(server_->Address());
        Env().m_strMiniPrintDriver = "receipt";
    }
    static PgCluster& Cluster() { return SharedPgCluster(); }
    // Stops the server once, at the test's moment.
    void CutOffAt(CutAt at) {
        if (cut_ || at != GetParam()) return;
        cut_ = true;
        ASSERT_TRUE(Cluster().Stop("fast")) << Cluster().ErrorText();
    }

    std::unique_ptr<StatementServer> server_;
    bool cut_ = false;
};

TEST_P(AutoCheckCutOffTest, TheNextCheckComesOnTimeAndDoesTheWork) {
    host_.lastDay = kDay1;
    host_.autoQuery = true;
    host_.autoPrint = true;
    host_.onStatus = [&](const std::string& text) {
        if (text == CAutoCheck::kStatusCheckStart) CutOffAt(CutAt::Count);
    };
    host_.onCount = [&] { CutOffAt(CutAt::Reload); };
    host_.onListQuery = [&] { CutOffAt(CutAt::Mark); };
    const size_t processed = ProcessedIds().size();

    StartAndCheck();
    ASSERT_TRUE(cut_);
    EXPECT_EQ(host_.finished, std::vector<std::string>{GetParam() == CutAt::Count ? "0 0 0" : "1 3 0"});
    if (GetParam() != CutAt::Reload) {
        EXPECT_FALSE(boxes_.Shown().empty());  // the failure was shown
    }
    EXPECT_EQ(printers_.jobs.size(), GetParam() == CutAt::Mark ? 1u : 0u);
    EXPECT_EQ(host_.timerPeriod, CAutoCheck::kTickPeriodMs);  // the cycle goes on

    ASSERT_TRUE(Cluster().Start()) << Cluster().ErrorText();
    EXPECT_EQ(RunToNextCheck(), 11);
    EXPECT_EQ(host_.finished.back(), "1 3 0");
    // Every request is printed and marked now; a ticket whose mark was cut off came out twice.
    EXPECT_EQ(printers_.jobs.size(), GetParam() == CutAt::Mark ? 4u : 3u);
    EXPECT_EQ(ProcessedIds().size(), processed + 3);
    EXPECT_TRUE(host_.rows.empty());
    EXPECT_EQ(host_.timerPeriod, CAutoCheck::kTickPeriodMs);
}

INSTANTIATE_TEST_SUITE_P(Moments, AutoCheckCutOffTest, ::testing::Values(CutAt::Count, CutAt::Reload, CutAt::Mark),
                         [](const auto& info) {
                             switch (info.param) {
                                 case CutAt::Count:
                                     return std::string("Count");
                                 case CutAt::Reload:
                                     return std::string("Reload");
                                 case CutAt::Mark:
                                     break;
                             }
                             return std::string("Mark");
                         });

// Standard output of a command, its complaints left out; ok is false when it failed.
std::string RunCommand(const std::vector<std::string>& command, bool* ok) {
    const ChildResult result = RunChild(command, {.errPath = "/dev/null"});
    *ok = result.exitCode == 0;
    return result.out;
}

TEST_F(AutoCheckTest, TicketsReachTheVirtualReceiptPrinterAsOnePdfEach) {
    platform::SetPrintDeviceFactory({});  // the real printer layer
    const std::string folder = dir_.File("tickets");
    Env().m_strMiniPrintDriver = "pdf:" + folder;
    host_.lastDay = kDay1;
    host_.autoQuery = true;
    host_.autoPrint = true;
    std::vector<Row> reloaded;
    host_.onListQuery = [&] { reloaded = host_.rows; };
    StartAndCheck();
    ASSERT_EQ(reloaded.size(), 3u);
    EXPECT_TRUE(host_.rows.empty());
    EXPECT_EQ(host_.statuses.back(), CAutoCheck::kStatusCheckEnd);

    std::vector<std::string> pdfText;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        bool ok = false;
        pdfText.push_back(RunCommand({"pdftotext", "-enc", "UTF-8", "-layout", entry.path().string(), "-"}, &ok));
        ASSERT_TRUE(ok) << "pdftotext failed or is missing (scripts/bootstrap installs poppler-utils)";
    }
    ASSERT_EQ(pdfText.size(), 3u);
    // Every request's phone number is on exactly one ticket.
    for (const Row& row : reloaded) {
        const auto found = std::count_if(pdfText.begin(), pdfText.end(),
                                         [&](const std::string& text) { return text.find(FieldAt(row, 3)) != std::string::npos; });
        EXPECT_EQ(found, 1) << FieldAt(row, 3);
    }
    EXPECT_EQ(ProcessedIds(), (std::vector<int>{1, 2, 4, 8, 11}));
}


// One word of `pdftotext -bbox`: its box in points from the top-left corner of the page.
struct PdfWord {
    double xMin, yMin, xMax, yMax;
    std::string text;
};

std::vector<PdfWord> PdfWords(const std::string& bboxHtml) {
    std::vector<PdfWord> words;
    size_t at = 0;
    while ((at = bboxHtml.find("<word ", at)) != std::string::npos) {
        PdfWord word{};
        const size_t close = bboxHtml.find('>', at);
        const size_t end = bboxHtml.find("</word>", close);
        if (close == std::string::npos || end == std::string::npos) break;
        if (std::sscanf(bboxHtml.c_str() + at, "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\"", &word.xMin,
                        &word.yMin, &word.xMax, &word.yMax) == 4) {
            word.text = bboxHtml.substr(close + 1, end - close - 1);
            words.push_back(word);
        }
        at = end;
    }
    return words;
}

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// The automatic check printing through a real print queue on an 80 mm receipt roll.
class CupsAutoPrintTest : public AutoCheckTest {
protected:
    static constexpr char kDay[] = "20261210";  // a day of its own: one request to print
    CupsAutoPrintTest() {
        platform::SetPrintDeviceFactory({});  // the real printer layer
        host_.firstDay = kDay;
        host_.lastDay = kDay;
        host_.autoQuery = true;
        host_.autoPrint = true;
    }
};

TEST_F(CupsAutoPrintTest, RefusedJobMarksNothingAndTheAcceptedOnePrintsOnceAtFullSizeOnTheRoll) {
    CupsScheduler cups;
    if (!cups.Running()) GTEST_SKIP() << "no print scheduler for this test: " << cups.Problem();
    ASSERT_TRUE(cups.QueueReady()) << cups.Problem();
    Env().m_strMiniPrintDriver = CupsScheduler::kQueue;
    AddRequest(901, kDay, "101500");

    // The queue refuses jobs: the request stays unprocessed, and the log says why.
    ASSERT_TRUE(cups.SetAccepting(false));
    StartAndCheck();
    EXPECT_EQ(host_.statuses.back(), CAutoCheck::kStatusPrintFailed);
    EXPECT_EQ(ProcessedIds(), (std::vector<int>{4, 11}));
    ASSERT_EQ(host_.rows.size(), 1u);
    const Row request = host_.rows[0];
    const std::vector<std::string> lines = CheckLog();
    ASSERT_EQ(lines.size(), 2u);
    const std::string failure = FailureLine("901", CupsScheduler::kQueue, "job not taken: ");
    EXPECT_EQ(lines[1].substr(0, failure.size()), failure);
    EXPECT_NE(lines[1].find("not accepting jobs"), std::string::npos) << lines[1];
    EXPECT_EQ(cups.JobCount(), 0);

    // Accepting again: the next check prints it, marks it, and no later check prints it again.
    ASSERT_TRUE(cups.SetAccepting(true));
    RunToNextCheck();
    EXPECT_EQ(host_.statuses.back(), CAutoCheck::kStatusCheckEnd);
    EXPECT_EQ(ProcessedIds(), (std::vector<int>{4, 11, 901}));
    ASSERT_TRUE(cups.WaitForCompletedJobs(1)) << cups.ErrorLog();
    RunToNextCheck();
    EXPECT_EQ(host_.newCount, "0");
    EXPECT_EQ(cups.JobCount(), 1);

    // The page is the roll's (80 mm = 226.77 pt wide) and the ticket is at its real size: the
    // first line 20 pt below the top and 20 pt right of the printable area (the roll's
    // margin is 4 mm = 11.34 pt), in 12-point type.
    bool ok = false;
    const std::string info = RunCommand({"pdfinfo", cups.OutputFile()}, &ok);
    ASSERT_TRUE(ok) << "pdfinfo failed or is missing (scripts/bootstrap installs poppler-utils)";
    EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Page size:       226.77 x 566.93 pts"), std::string::npos) << info;

    const std::vector<PdfWord> words = PdfWords(RunCommand({"pdftotext", "-bbox", cups.OutputFile(), "-"}, &ok));
    ASSERT_TRUE(ok);
    ASSERT_FALSE(words.empty());
    EXPECT_EQ(words[0].text, "전화번호:");
    EXPECT_NEAR(words[0].xMin, 11.34 + 20, 2.0);
    EXPECT_NEAR(words[0].yMin, 20, 4.0);
    EXPECT_NEAR(words[0].yMax - words[0].yMin, 12 * 1.15, 3.0);

    const std::string text = RunCommand({"pdftotext", "-enc", "UTF-8", "-layout", cups.OutputFile(), "-"}, &ok);
    TicketFields fields{request[3], request[4], request[7], request[8], request[11], request[5], request[6]};
    for (const std::string& line : TicketLines(fields, true))
        EXPECT_NE(text.find(TrimRight(line)), std::string::npos) << line << "\n" << text;
}

}  // namespace
