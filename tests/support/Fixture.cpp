#include "tests/support/Fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>

#include "data/RecordTokenizer.h"
#include "rdb/engine/Engine.h"

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "orvanta-test-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

namespace {

// Rows of the fixture. Dates 1 to 3 of December 2026; the comment on each record says which
// case it stands for.
const char* const kFixtureSql[] = {
    "insert into USER_INFO (USER_ID, USER_NM, PASSWORD) values ('demo', '데모상사', 'pw')",
    "insert into USER_INFO (USER_ID, USER_NM, PASSWORD) values ('other', '다른회사', 'opw')",
    "insert into USER_INFO (USER_ID, USER_NM, PASSWORD) values ('emptypw', '빈암호', '')",
    "insert into USER_INFO (USER_ID, USER_NM, PASSWORD) values ('only3', '안내전용', 'x')",
    "insert into USER_INFO (USER_ID, USER_NM, PASSWORD) values ('dist2', '분배둘', 'x')",

    "insert into USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT) values ('demo', '김상담', '1234', 10)",
    "insert into USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT) values ('demo', '이상담', 'abcd', 5)",
    "insert into USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT) values ('other', '김상담', 'zz', 1)",

    // SVC_ID, SVC_NM, USER_ID, SVC_TYPE, CALLBACK_DIST, NO_REQ_DISP
    "insert into SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, SVC_TYPE, CALLBACK_DIST, NO_REQ_DISP) values (101, '대출상담', 'demo', 1, 1, 1)",
    "insert into SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, SVC_TYPE, CALLBACK_DIST, NO_REQ_DISP) values (102, '일반상담', 'demo', 2, 0, 0)",
    "insert into SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, SVC_TYPE, CALLBACK_DIST, NO_REQ_DISP) values (103, '안내방송', 'demo', 3, 0, 0)",
    "insert into SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, SVC_TYPE, CALLBACK_DIST, NO_REQ_DISP) values (201, '타사상담', 'other', 2, 1, 1)",
    "insert into SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, SVC_TYPE, CALLBACK_DIST, NO_REQ_DISP) values (301, '안내만', 'only3', 3, 1, 0)",
    "insert into SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, SVC_TYPE, CALLBACK_DIST, NO_REQ_DISP) values (401, '분배둘상담', 'dist2', 1, 2, 0)",
};

struct Record {
    int acsId;
    int svcId;
    const char* userId;
    const char* recvPhone;
    const char* callerId;
    const char* custInfo;
    const char* dialDate;
    const char* dialTime;
    const char* commTime;
    const char* isPrint;
    const char* isCallback;
    const char* isDelete;
    const char* resReply;
    const char* comment;
    const char* agent;  // null = not handed out
};

// clang-format off
const Record kRecords[] = {
    // loan service 101: unprocessed requests 1, 2, 8, 3 (in date/time order)
    {1, 101, "demo", "0212345678", "01012345678", "11", kDay1, "090000", "35", "0", "1", "0", "0", "", nullptr},
    {2, 101, "demo", "0311234567", "01098765432", "22", kDay1, "100000", "120", "0", "1", "0", "0", "memo:;x", "김상담"},
    {3, 101, "demo", "0212340000", "0212340001", "", kDay2, "083000", "7", "0", "1", "0", "0", "", "이상담"},
    // processed; amount code 3 gives an empty amount
    {4, 101, "demo", "0212345679", "01011112222", "13", kDay2, "120000", "60", "1", "1", "0", "0", "done", "김상담"},
    // deleted request: only the all-records list shows it
    {5, 101, "demo", "0212345680", "01011113333", "21", kDay2, "130000", "10", "0", "1", "1", "0", "", nullptr},
    // no callback asked
    {6, 101, "demo", "0212345681", "01011114444", "12", kDay3, "090000", "20", "0", "0", "0", "0", "", nullptr},
    // opt-out, also deleted: the opt-out list still shows it
    {7, 101, "demo", "0212345682", "01011115555", "", kDay3, "091500", "15", "0", "0", "1", "9", "", nullptr},
    {8, 101, "demo", "0212345683", "01011116666", "12", kDay1, "235959", "5", "0", "1", "0", "0", "", nullptr},
    // general service 102
    {9, 102, "demo", "0311234567", "01022223333", "", kDay1, "080000", "30", "0", "1", "0", "0", "", nullptr},
    {10, 102, "demo", "0311234568", "01022224444", "", kDay2, "070000", "12", "0", "0", "0", "9", "", nullptr},
    {11, 102, "demo", "0311234569", "01022225555", "", kDay3, "100000", "44", "1", "1", "0", "0", "", nullptr},
    // another user's records never show for demo
    {12, 201, "other", "0511234567", "01033334444", "", kDay1, "090000", "9", "0", "1", "0", "0", "", "김상담"},
    {13, 201, "other", "0511234568", "01033335555", "", kDay2, "080000", "9", "0", "0", "0", "9", "", nullptr},
};
// clang-format on

std::string Quote(const char* text) {
    if (text == nullptr) return "NULL";
    std::string out = "'";
    for (const char* p = text; *p; ++p) {
        out += *p;
        if (*p == '\'') out += '\'';
    }
    return out + "'";
}

}  // namespace

