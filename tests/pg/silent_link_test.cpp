// The desk on a network that falls silent: packets vanish while every interface stays up,
// as when a switch or a WAN link dies. The desk and a server of its own live in two network
// namespaces made for the test, joined by two veth pairs; a static neighbour entry that
// points at a MAC address nobody has silences a pair. The namespaces have no name: they
// and their links vanish with the test program whatever happens.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "data/RdbClient.h"
#include "rdb/pg/PgRoles.h"
#include "rdb/pg/PgSchema.h"
#include "tests/support/PgBouncerProcess.h"
#include "tests/support/PgCluster.h"

namespace {

using Clock = std::chrono::steady_clock;

// The README's promise: no call waits longer than this for a silent network.
constexpr long long kBoundMs = 15000;
constexpr char kPassword[] = "silent-pw-41";
constexpr char kNowhere[] = "02:00:5e:00:53:99";  // no interface has it

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Runs a program in the network namespace nsFd; true when it exits with 0.
bool RunIn(int nsFd, const std::vector<std::string>& args, std::string* output = nullptr) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return false;
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(out[1], 2);
        if (nsFd >= 0 && setns(nsFd, CLONE_NEWNET) != 0) _exit(126);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (output != nullptr) *output = text;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A desk namespace and a server namespace joined by links 1 and 2: 10.231.N.1 on the desk's
// side, 10.231.N.2 on the server's. The calling thread is in the desk's namespace while the
// object lives, except inside InServer.
class SilentLinks {
public:
    static std::string ServerAddress(int link) { return "10.231." + std::to_string(link) + ".2"; }

    // False with *why when this machine cannot make the namespaces.
    bool Make(std::string* why) {
        if (geteuid() != 0) return Fail(why, "needs root for network namespaces");
        if (!RunIn(-1, {"ip", "netns", "list"})) return Fail(why, "`ip netns` (iproute2) is not available");
        original_ = Open();
        if (original_ < 0 || unshare(CLONE_NEWNET) != 0) return Fail(why, "unshare(CLONE_NEWNET) failed");
        server_ = Open();
        if (unshare(CLONE_NEWNET) != 0) return Fail(why, "unshare(CLONE_NEWNET) failed");
        desk_ = Open();
        std::string out;
        const std::string serverNs = "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(server_);
        bool ok = RunIn(desk_, {"ip", "link", "set", "lo", "up"}, &out) &&
                  RunIn(server_, {"ip", "link", "set", "lo", "up"}, &out);
        for (int link = 1; ok && link <= 2; ++link) {
            const std::string n = std::to_string(link);
            ok = RunIn(desk_, {"ip", "link", "add", "od" + n, "type", "veth", "peer", "name", "os" + n, "netns", serverNs},
                       &out) &&
                 RunIn(desk_, {"ip", "addr", "add", "10.231." + n + ".1/24", "dev", "od" + n}, &out) &&
                 RunIn(desk_, {"ip", "link", "set", "od" + n, "up"}, &out) &&
                 RunIn(server_, {"ip", "addr", "add", ServerAddress(link) + "/24", "dev", "os" + n}, &out) &&
                 RunIn(server_, {"ip", "link", "set", "os" + n, "up"}, &out);
        }
        if (!ok) return Fail(why, "ip failed: " + out);
        return true;
    }

    ~SilentLinks() {
        if (original_ >= 0) setns(original_, CLONE_NEWNET);
        for (int fd : {original_, server_, desk_})
            if (fd >= 0) close(fd);
    }

    // Runs f with the calling thread in the server's namespace: what it starts stays there.
    template <typename F>
    void InServer(F f) {
        setns(server_, CLONE_NEWNET);
        f();
        setns(desk_, CLONE_NEWNET);
    }

