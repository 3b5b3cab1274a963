// The desk through a connection pooler in transaction pooling: the whole statement suite
// runs through it (this program routes every suite database through the pooler), and
// nothing a desk statement sets outlives its transaction on the shared server connection.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "data/Queries.h"
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

}  // namespace