void CreateFixtureDatabase(const std::string& path) {
    rdb::Error err;
    rdb::Engine::Options options;
    options.create = true;
    auto engine = rdb::Engine::Open(path, options, &err);
    if (!engine) throw std::runtime_error("cannot create fixture database: " + err.message);
    for (const char* sql : kFixtureSql) {
        if (!engine->Execute(sql, nullptr, &err)) throw std::runtime_error(std::string(sql) + ": " + err.message);
    }
    for (const Record& r : kRecords) {
        std::string sql =
            "insert into RST_INB (ACS_ID, SVC_ID, USER_ID, RECV_PHONE, CALLER_ID, CUST_INFO, DIAL_DATE, "
            "DIAL_TIME, COMM_TIME, IS_PRINT, IS_CALLBACK, IS_DELETE, RES_REPLY, COMMENT, AGENT_NM) values (" +
            std::to_string(r.acsId) + ", " + std::to_string(r.svcId) + ", " + Quote(r.userId) + ", " +
            Quote(r.recvPhone) + ", " + Quote(r.callerId) + ", " + Quote(r.custInfo) + ", " + Quote(r.dialDate) +
            ", " + Quote(r.dialTime) + ", " + Quote(r.commTime) + ", " + Quote(r.isPrint) + ", " +
            Quote(r.isCallback) + ", " + Quote(r.isDelete) + ", " + Quote(r.resReply) + ", " + Quote(r.comment) +
            ", " + Quote(r.agent) + ")";
        if (!engine->Execute(sql, nullptr, &err)) throw std::runtime_error(sql + ": " + err.message);
    }
}

EnvSession::EnvSession(const std::string& serverAddress, const std::string& userId,
                       const std::string& agentName)
    : previous_(g_pEnv) {
    env_.m_strServerIp = serverAddress;
    env_.m_strPort = "8907";
    env_.m_strDbName = "NEW_ACS";
    env_.m_strUserId = userId;
    env_.m_strAgentName = agentName;
    env_.RDBServerOpen();
    g_pEnv = &env_;
}

EnvSession::~EnvSession() { g_pEnv = previous_; }

namespace {

std::vector<std::vector<std::string>>* g_rows = nullptr;

int32_t CollectRow(int32_t, int32_t, int32_t, const char* row) {
    CRecordTokenizer tokens(row);
    std::vector<std::string> fields;
    for (int i = 0; i < tokens.GetCount(); ++i) fields.emplace_back(tokens.GetItem(i));
    if (g_rows != nullptr) g_rows->push_back(std::move(fields));
    return 1;
}

}  // namespace

std::vector<std::vector<std::string>> QueryRows(CKestrimEnv& env, const std::string& sql, int32_t* result,
                                                RDB_ERROR* error) {
    std::vector<std::vector<std::string>> rows;
    g_rows = &rows;
    RDBSetEventCallBackFN(&CollectRow);
    int32_t count = 0;
    RDB_ERROR err{};
    int32_t r = RDBQueryRecord(env.m_hRdb, env.m_strDbName.c_str(), 0, sql.c_str(), &count, &err);
    g_rows = nullptr;
    if (result != nullptr) *result = r;
    if (error != nullptr) *error = err;
    return rows;
}

std::string GoldenStatement(const std::string& name) {
    static std::once_flag once;
    static std::map<std::string, std::string> statements;
    std::call_once(once, [] {
        std::ifstream in(std::string(ORVANTA_SOURCE_DIR) + "/tests/data/statements.golden", std::ios::binary);
        std::string line, current;
        while (std::getline(in, line)) {
            if (line.rfind("== ", 0) == 0) {
                current = line.substr(3);
            } else if (!current.empty()) {
                statements[current] = line;
                current.clear();
            }
        }
    });
    auto it = statements.find(name);
    if (it == statements.end()) throw std::runtime_error("no golden statement " + name);
    return it->second;
}
