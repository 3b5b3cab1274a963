// The network path under load, against a real rdbd:
//   1. a 100,000-row loan-layout list through TCP versus the embedded engine, same file
//   2. 200 desks issuing the new-record count on a 1,000,000-record database at once:
//      throughput and latency percentiles
//   3. peak resident memory of rdbd during 2
// The databases are made once under /tmp and reused.
//
//   bench_tcp [--rdbd PATH] [--clients N] [--seconds S] [--runs N] [--only list|count]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/epoll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "data/RdbClient.h"
#include "data/Statements.h"
#include "platform/Format.h"
#include "rdb/engine/Engine.h"
#include "rdb/net/FrameDecoder.h"
#include "rdb/net/Protocol.h"
#include "rdb/net/Socket.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char kListDb[] = "/tmp/orvanta-bench-list100k.db";
constexpr const char kBigDb[] = "/tmp/orvanta-bench-1m.db";
constexpr int kListRows = 100000;
constexpr int kBigRecords = 1000000;
constexpr int kServices = 50;
constexpr int kDays = 200;
constexpr int kListService = 101;
constexpr const char kListFirstDay[] = "20261101";
constexpr const char kListLastDay[] = "20261130";

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// YYYYMMDD of the day `back` days before 2026-11-30.
std::string DayText(int back) {
    using namespace std::chrono;
    const sys_days last = year{2026} / November / 30;
    const year_month_day d{last - days{back}};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02u%02u", static_cast<int>(d.year()),
                  static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()));
    return buf;
}

void Exec(sqlite3* db, const char* sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
        std::string text = msg ? msg : "?";
        sqlite3_free(msg);
        throw std::runtime_error(text);
    }
}

