// rdbcli end to end: the built binary run as a child process.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/Fixture.h"

namespace {

using Result = ChildResult;

// Standard output in out, standard error apart in err.
Result RunCli(const TempDir& dir, const std::vector<std::string>& args) {
    std::vector<std::string> argv{RDBCLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildOptions options;
    options.errPath = dir.File("stderr.txt");
    return RunChild(argv, options);
}

class Rdbcli : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        db_ = dir_->File("cli.db");
        const Result r = RunCli(*dir_, {"--create-demo", db_, "--days", "2", "--per-day", "50"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find("demo"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("김상담@demo"), std::string::npos) << r.out;
    }
    static void TearDownTestSuite() { delete dir_; }
    Result Sql(const std::string& sql) { return RunCli(*dir_, {"-S", "file:" + db_, "-Q", sql}); }

    static TempDir* dir_;
    static std::string db_;
};

TempDir* Rdbcli::dir_ = nullptr;
std::string Rdbcli::db_;

TEST_F(Rdbcli, PrintsEachRowStringOnItsOwnLine) {
    const Result r = Sql("select USER_ID, USER_NM from USER_INFO order by USER_ID");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "demo:;데모상사:;\nother:;다른상사:;\n");
    EXPECT_EQ(r.err, "");

    const Result v = Sql("select 'a:;b', NULL, 3");
    EXPECT_EQ(v.out, "a: ;b:;:;3:;\n");
}

TEST_F(Rdbcli, StatementsWithoutRowsPrintNothing) {
    Result r = Sql("update RST_INB set COMMENT = 'cli' where ACS_ID = 1 ");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    r = Sql("select COMMENT from RST_INB where ACS_ID = 1");
    EXPECT_EQ(r.out, "cli:;\n");
}

TEST_F(Rdbcli, FailuresGoToStderrWithTheCode) {
    Result r = Sql("select * from NOPE");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "error 1: no such table: NOPE\n");

    r = RunCli(*dir_, {"-S", "file:" + dir_->File("missing-dir/x.db"), "-Q", "select 1"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.err.rfind("error -6: ", 0), 0u) << r.err;

    r = RunCli(*dir_, {"-S", "file:" + db_});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("Usage: rdbcli"), std::string::npos);
}

// Each line names the request and its service as the desk lists it; the first requests go
// to the service the view opens on (the lowest SVC_ID).
TEST_F(Rdbcli, FeedAddsRequestsAndSaysWhichServiceEachWentTo) {
    const Result before = Sql("select max(ACS_ID) from RST_INB");
    const Result r = RunCli(*dir_, {"--feed", db_, "--every", "0.01", "--count", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Result first = Sql("select convert(varchar, SVC_ID) + '.' + SVC_NM from SERVICE_INFO where USER_ID = 'demo' "
                             "and SVC_TYPE in (1, 2, 3) order by SVC_ID");
    const std::string firstService = first.out.substr(0, first.out.find(":;"));
    std::istringstream lines(r.out);
    std::vector<long long> ids;
    for (std::string line; std::getline(lines, line);) {
        long long id = 0;
        char service[128] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "request %lld: service %127[^,],", &id, service), 2) << line;
        const Result stored = Sql("select convert(varchar, r.SVC_ID) + '.' + s.SVC_NM + ', caller ' + r.RECV_PHONE + "
                                  "', ' + r.DIAL_TIME from RST_INB r join SERVICE_INFO s on r.SVC_ID = s.SVC_ID "
                                  "where ACS_ID = " + std::to_string(id));
        EXPECT_EQ(line, "request " + std::to_string(id) + ": service " + stored.out.substr(0, stored.out.size() - 3))
            << stored.out;
        if (ids.size() < 2) {
            EXPECT_EQ(service, firstService) << line;
        }
        ids.push_back(id);
    }
    ASSERT_EQ(ids.size(), 3u) << r.out;
    EXPECT_EQ(ids[0], std::stoll(before.out) + 1);
    EXPECT_LT(ids[0], ids[1]);
    EXPECT_LT(ids[1], ids[2]);
    const Result check = Sql("select count(*) from RST_INB where ACS_ID >= " + std::to_string(ids[0]) +
                             " and IS_CALLBACK = '1' and IS_PRINT = '0'");
    EXPECT_EQ(check.out, "3:;\n");

    const Result empty = RunCli(*dir_, {"--feed", dir_->File("empty.db"), "--every", "0", "--count", "1"});
    EXPECT_NE(empty.exitCode, 0);
    EXPECT_EQ(empty.err.rfind("error ", 0), 0u) << empty.err;
}