    // Both directions of a link drop every packet, or carry them again.
    bool Silence(int link, bool silent) {
        const std::string n = std::to_string(link);
        const std::string deskSide = "10.231." + n + ".1";
        if (silent)
            return RunIn(desk_, {"ip", "neigh", "replace", ServerAddress(link), "lladdr", kNowhere, "dev", "od" + n,
                                 "nud", "permanent"}) &&
                   RunIn(server_, {"ip", "neigh", "replace", deskSide, "lladdr", kNowhere, "dev", "os" + n, "nud",
                                   "permanent"});
        // Without the entries the neighbours are looked up again.
        const bool a = RunIn(desk_, {"ip", "neigh", "del", ServerAddress(link), "dev", "od" + n});
        const bool b = RunIn(server_, {"ip", "neigh", "del", deskSide, "dev", "os" + n});
        return a && b;
    }

private:
    static int Open() { return open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC); }
    static bool Fail(std::string* why, const std::string& text) {
        *why = text;
        return false;
    }

    int original_ = -1;
    int server_ = -1;
    int desk_ = -1;
};

// Brings link 1 back if a timed call has not ended in time, so a desk that would wait for
// ever fails the test instead of hanging it.
class Watchdog {
public:
    Watchdog(SilentLinks& links, int afterMs) : thread_([this, &links, afterMs] {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!done_cv_.wait_for(lock, std::chrono::milliseconds(afterMs), [this] { return done_; }))
            links.Silence(1, false);
    }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

// A call's result and how long the window would have been frozen.
struct Timed {
    int32_t rc = 0;
    long long ms = 0;
    std::string message;
};

// The figures go to the test's output, for the record.
void Report(const char* what, long long ms) { std::printf("silent link: %s took %lld ms\n", what, ms); }

Timed Execute(SilentLinks& links, RDBHANDLE h, const std::string& sql) {
    Watchdog dog(links, 25000);
    RDB_ERROR err{};
    const auto start = Clock::now();
    Timed t;
    t.rc = RDBExecuteSQL(h, "NEW_ACS", sql.c_str(), &err);
    t.ms = MsSince(start);
    t.message = err.szMessage;
    return t;
}

TEST(SilentNetwork, NoCallWaitsLongerThanTheBoundAndTheDeskRecoversWhenTheLinkReturns) {
    SilentLinks links;
    std::string why;
    if (!links.Make(&why)) GTEST_SKIP() << "no network namespaces here: " << why;
    PgCluster cluster;
    PgCluster::Options options;
    options.confLines = {"listen_addresses = '" + SilentLinks::ServerAddress(1) + "," + SilentLinks::ServerAddress(2) +
                         "'"};
    options.hbaLines = {"host all all 10.231.0.0/16 scram-sha-256"};
    bool started = false;
    links.InServer([&] { started = cluster.Start(options); });
    ASSERT_TRUE(started) << cluster.ErrorText();
    cluster.CreateLogin("desk", kPassword);
    cluster.Exec("CREATE DATABASE silent OWNER desk");
    const std::string port = std::to_string(cluster.Port());
    const std::string host1 = SilentLinks::ServerAddress(1) + ":" + port;
    const std::string host2 = SilentLinks::ServerAddress(2) + ":" + port;

    // "No limit" must not mean waiting for ever on a dead link.
    setenv("RDB_STATEMENT_TIMEOUT_MS", "0", 1);
    const RDBHANDLE desk = RDBServerOpen(("postgresql://desk:" + std::string(kPassword) + "@" + host1 + "/silent").c_str(), "8907");
    unsetenv("RDB_STATEMENT_TIMEOUT_MS");
    ASSERT_GT(desk, 0);
    ASSERT_EQ(Execute(links, desk, "select 1").rc, 1);

    {
        SCOPED_TRACE("a statement in flight when the link falls silent");
        std::thread silencer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            links.Silence(1, true);
        });
        Watchdog dog(links, 25000);
        RDB_ERROR err{};
        int32_t rows = 0;
        const auto start = Clock::now();
        const int32_t rc = RDBQueryRecord(desk, "NEW_ACS", 0, "select pg_sleep(30)", &rows, &err);
        const long long ms = MsSince(start);
        silencer.join();
        Report("a statement in flight", ms);
        EXPECT_LT(rc, 0) << err.szMessage;
        EXPECT_LT(ms, 1000 + kBoundMs) << err.szMessage;
    }
    ASSERT_TRUE(links.Silence(1, false));
    ASSERT_EQ(Execute(links, desk, "select 3").rc, 1);

    {
        SCOPED_TRACE("the first call after the link fell silent while the desk was idle");
        ASSERT_TRUE(links.Silence(1, true));
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        const Timed idle = Execute(links, desk, "select 4");
        Report("the first call after an idle second", idle.ms);
        EXPECT_LT(idle.rc, 0);
        EXPECT_LT(idle.ms, kBoundMs) << idle.message;
        // Then the desk connects again, and gives up in time too.
        const Timed connect = Execute(links, desk, "select 5");
        Report("connecting", connect.ms);
        EXPECT_EQ(connect.rc, RDB_E_TIMEOUT) << connect.message;
        EXPECT_LT(connect.ms, kBoundMs) << connect.message;
    }
    {
        SCOPED_TRACE("two hosts, the first silent");
        ASSERT_TRUE(links.Silence(1, true));
        const std::string both =
            "postgresql://desk:" + std::string(kPassword) + "@" + host1 + "," + host2 + "/silent?target_session_attrs=read-write";
        const RDBHANDLE failover = RDBServerOpen(both.c_str(), "8907");
        ASSERT_GT(failover, 0);
        const Timed t = Execute(links, failover, "select 6");
        Report("two hosts, the first silent", t.ms);
        EXPECT_EQ(t.rc, 1) << t.message;
        EXPECT_LT(t.ms, kBoundMs) << t.message;
    }

    // The link returns: the very next call works.
    ASSERT_TRUE(links.Silence(1, false));
    const Timed back = Execute(links, desk, "select 7");
    Report("the first call after the link returned", back.ms);
    EXPECT_EQ(back.rc, 1) << back.message;
    EXPECT_LT(back.ms, 3000);
}