bool HasMarker(const std::string& path, int records) {
    if (access(path.c_str(), F_OK) != 0) return false;
    rdb::Error err;
    rdb::Engine::Options options;
    options.readOnly = true;
    auto engine = rdb::Engine::Open(path, options, &err);
    if (!engine) return false;
    sqlite3_stmt* stmt = nullptr;
    bool ok = false;
    if (sqlite3_prepare_v2(engine->Handle(), "select N from BENCH_INFO", -1, &stmt, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        ok = sqlite3_column_int(stmt, 0) == records;
    sqlite3_finalize(stmt);
    return ok;
}

// Creates the database with the engine (schema), then fills RST_INB with plain inserts in
// one transaction. record(i, bind) binds the row's values.
template <typename Fill>
void MakeDatabase(const std::string& path, int records, int services, Fill fill) {
    if (HasMarker(path, records)) return;
    for (const char* suffix : {"", "-wal", "-shm"}) unlink((path + suffix).c_str());
    std::fprintf(stderr, "making %s (%d records)...\n", path.c_str(), records);
    const auto start = Clock::now();
    rdb::Error err;
    rdb::Engine::Options options;
    options.create = true;
    auto engine = rdb::Engine::Open(path, options, &err);
    if (!engine) throw std::runtime_error("cannot create " + path + ": " + err.message);
    sqlite3* db = engine->Handle();
    Exec(db, "BEGIN");
    Exec(db, "INSERT INTO USER_INFO (USER_ID, USER_NM, PASSWORD) VALUES ('bench', 'Bench', 'pw')");
    sqlite3_stmt* svc = nullptr;
    sqlite3_prepare_v2(
        db,
        "INSERT INTO SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, SVC_TYPE, CALLBACK_DIST, "
        "NO_REQ_DISP) VALUES (?, ?, 'bench', ?, 1, 1)",
        -1, &svc, nullptr);
    for (int s = 0; s < services; ++s) {
        sqlite3_bind_int(svc, 1, kListService + s);
        const std::string name = "Service " + std::to_string(kListService + s);
        sqlite3_bind_text(svc, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(svc, 3, s % 2 == 0 ? 1 : 2);
        sqlite3_step(svc);
        sqlite3_reset(svc);
    }
    sqlite3_finalize(svc);
    sqlite3_stmt* ins = nullptr;
    if (sqlite3_prepare_v2(
            db,
            "INSERT INTO RST_INB (SVC_ID, USER_ID, RECV_PHONE, CALLER_ID, CUST_INFO, "
            "DIAL_DATE, DIAL_TIME, COMM_TIME, IS_PRINT, IS_CALLBACK, IS_DELETE, "
            "RES_REPLY, COMMENT, AGENT_NM) VALUES (?1, 'bench', ?2, ?3, ?4, ?5, ?6, "
            "?7, ?8, ?9, ?10, '0', ?11, NULL)",
            -1, &ins, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
    std::mt19937 rng(20261130);
    for (int i = 0; i < records; ++i) {
        fill(i, rng, ins);
        if (sqlite3_step(ins) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    Exec(db, "CREATE TABLE BENCH_INFO (N INTEGER)");
    const std::string marker = "INSERT INTO BENCH_INFO VALUES (" + std::to_string(records) + ")";
    Exec(db, marker.c_str());
    Exec(db, "COMMIT");
    Exec(db, "ANALYZE");
    std::fprintf(stderr, "made in %.1f s\n", Ms(Clock::now() - start) / 1000);
}

void BindCommon(std::mt19937& rng, sqlite3_stmt* ins, int svc, const std::string& day, int second) {
    char phone[24];
    char time[16];
    std::snprintf(phone, sizeof phone, "010%08u", static_cast<unsigned>(rng() % 100000000));
    std::snprintf(time, sizeof time, "%02d%02d%02d", second / 3600 % 24, second / 60 % 60,
                  second % 60);
    static const char* custInfo[] = {"11", "12", "21", "22", ""};
    sqlite3_bind_int(ins, 1, svc);
    sqlite3_bind_text(ins, 2, phone, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(ins, 3, phone, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(ins, 4, custInfo[rng() % 5], -1, SQLITE_STATIC);
    sqlite3_bind_text(ins, 5, day.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(ins, 6, time, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(ins, 7, "00:01:35", -1, SQLITE_STATIC);
}

void MakeListDatabase() {
    // Every record an unprocessed callback request of one type-1 service over 30 days.
    MakeDatabase(kListDb, kListRows, 1, [](int i, std::mt19937& rng, sqlite3_stmt* ins) {
        const int perDay = kListRows / 30 + 1;
        BindCommon(rng, ins, kListService, DayText(29 - i / perDay), (i % perDay) * 86400 / perDay);
        sqlite3_bind_text(ins, 8, "0", -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 9, "1", -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 10, "0", -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 11, i % 7 == 0 ? "call back after 6 pm" : "", -1, SQLITE_STATIC);
    });
}

void MakeBigDatabase() {
    // kServices services over kDays days, in date and time order as a call centre writes
    // them; a third are callback requests, of which the older days are processed.
    MakeDatabase(kBigDb, kBigRecords, kServices, [](int i, std::mt19937& rng, sqlite3_stmt* ins) {
        const int perDay = kBigRecords / kDays;
        const int back = kDays - 1 - i / perDay;
        BindCommon(rng, ins, kListService + static_cast<int>(rng() % kServices), DayText(back),
                   (i % perDay) * 86400 / perDay);
        const bool request = rng() % 3 == 0;
        const bool processed = back > 0 || rng() % 2 == 0;
        sqlite3_bind_text(ins, 8, processed ? "1" : "0", -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 9, request ? "1" : "0", -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 10, rng() % 50 == 0 ? "1" : "0", -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 11, "", -1, SQLITE_STATIC);
    });
}

std::string ListSql() {
    const std::string tpl = std::string(sql::kSqlLoanListPrefix) + sql::kSqlLoanUnprocessedTail;
    return platform::StrFormat(tpl.c_str(), std::to_string(kListService).c_str(), kListFirstDay,
                               kListLastDay) +
           sql::kSqlListOrder;
}

std::string CountSql(int svc, const std::string& day) {
    const std::string tpl = std::string(sql::kSqlCountHead) + sql::kSqlCountTabs +
                            sql::kSqlCountMiddle + sql::kSqlCountTabs + sql::kSqlCountTail;
    return platform::StrFormat(tpl.c_str(), std::to_string(svc).c_str(), day.c_str(), day.c_str());
}

// rdbd as a child process.
class Gateway {
public:
    Gateway(const std::string& binary, const std::string& db) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        std::vector<std::string> args = {binary, "--db", db, "--listen", "127.0.0.1:0"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, "/tmp/orvanta-bench-rdbd.log",
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, binary.c_str(), &fa, nullptr, argv.data(), environ) != 0)
            throw std::runtime_error("cannot start " + binary);
        posix_spawn_file_actions_destroy(&fa);
        close(out[1]);
        std::string line;
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n') line.push_back(c);
        close(out[0]);
        if (line.rfind("listening on ", 0) != 0) throw std::runtime_error("rdbd did not start");
        address_ = line.substr(13);
    }
    ~Gateway() {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    const std::string& Address() const { return address_; }
    // A field of /proc/PID/status, in kB.
    long StatusKb(const char* field) const {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(in, line))
            if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field) + 1);
        return -1;
    }

private:
    pid_t pid_ = -1;
    std::string address_;
};

std::atomic<int64_t> g_rows{0};
std::atomic<int64_t> g_bytes{0};

int32_t CountRow(int32_t, int32_t, int32_t, const char* row) {
    g_rows.fetch_add(1, std::memory_order_relaxed);
    g_bytes.fetch_add(static_cast<int64_t>(std::strlen(row)), std::memory_order_relaxed);
    return 1;
}

double TimeList(RDBHANDLE h, const std::string& sql) {
    g_rows = 0;
    g_bytes = 0;
    RDBSetEventCallBackFN(CountRow);
    int32_t rows = 0;
    RDB_ERROR err{};
    const auto start = Clock::now();
    const int32_t r = RDBQueryRecord(h, "NEW_ACS", 0, sql.c_str(), &rows, &err);
    const double ms = Ms(Clock::now() - start);
    if (r != 1 || rows != kListRows || g_rows != kListRows)
        throw std::runtime_error("list failed: " + std::to_string(r) + " rows " +
                                 std::to_string(rows) + " " + err.szMessage);
    return ms;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return 0;
    const size_t i =
        std::min(sorted.size() - 1, static_cast<size_t>(p * (sorted.size() - 1) + 0.5));
    return sorted[i];
}

void BenchList(const std::string& rdbd, int runs) {
    MakeListDatabase();
    Gateway gateway(rdbd, kListDb);
    const std::string sql = ListSql();
    const RDBHANDLE local = RDBServerOpen((std::string("file:") + kListDb).c_str(), "8907");
    const RDBHANDLE remote = RDBServerOpen(gateway.Address().c_str(), "8907");
    TimeList(local, sql);  // warm the page cache and statement caches
    TimeList(remote, sql);
    std::vector<double> embedded, tcp;
    for (int i = 0; i < runs; ++i) {
        embedded.push_back(TimeList(local, sql));
        tcp.push_back(TimeList(remote, sql));
    }
    const double e = Median(embedded), t = Median(tcp);
    std::printf("[1] 100,000-row loan list (%.1f MB of rows), median of %d runs\n",
                static_cast<double>(g_bytes.load()) / 1e6, runs);
    std::printf("    embedded %.1f ms, tcp %.1f ms, ratio %.2f (target <= 1.5)\n", e, t, t / e);
}

// The same load from one thread driving every connection with epoll, as desks on separate
// machines would send it: no client threads compete with the gateway for the two cores.
void BenchCountEventLoop(const std::string& address, int clients, int seconds) {
    using namespace rdb::net;
    const std::string host = address.substr(0, address.rfind(':'));
    const auto port = static_cast<uint16_t>(std::atoi(address.c_str() + address.rfind(':') + 1));
    const std::string today = DayText(0);
    struct Conn {
        Socket socket;
        FrameDecoder decoder;
        std::string request;
        Clock::time_point sent;
        uint32_t id = 0;
    };
    std::vector<Conn> conns(clients);
    const int ep = epoll_create1(EPOLL_CLOEXEC);
    auto send = [&](int i) {
        Conn& c = conns[i];
        c.request.clear();
        AppendRequest(c.request, RequestMsg{FrameType::First, ++c.id, "NEW_ACS",
                                            CountSql(kListService + i % kServices, today)});
        std::string err;
        c.sent = Clock::now();
        c.socket.SendAll(c.request.data(), c.request.size(), 5000, &err);
    };
    for (int i = 0; i < clients; ++i) {
        std::string err;
        conns[i].socket = Socket::Connect(host, port, 5000, &err);
        std::string hello;
        AppendHello(hello, HelloMsg{});
        conns[i].socket.SendAll(hello.data(), hello.size(), 5000, &err);
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u32 = static_cast<uint32_t>(i);
        epoll_ctl(ep, EPOLL_CTL_ADD, conns[i].socket.Fd(), &ev);
    }
    std::vector<double> all;
    all.reserve(1 << 20);
    int failures = 0;
    int greeted = 0;
    bool measuring = false;
    Clock::time_point t0, end;
    epoll_event events[256];
    for (;;) {
        const int n = epoll_wait(ep, events, 256, 1000);
        for (int k = 0; k < n; ++k) {
            const int i = static_cast<int>(events[k].data.u32);
            Conn& c = conns[i];
            char* area = c.decoder.WriteArea(64 * 1024);
            size_t got = 0;
            std::string err;
            if (c.socket.RecvSome(area, c.decoder.WriteAreaSize(), 0, &got, &err) != IoStatus::Ok)
                continue;
            c.decoder.Commit(got);
            FrameView f;
            while (c.decoder.Next(&f) == FrameDecoder::Status::Frame) {
                if (f.type == FrameType::HelloOk) {
                    if (++greeted == clients) {
                        measuring = true;
                        t0 = Clock::now();
                        end = t0 + std::chrono::seconds(seconds);
                        for (int j = 0; j < clients; ++j) send(j);
                    }
                } else if (f.type == FrameType::Done) {
                    all.push_back(Ms(Clock::now() - c.sent));
                    if (Clock::now() < end) send(i);
                } else if (f.type == FrameType::Error) {
                    ++failures;
                    if (Clock::now() < end) send(i);
                }
            }
        }
        if (measuring && Clock::now() >= end + std::chrono::seconds(1)) break;
    }
    close(ep);
    const double wall = Ms(Clock::now() - t0) / 1000 - 1;
    std::sort(all.begin(), all.end());
    std::printf("[2b] %d connections driven by one event-loop thread, back to back for %d s\n",
                clients, seconds);
    std::printf(
        "    %zu counts, %.0f counts/s, p50 %.2f ms, p90 %.2f ms, p99 %.2f ms, max %.2f ms, "
        "failures %d\n",
        all.size(), static_cast<double>(all.size()) / wall, Percentile(all, 0.50),
        Percentile(all, 0.90), Percentile(all, 0.99), all.empty() ? 0 : all.back(), failures);
}

void BenchCount(const std::string& rdbd, int clients, int seconds) {
    MakeBigDatabase();
    Gateway gateway(rdbd, kBigDb);
    const std::string today = DayText(0);
    std::vector<RDBHANDLE> handles(clients);
    for (int i = 0; i < clients; ++i) handles[i] = RDBServerOpen(gateway.Address().c_str(), "8907");

    std::vector<std::vector<double>> latencies(clients);
    std::atomic<int> failures{0};
    std::barrier start(clients + 1);
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i) {
        threads.emplace_back([&, i] {
            const std::string sql = CountSql(kListService + i % kServices, today);
            char buf[RDB_FIRST_RECORD_SIZE];
            RDB_ERROR err{};
            // Connect (and prepare) before the clock starts, as a desk does at login.
            if (RDBQueryFirstRecord(handles[i], "NEW_ACS", sql.c_str(), buf, &err) != 1) ++failures;
            start.arrive_and_wait();
            latencies[i].reserve(4096);
            while (!stop.load(std::memory_order_relaxed)) {
                const auto t0 = Clock::now();
                const int32_t r =
                    RDBQueryFirstRecord(handles[i], "NEW_ACS", sql.c_str(), buf, &err);
                latencies[i].push_back(Ms(Clock::now() - t0));
                if (r != 1 || err.nCode != 0) ++failures;
            }
        });
    }
    start.arrive_and_wait();
    // Every desk is connected and has run one count.
    const long rssIdle = gateway.StatusKb("VmRSS:");
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
    for (auto& t : threads) t.join();
    const double wall = Ms(Clock::now() - t0) / 1000;
    std::vector<double> all;
    for (auto& v : latencies) all.insert(all.end(), v.begin(), v.end());
    std::sort(all.begin(), all.end());
    std::printf("[2] %d desks, new-record count of one service for today, back to back for %d s\n",
                clients, seconds);
    std::printf(
        "    %zu counts, %.0f counts/s, p50 %.2f ms, p90 %.2f ms, p99 %.2f ms, max %.2f ms, "
        "failures %d (target p99 < 50 ms)\n",
        all.size(), static_cast<double>(all.size()) / wall, Percentile(all, 0.50),
        Percentile(all, 0.90), Percentile(all, 0.99), all.empty() ? 0 : all.back(),
        failures.load());
    std::printf(
        "[3] rdbd memory: VmHWM %ld kB peak, VmRSS %ld kB now, %ld kB with the %d "
        "connections open before the load\n",
        gateway.StatusKb("VmHWM:"), gateway.StatusKb("VmRSS:"), rssIdle, clients);
    BenchCountEventLoop(gateway.Address(), clients, seconds);
    std::printf("    rdbd VmHWM after [2b]: %ld kB\n", gateway.StatusKb("VmHWM:"));
}

std::string DefaultRdbd() {
    if (const char* env = std::getenv("RDBD_PATH")) return env;
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "rdbd";
    self[n] = '\0';
    std::string dir(self);
    dir = dir.substr(0, dir.rfind('/'));
    return dir + "/../rdb/rdbd";
}

}  // namespace

int main(int argc, char** argv) {
    std::string rdbd = DefaultRdbd();
    int clients = 200;
    int seconds = 5;
    int runs = 5;
    bool list = true;
    bool count = true;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--rdbd")
            rdbd = argv[i + 1];
        else if (a == "--clients")
            clients = std::atoi(argv[i + 1]);
        else if (a == "--seconds")
            seconds = std::atoi(argv[i + 1]);
        else if (a == "--runs")
            runs = std::atoi(argv[i + 1]);
        else if (a == "--only") {
            list = std::string(argv[i + 1]) == "list";
            count = !list;
        }
    }
    signal(SIGPIPE, SIG_IGN);
    try {
        if (list) BenchList(rdbd, runs);
        if (count) BenchCount(rdbd, clients, seconds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_tcp: %s\n", e.what());
        return 1;
    }
    return 0;
}
