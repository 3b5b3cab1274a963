// A desk can raise its own work_mem without bound, so the memory of a server process is
// bounded from outside, by the process's data-size limit (systemd's LimitDATA=). A desk
// that runs into it gets an error; the server, its shared memory and everyone else's
// sessions carry on.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/PgCluster.h"

namespace {

constexpr char kPasswordA[] = "mem-a-pw";
constexpr char kPasswordB[] = "mem-b-pw";

rdb::pg::ConnPtr Login(const PgCluster& cluster, const std::string& user, const std::string& password) {
    std::string error;
    rdb::pg::ConnPtr c = rdb::pg::Connect(
        "postgresql://" + user + ":" + password + "@127.0.0.1:" + std::to_string(cluster.Port()) + "/postgres", 30000,
        &error);
    EXPECT_TRUE(c) << error;
    return c;
}

TEST(PgMemoryLimit, ADesksRunawayMemoryFailsAloneUnderTheServersDataLimit) {
    PgCluster cluster;
    PgCluster::Options options;
    // Shared buffers twice the limit: shared memory is not counted by it, or the server
    // would not start.
    options.confLines = {"shared_buffers = 256MB"};
    options.dataLimitBytes = 128ull << 20;
    ASSERT_TRUE(cluster.Start(options)) << cluster.ErrorText();
    cluster.CreateLogin("mem_a", kPasswordA);
    cluster.CreateLogin("mem_b", kPasswordB);
    cluster.Exec("CREATE TABLE counted AS SELECT g FROM generate_series(1, 1000) g; GRANT SELECT ON counted TO mem_b");
    const auto started = cluster.Rows("SELECT pg_postmaster_start_time()");

    rdb::pg::ConnPtr b = Login(cluster, "mem_b", kPasswordB);
    rdb::pg::ConnPtr a = Login(cluster, "mem_a", kPasswordA);
    ASSERT_TRUE(a && b);
    std::string error;
    rdb::pg::ResultPtr r = rdb::pg::Exec(b.get(), "SELECT pg_backend_pid()", {}, &error);
    ASSERT_TRUE(r) << error;
    const std::string pidB = PQgetvalue(r.get(), 0, 0);

    // The server cannot refuse this; without a limit the statements below take about a
    // gigabyte each.
    ASSERT_TRUE(rdb::pg::Command(a.get(), "SET work_mem = '100GB'", &error)) << error;
    for (const char* runaway :
         {"SELECT count(*) FROM (SELECT g FROM generate_series(1, 12000000) g ORDER BY g DESC) s",
          "SELECT count(*) FROM (SELECT DISTINCT g::text FROM generate_series(1, 12000000) g) s"}) {
        SCOPED_TRACE(runaway);
        EXPECT_FALSE(rdb::pg::Exec(a.get(), runaway, {}, &error));
        EXPECT_NE(error.find("out of memory"), std::string::npos) << error;
        // A's session carries on with statements within the limit.
        EXPECT_TRUE(rdb::pg::Exec(a.get(), "SELECT 1", {}, &error)) << error;
    }

    // Nothing restarted: B's session, opened before, still answers from the same backend.
    r = rdb::pg::Exec(b.get(), "SELECT count(*), pg_backend_pid() FROM counted", {}, &error);
    ASSERT_TRUE(r) << error;
    EXPECT_STREQ(PQgetvalue(r.get(), 0, 0), "1000");
    EXPECT_EQ(PQgetvalue(r.get(), 0, 1), pidB);
    EXPECT_EQ(cluster.Rows("SELECT pg_postmaster_start_time()"), started);
    EXPECT_EQ(cluster.LogText().find("terminated by signal"), std::string::npos) << cluster.LogText();
}

}  // namespace
