// The desk through a connection pooler in transaction pooling: the whole statement suite
// runs through it (this program routes every suite database through the pooler), and
// nothing a desk statement sets outlives its transaction on the shared server connection.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "data/Queries.h"
#include "rdb/pg/PgRoles.h"
#include "rdb/pg/PgSchema.h"
#include "tests/support/Fixture.h"
#include "tests/support/PgBouncerProcess.h"
#include "tests/support/PgCluster.h"
#include "tests/support/StatementServer.h"

namespace {

PgBouncerProcess* g_pooler = nullptr;

std::string ThroughPooler(const std::string& db) {
    return "postgresql://" + std::string(kDeskLogin) + ":" + kDeskPassword + "@127.0.0.1:" +
           std::to_string(g_pooler->Port()) + "/" + db;
}

// One pooler for the program, with a single server connection per database, so every
// desk of a test shares one server session.
class PoolerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        pooler_ = std::make_unique<PgBouncerProcess>();
        ASSERT_TRUE(pooler_->Start(SharedPgCluster(), {kDeskLogin}, {"default_pool_size = 1"})) << pooler_->ErrorText();
        g_pooler = pooler_.get();
        SetPgDeskAddress(&ThroughPooler);
    }
    void TearDown() override {
        SetPgDeskAddress(nullptr);
        g_pooler = nullptr;
        pooler_.reset();
    }

private:
    std::unique_ptr<PgBouncerProcess> pooler_;
};
const auto* const kPooler = ::testing::AddGlobalTestEnvironment(new PoolerEnvironment);

TEST(PgPooler, NoSessionStateOutlivesADeskStatement) {
    std::unique_ptr<StatementServer> server = StartStatementServer(ServerKind::Postgres);
    ASSERT_NE(server->Address().find(":" + std::to_string(g_pooler->Port()) + "/"), std::string::npos);
    const std::string db = server->Address().substr(server->Address().rfind('/') + 1);
    {
        EnvSession session(server->Address());
        // A count, a list, a call and an update: each sets its statement limit.
        EXPECT_EQ(QueryRows(session.Env(), sql::NewCountSql("101", kDay1, kDay3, "")), (std::vector<std::vector<std::string>>{{"4"}}));
        EXPECT_FALSE(QueryRows(session.Env(), sql::CallbackRateSql("demo", kDay1, kDay3)).empty());
        EXPECT_TRUE(session.Env().ExecuteSQL(sql::UpdateCommentSql("pooled", "3")));
    }
    // The next client gets the same server session (pool of one): the desk's limit is gone.
    std::string error;
    rdb::pg::ConnPtr other = rdb::pg::Connect(ThroughPooler(db), 30000, &error);
    ASSERT_TRUE(other) << error;
    rdb::pg::ResultPtr r = rdb::pg::Exec(other.get(), "SHOW statement_timeout", {}, &error);
    ASSERT_TRUE(r) << error;
    EXPECT_STREQ(PQgetvalue(r.get(), 0, 0), "0");
    EXPECT_EQ(SharedPgCluster().Rows("SELECT COMMENT FROM RST_INB WHERE ACS_ID = 3", db),
              (std::vector<std::vector<std::string>>{{"pooled"}}));
}


// The sample pooler set-up for many customers: the pooler reads desk logins' secrets from
// the server through the look-up in deploy/pgbouncer-auth.sql (installed with the stock
// psql, as the README says). A customer's desk logs in through it with its own password and
// keeps its identity on the pooled server connection (row-level security depends on it);
// a superuser or any role that is not a desk login cannot log in through the pooler, even
// with the right password.
TEST(PgPooler, AuthLookupServesCustomersDeskLoginsOnly) {
    PgCluster& cluster = SharedPgCluster();
    const std::string db = "pooler_auth";
    cluster.Exec("DROP DATABASE IF EXISTS " + db);
    cluster.Exec("CREATE DATABASE " + db);
    {
        rdb::pg::ConnPtr admin = cluster.Admin(db);
        ASSERT_TRUE(admin);
        std::string message;
        ASSERT_NE(rdb::pg::EnsureSchema(admin.get(), &message), rdb::pg::InitResult::Failed) << message;
        ASSERT_EQ(rdb::pg::LockDown(admin.get(), &message), rdb::pg::LockResult::Done) << message;
        ASSERT_TRUE(rdb::pg::AddCustomer(admin.get(), "demo", "desk_auth_a", "pw-a-\xed\x95\x9c", &message)) << message;
    }
    cluster.CreateLogin("admin_auth", "pw-admin", /*superuser=*/true);
    cluster.CreateLogin("plain_auth", "pw-plain");
    const std::string psql = PgCluster::BinDir() + "/psql -X -q -v ON_ERROR_STOP=1 -v auth_password=\"'auth-pw-9'\" -d '" +
                             cluster.AdminUri(db) + "' -f " ORVANTA_SOURCE_DIR "/deploy/pgbouncer-auth.sql 2>&1";
    for (int i = 0; i < 2; ++i)  // installing twice is harmless
        ASSERT_EQ(std::system(psql.c_str()), 0) << psql;

    PgBouncerProcess pooler;
    ASSERT_TRUE(pooler.Start(cluster, {}, {"auth_user = pgbouncer_auth",
                                           "auth_query = SELECT usename, passwd FROM pgbouncer.get_auth($1)"},
                             {{"pgbouncer_auth", "auth-pw-9"}}))
        << pooler.ErrorText();
    auto login = [&](const std::string& user, const std::string& password, std::string* error) {
        return rdb::pg::Connect("postgresql://" + user + ":" + password + "@127.0.0.1:" + std::to_string(pooler.Port()) +
                                    "/" + db + "?connect_timeout=10",
                                30000, error);
    };
    std::string error;
    {
        rdb::pg::ConnPtr desk = login("desk_auth_a", "pw-a-%ED%95%9C", &error);
        ASSERT_TRUE(desk) << error;
        rdb::pg::ResultPtr r = rdb::pg::Exec(desk.get(), "SELECT session_user, (SELECT count(*) FROM USER_INFO)", {}, &error);
        ASSERT_TRUE(r) << error;
        EXPECT_STREQ(PQgetvalue(r.get(), 0, 0), "desk_auth_a");
    }
    EXPECT_FALSE(login("desk_auth_a", "pw-a-", &error));
    EXPECT_FALSE(login("admin_auth", "pw-admin", &error));
    EXPECT_FALSE(login("plain_auth", "pw-plain", &error));
    // The look-up login may run the function and read nothing else.
    cluster.CreateLogin("pgbouncer_auth", "auth-pw-9");
    rdb::pg::ConnPtr lookup = rdb::pg::Connect(cluster.TcpUri(db, "pgbouncer_auth") + "?password=auth-pw-9", 30000, &error);
    ASSERT_TRUE(lookup) << error;
    EXPECT_FALSE(rdb::pg::Exec(lookup.get(), "SELECT count(*) FROM USER_INFO", {}, &error));
    EXPECT_FALSE(rdb::pg::Exec(lookup.get(), "SELECT rolpassword FROM pg_authid", {}, &error));
    rdb::pg::ResultPtr super = rdb::pg::Exec(lookup.get(), "SELECT count(*) FROM pgbouncer.get_auth('admin_auth')", {}, &error);
    ASSERT_TRUE(super) << error;
    EXPECT_STREQ(PQgetvalue(super.get(), 0, 0), "0");
}

}  // namespace