TEST_F(Rdbcli, InitCreatesTheSchemaOnceAndNamesWhatItCannotInit) {
    const std::string path = dir_->File("init.db");
    Result r = RunCli(*dir_, {"--init", "file:" + path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "created database file:" + path + "\n");
    r = RunCli(*dir_, {"-S", "file:" + path, "-Q", "select count(*) from RST_INB"});
    EXPECT_EQ(r.out, "0:;\n") << r.err;
    r = RunCli(*dir_, {"-S", "file:" + path, "-Q", "insert into USER_INFO (USER_ID) values ('u')"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // Running it again keeps what is there.
    r = RunCli(*dir_, {"--init", "file:" + path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = RunCli(*dir_, {"-S", "file:" + path, "-Q", "select USER_ID from USER_INFO"});
    EXPECT_EQ(r.out, "u:;\n");

    r = RunCli(*dir_, {"--init", "nowhere:/x"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("nowhere:/x"), std::string::npos) << r.err;
}

// An address that is neither form is a bad command line, whatever the command, and the
// message names the two forms; the neighbouring forms that are addresses still work.
TEST_F(Rdbcli, RefusesAnAddressOfNeitherFormAndNamesBoth) {
    for (const std::string address : {"10.0.0.5", "HOST:8907", "", "file:", "File:", "mysql://h/db"}) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"-S", address, "-Q", "select 1"}, {"--init", address},
              {"--add-customer", address, "demo", "cust_a"}}) {
            const Result r = RunCli(*dir_, args);
            EXPECT_EQ(r.exitCode, 2) << args[0] << " '" << address << "': " << r.err;
            EXPECT_EQ(r.out, "");
            if (address.rfind("file:", 0) != 0 && address.rfind("File:", 0) != 0) {
                EXPECT_NE(r.err.find("file:PATH"), std::string::npos) << r.err;
                EXPECT_NE(r.err.find("postgresql://"), std::string::npos) << r.err;
            }
        }
    }
    EXPECT_EQ(RunCli(*dir_, {"--feed", "file:", "--every", "1", "--count", "1"}).exitCode, 2);
    EXPECT_EQ(RunCli(*dir_, {"-S", "FILE:" + db_, "-Q", "select USER_ID from USER_INFO where USER_ID = 'demo'"}).out,
              "demo:;\n");
    const Result copy = RunCli(*dir_, {"--copy", "postgresql://h/db", "postgresql://h/db2"});
    EXPECT_EQ(copy.exitCode, 2);
    EXPECT_NE(copy.err.find("reads a database file"), std::string::npos) << copy.err;
}

// Every misuse prints the one usage text --help prints, and that text lists every command.
TEST_F(Rdbcli, EveryMisusePrintsTheOneUsageText) {
    const Result help = RunCli(*dir_, {"--help"});
    ASSERT_EQ(help.exitCode, 0);
    for (const char* option : {"-S ", "-Q ", "--init", "--create-demo", "--feed", "--every", "--count", "--days",
                               "--per-day", "--seed", "--copy", "--add-customer", "postgresql://", "file:PATH"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    const std::string db = "file:" + db_;
    const std::vector<std::vector<std::string>> misuses = {
        {"--add-customer"},
        {"--add-customer", "postgresql://h/db"},
        {"--add-customer", "postgresql://h/db", "demo"},
        {"--add-customer", "postgresql://h/db", "demo", "cust_a", "extra"},
        {"--copy", db_},
        {"--copy", db_, "postgresql://h/db", "extra"},
        {"--init", db, "--init", db},
        {"--init", db, "-S", db},
        {"-Q", "select 1"},
        {"-S", db, "-Q", "select 1", "--every", "1"},
        {"-S", db, "-Q", "select 1", "stray"},
        {"--feed", db_},
        {"--feed", db_, "--count", "2"},
        {"--feed", db_, "--every", ""},
        {"--feed", db_, "--every", "-1"},
        {"--feed", db_, "--every", "86401"},
        {"--feed", db_, "--every", "1", "--days", "2"},
        {"--create-demo", dir_->File("x.db"), "--count", "3"},
        {"--create-demo", dir_->File("x.db"), "--days", "0"},
        {"--create-demo", dir_->File("x.db"), "--days", "3661"},
        {"--create-demo", dir_->File("x.db"), "--seed", "4294967296"},
        {"--init", db, "--seed", "1"},
        {"--every", "1"},
        {"-x"},
        {"--initialize", db},
    };
    for (const std::vector<std::string>& args : misuses) {
        const Result r = RunCli(*dir_, args);
        std::string shown;
        for (const std::string& a : args) shown += " '" + a + "'";
        EXPECT_EQ(r.exitCode, 2) << shown;
        EXPECT_EQ(r.out, "") << shown;
        EXPECT_EQ(r.err, help.out) << shown;
    }
    EXPECT_FALSE(std::ifstream(dir_->File("x.db")).good()) << "a refused command line created its database";
}

// The stock sqlite3 program, with the one documented line, reads and checks our files.
TEST_F(Rdbcli, StockSqliteToolLoadsTheCollationAndChecksTheFile) {
    auto sqlite = [&](const std::string& load, const std::string& sql) {
        std::vector<std::string> argv{"sqlite3", "-batch"};
        if (!load.empty()) argv.insert(argv.end(), {"-cmd", ".load " + load});
        argv.insert(argv.end(), {db_, sql});
        return RunChild(argv);
    };
    const Result bare = sqlite("", "pragma integrity_check");
    EXPECT_NE(bare.out.find("no such collation sequence: CI_PAD"), std::string::npos) << bare.out;

    const Result checked = sqlite(ORVANTA_SQLITE_EXTENSION, "pragma integrity_check");
    EXPECT_EQ(checked.exitCode, 0) << checked.out;
    EXPECT_EQ(checked.out, "ok\n");
    // The collation at work: case and trailing blanks ignored, through the index as well.
    const Result rows = sqlite(ORVANTA_SQLITE_EXTENSION,
                               "select USER_NM from USER_INFO where USER_ID = 'DEMO  ';"
                               "select count(*) from USER_AGENT_INFO where USER_ID = 'Demo' and AGENT_NM = '김상담 '");
    EXPECT_EQ(rows.out, "데모상사\n1\n");
}

}  // namespace