// The server's side of a desk whose machine vanished: its backend must not hold a connection
// slot and its locks for the kernel's two hours. Three desks of one customer are cut off at
// once: one idle, one waiting for a statement, one being sent a large result nobody takes.
TEST(SilentNetwork, AVanishedDesksBackendIsGoneWithinItsKeepaliveTime) {
    SilentLinks links;
    std::string why;
    if (!links.Make(&why)) GTEST_SKIP() << "no network namespaces here: " << why;
    PgCluster cluster;
    PgCluster::Options options;
    options.confLines = {"listen_addresses = '" + SilentLinks::ServerAddress(1) + "'"};
    options.hbaLines = {"host all all 10.231.0.0/16 scram-sha-256"};
    bool started = false;
    links.InServer([&] { started = cluster.Start(options); });
    ASSERT_TRUE(started) << cluster.ErrorText();
    cluster.Exec("CREATE DATABASE vanish");
    rdb::pg::ConnPtr admin = cluster.Admin("vanish");
    std::string message;
    ASSERT_NE(rdb::pg::EnsureSchema(admin.get(), &message), rdb::pg::InitResult::Failed) << message;
    ASSERT_EQ(rdb::pg::LockDown(admin.get(), &message), rdb::pg::LockResult::Done) << message;
    ASSERT_TRUE(rdb::pg::AddCustomer(admin.get(), "demo", "desk_gone", kPassword, &message)) << message;

    // What a customer login is given, and the times the README promises with it.
    std::map<std::string, std::string> given;
    for (const auto& row : cluster.Rows("SELECT split_part(c, '=', 1), split_part(c, '=', 2) "
                                        "FROM pg_db_role_setting d, unnest(d.setconfig) c "
                                        "WHERE d.setdatabase = 0 AND d.setrole = 'desk_gone'::regrole"))
        given[row[0]] = row[1];
    ASSERT_EQ(given["tcp_keepalives_idle"], "60");
    ASSERT_EQ(given["tcp_keepalives_interval"], "10");
    ASSERT_EQ(given["tcp_keepalives_count"], "6");
    ASSERT_EQ(given["tcp_user_timeout"], "120000");
    ASSERT_EQ(given["client_connection_check_interval"], "10s");
    // Idle: unanswered keepalive probes end the connection after idle + count x interval,
    // 60 + 6 x 10 s. Data left unacknowledged: the user timeout, 120 s. A statement running:
    // the next connection check after that, 10 s later at most.

    // The same settings a tenth as long, so that the test takes seconds, not minutes.
    cluster.Exec("ALTER ROLE desk_gone SET tcp_keepalives_idle = 6; ALTER ROLE desk_gone SET tcp_keepalives_interval = 1; "
                 "ALTER ROLE desk_gone SET tcp_user_timeout = 12000; "
                 "ALTER ROLE desk_gone SET client_connection_check_interval = '1s'");
    const long long idleBoundMs = (6 + 6 * 1) * 1000;
    const long long checkMs = 1000;
    const std::string uri = "postgresql://desk_gone:" + std::string(kPassword) + "@" + SilentLinks::ServerAddress(1) +
                            ":" + std::to_string(cluster.Port()) + "/vanish";
    struct Desk {
        const char* what;
        rdb::pg::ConnPtr conn;
        std::string pid;
        long long boundMs;
        long long goneMs = -1;
    };
    std::vector<Desk> desks;
    desks.push_back({"idle", nullptr, "", idleBoundMs});
    desks.push_back({"waiting for its statement", nullptr, "", idleBoundMs + checkMs});
    // The result starts going out a second after the link fell silent.
    desks.push_back({"sent a result nobody takes", nullptr, "", 1000 + idleBoundMs});
    for (Desk& d : desks) {
        std::string error;
        d.conn = rdb::pg::Connect(uri, 10000, &error);
        ASSERT_TRUE(d.conn) << error;
        rdb::pg::ResultPtr r = rdb::pg::Exec(d.conn.get(), "SELECT pg_backend_pid(), current_setting('tcp_keepalives_idle')",
                                             {}, &error);
        ASSERT_TRUE(r) << error;
        d.pid = PQgetvalue(r.get(), 0, 0);
        EXPECT_STREQ(PQgetvalue(r.get(), 0, 1), "6");
    }
    ASSERT_EQ(PQsendQuery(desks[1].conn.get(), "SELECT pg_sleep(35)"), 1);
    ASSERT_EQ(PQsendQuery(desks[2].conn.get(), "SELECT repeat('x', 20000000) FROM pg_sleep(1.5)"), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    ASSERT_TRUE(links.Silence(1, true));
    const auto silenced = Clock::now();
    const long long deadlineMs = idleBoundMs + 1000 + checkMs + 6000;
    size_t left = desks.size();
    while (left > 0 && MsSince(silenced) < deadlineMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        for (Desk& d : desks) {
            if (d.goneMs >= 0) continue;
            std::string error;
            rdb::pg::ResultPtr r =
                rdb::pg::Exec(admin.get(), "SELECT count(*) FROM pg_stat_activity WHERE pid = " + d.pid, {}, &error);
            ASSERT_TRUE(r) << error;
            if (std::string(PQgetvalue(r.get(), 0, 0)) == "0") {
                d.goneMs = MsSince(silenced);
                --left;
            }
        }
    }
    for (const Desk& d : desks) {
        SCOPED_TRACE(d.what);
        if (d.goneMs >= 0) Report(d.what, d.goneMs);
        EXPECT_GE(d.goneMs, 0) << "the backend was still there after " << deadlineMs << " ms";
        EXPECT_LE(d.goneMs, d.boundMs + 2000);  // two seconds for the machine's load
    }
    ASSERT_TRUE(links.Silence(1, false));
}

// The same through the pooler, with the keepalives of the shipped deploy/pgbouncer.ini: a
// vanished desk's client connection is dropped by the pooler itself, idle or while it is
// being sent a result nobody takes.
TEST(SilentNetwork, ThePoolerDropsAVanishedDeskWithinItsKeepaliveTime) {
    // Shipped: a vanished desk is dropped two minutes after it was last heard, idle or not.
    const int keepIdle = ShippedPoolerSetting("tcp_keepidle");
    const int keepInterval = ShippedPoolerSetting("tcp_keepintvl");
    const int keepCount = ShippedPoolerSetting("tcp_keepcnt");
    const int userTimeout = ShippedPoolerSetting("tcp_user_timeout");
    ASSERT_EQ(ShippedPoolerSetting("tcp_keepalive"), 1);
    ASSERT_EQ(keepIdle + keepCount * keepInterval, 120) << keepIdle << " + " << keepCount << " x " << keepInterval;
    ASSERT_EQ(userTimeout, 120000);
    ASSERT_EQ(keepIdle % 10 + keepInterval % 10, 0) << "the test runs them a tenth as long";
    SilentLinks links;
    std::string why;
    if (!links.Make(&why)) GTEST_SKIP() << "no network namespaces here: " << why;
    PgCluster cluster;
    PgBouncerProcess pooler;
    pooler.ReachServerBySocket();
    bool started = false;
    links.InServer([&] {
        started = cluster.Start();
        if (!started) return;
        cluster.CreateLogin("desk_gone", kPassword);
        // A tenth as long as shipped; link 2 stays up for looking at the pooler's clients.
        started = pooler.Start(cluster, {"desk_gone"},
                               {"listen_addr = 127.0.0.1," + SilentLinks::ServerAddress(1) + "," +
                                    SilentLinks::ServerAddress(2),
                                "tcp_keepalive = 1", "tcp_keepidle = " + std::to_string(keepIdle / 10),
                                "tcp_keepintvl = " + std::to_string(keepInterval / 10),
                                "tcp_keepcnt = " + std::to_string(keepCount),
                                "tcp_user_timeout = " + std::to_string(userTimeout / 10), "admin_users = desk_gone"});
    });
    ASSERT_TRUE(started) << cluster.ErrorText() << pooler.ErrorText();
    const long long idleBoundMs = userTimeout / 10;
    auto address = [&](int link, const std::string& db) {
        return "postgresql://desk_gone:" + std::string(kPassword) + "@" + SilentLinks::ServerAddress(link) + ":" +
               std::to_string(pooler.Port()) + "/" + db;
    };
    std::string error;
    rdb::pg::ConnPtr console = rdb::pg::Connect(address(2, "pgbouncer"), 10000, &error);
    ASSERT_TRUE(console) << error;
    // How many of the pooler's clients came over link 1 (the admin console's only protocol
    // is the simple one).
    auto clients = [&] {
        size_t n = 0;
        PGresult* r = PQexec(console.get(), "SHOW CLIENTS");
        const int addr = PQfnumber(r, "addr");
        for (int i = 0; PQresultStatus(r) == PGRES_TUPLES_OK && i < PQntuples(r); ++i)
            n += std::string(PQgetvalue(r, i, addr)) == "10.231.1.1";
        PQclear(r);
        return n;
    };
    rdb::pg::ConnPtr idle = rdb::pg::Connect(address(1, "postgres"), 10000, &error);
    ASSERT_TRUE(idle) << error;
    ASSERT_TRUE(rdb::pg::Exec(idle.get(), "SELECT 1", {}, &error)) << error;
    rdb::pg::ConnPtr sent = rdb::pg::Connect(address(1, "postgres"), 10000, &error);
    ASSERT_TRUE(sent) << error;
    ASSERT_EQ(clients(), 2u);
    // The result starts going out a second after the link fell silent.
    ASSERT_EQ(PQsendQuery(sent.get(), "SELECT repeat('x', 20000000) FROM pg_sleep(1.5)"), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    ASSERT_TRUE(links.Silence(1, true));
    const auto silenced = Clock::now();
    long long firstMs = -1, lastMs = -1;
    while (MsSince(silenced) < idleBoundMs + 1000 + 6000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const size_t left = clients();
        if (left < 2 && firstMs < 0) firstMs = MsSince(silenced);
        if (left == 0) {
            lastMs = MsSince(silenced);
            break;
        }
    }
    if (firstMs >= 0) Report("the pooler's first client", firstMs);
    if (lastMs >= 0) Report("the pooler's last client", lastMs);
    EXPECT_GE(lastMs, 0) << "the pooler still held " << clients() << " of them";
    // Two seconds for the machine's load.
    EXPECT_LE(lastMs, 1000 + idleBoundMs + 2000);
    ASSERT_TRUE(links.Silence(1, false));
}

}  // namespace
