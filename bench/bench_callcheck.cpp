// The callback-request view with a large period: 100,000 unprocessed requests of the loan
// service of the bench database listed through the view's own query path, against the bare
// client call with an empty row callback; sorting them by a text column; the memory the
// listed rows take.
//   bench_callcheck [runs] [database path]
#include <QApplication>
#include <QDateEdit>
#include <QSettings>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/OrvantaApp.h"
#include "bench/BenchData.h"
#include "callcheck/CallCheckView.h"
#include "controls/ComboBox.h"
#include "controls/ListCtrl.h"
#include "data/KestrimEnv.h"
#include "data/Queries.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"
#include "tests/support/ScriptedMessages.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + key.size(), nullptr, 10);
    }
    return -1;
}

int32_t g_rowsSeen = 0;
int32_t EmptyRowCallback(int32_t, int32_t, int32_t, const char*) {
    ++g_rowsSeen;
    return 1;
}

QDate Day(const char* yyyymmdd) { return QDate::fromString(QString::fromLatin1(yyyymmdd), QStringLiteral("yyyyMMdd")); }

struct Stats {
    double min, median, max;
};

Stats Summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values.front(), values[values.size() / 2], values.back()};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string path = argc > 2 ? argv[2] : bench::DefaultBenchDbPath();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The statements are logged; the log is not what is measured.
    platform::SetDebugSink([](std::string_view) {});

    bench::EnsureBenchDatabase(path);

    QApplication app(argc, argv);
    const std::string profileDir = (std::filesystem::temp_directory_path() / "bench-callcheck-profile").string();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(profileDir));
    COrvantaApp::SetupProfile();
    platform::ScriptedMessages messages;  // no boxes on screen

    CKestrimEnv env;
    env.m_strServerIp = "file:" + path;
    env.m_strPort = "8907";
    env.m_strDbName = "NEW_ACS";
    env.m_strUserId = "bench";
    env.RDBServerOpen();
    g_pEnv = &env;

    const std::string sql = sql::CallbackListSql(true, sql::ListKind::Unprocessed, "1", bench::kBenchFirstDay,
                                                 bench::kBenchLastDay, "");
    const long rssStart = StatusKb("VmRSS");

    // The bare client call.
    std::vector<double> bare;
    for (int run = 0; run < runs; ++run) {
        g_rowsSeen = 0;
        RDBSetEventCallBackFN(&EmptyRowCallback);
        int32_t rows = 0;
        RDB_ERROR error{};
        const auto start = Clock::now();
        const int32_t result = RDBQueryRecord(env.m_hRdb, env.m_strDbName.c_str(), 0, sql.c_str(), &rows, &error);
        bare.push_back(Seconds(start, Clock::now()));
        if (result <= 0 || rows != bench::kBenchLoanUnprocessed) {
            std::fprintf(stderr, "bare query failed: result %d, %d rows, code %d\n", result, rows, error.nCode);
            return 1;
        }
    }

    // The same list through the view: its button handler, the loan layout, the rows into
    // the list, and the first paint of the shown list.
    CCallCheckView view;
    view.resize(view.FormSize());
    view.show();
    view.OnInitialUpdate();
    view.m_dateFrom->setDate(Day(bench::kBenchFirstDay));
    view.m_dateTo->setDate(Day(bench::kBenchLastDay));
    if (view.m_nServiceType != 1 || g_pEnv->GetComboSelServiceId(view.m_comboService) != "1") {
        std::fprintf(stderr, "service 1 (type 1) is not selected\n");
        return 1;
    }
    QApplication::processEvents();
    std::vector<double> listed, painted;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        view.OnButtonQueryList();
        const auto filled = Clock::now();
        QApplication::processEvents();
        view.m_list->viewport()->repaint();
        const auto shown = Clock::now();
        listed.push_back(Seconds(start, filled));
        painted.push_back(Seconds(start, shown));
        if (view.m_list->GetItemCount() != bench::kBenchLoanUnprocessed || !messages.Shown().empty()) {
            std::fprintf(stderr, "view listed %d rows\n", view.m_list->GetItemCount());
            return 1;
        }
    }
    const long rssListed = StatusKb("VmRSS");

    // Sorting by a text column (the phone number): descending, then ascending.
    std::vector<double> sorts;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        view.OnColumnClickList(3);
        sorts.push_back(Seconds(start, Clock::now()));
    }
    QApplication::processEvents();
    const long rssSorted = StatusKb("VmRSS");
    const long hwm = StatusKb("VmHWM");

    const Stats b = Summarise(bare), l = Summarise(listed), p = Summarise(painted), s = Summarise(sorts);
    std::printf("loan layout, %d rows, %d runs\n", bench::kBenchLoanUnprocessed, runs);
    std::printf("  bare RDBQueryRecord, empty callback: min %.3f s, median %.3f s, max %.3f s\n", b.min, b.median,
                b.max);
    std::printf("  view list (query, rows into the list): min %.3f s, median %.3f s, max %.3f s\n", l.min, l.median,
                l.max);
    std::printf("  view list and first paint:             min %.3f s, median %.3f s, max %.3f s\n", p.min, p.median,
                p.max);
    std::printf("  ratio view list / bare (medians): %.2f (target: at most 2); with the paint: %.2f\n",
                l.median / b.median, p.median / b.median);
    std::printf("  sort by column 3 (text): min %.3f s, median %.3f s, max %.3f s (target: under 0.5 s)\n", s.min,
                s.median, s.max);
    std::printf("  VmRSS: %ld MB at start, %ld MB with the rows listed, %ld MB after sorting; peak %ld MB "
                "(target: under 300 MB)\n",
                rssStart / 1024, rssListed / 1024, rssSorted / 1024, hwm / 1024);
    g_pEnv = nullptr;
    return 0;
}
