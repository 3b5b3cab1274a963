#include "rdb/demo/DemoData.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "rdb/engine/Engine.h"

namespace rdb {

const DemoLogin kDemoLogins[] = {
    {"demo", "demo", "user 데모상사 (all menus)"},
    {"김상담@demo", "1234", "agent 김상담 of demo (own requests only)"},
};
const int kDemoLoginCount = static_cast<int>(sizeof kDemoLogins / sizeof kDemoLogins[0]);

namespace {

// Uniform pick in [0, n) from the raw generator output: the standard distributions are
// not required to give the same sequence on every library, this arithmetic is.
uint32_t Pick(std::mt19937& rng, uint32_t n) {
    return static_cast<uint32_t>((static_cast<uint64_t>(rng()) * n) >> 32);
}

bool Chance(std::mt19937& rng, uint32_t percent) { return Pick(rng, 100) < percent; }

std::string Digits(std::mt19937& rng, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) {
        // No leading 0 or 1 in a subscriber number.
        s += static_cast<char>('0' + (i == 0 ? 2 + Pick(rng, 8) : Pick(rng, 10)));
    }
    return s;
}

std::string PhoneNumber(std::mt19937& rng) {
    static const char* const kAreas[] = {"031", "032", "033", "041", "042", "043", "051", "052",
                                         "053", "054", "055", "061", "062", "063", "064"};
    const uint32_t k = Pick(rng, 100);
    if (k < 60) return "010" + Digits(rng, 8);
    if (k < 78) return "02" + Digits(rng, Chance(rng, 50) ? 7 : 8);
    if (k < 95) {
        const char* area = kAreas[Pick(rng, sizeof kAreas / sizeof kAreas[0])];
        return area + Digits(rng, Chance(rng, 70) ? 7 : 8);
    }
    return "070" + Digits(rng, 8);
}

struct DemoUser {
    const char* id;
    const char* name;
    const char* password;
};

struct DemoService {
    int id;
    const char* name;
    const char* user;
    int type;
    int callbackDist;
    int noReqDisp;
    uint32_t weight;  // share of the incoming calls, in percent
};

struct DemoAgent {
    const char* user;
    const char* name;
    const char* password;
    int distCount;
};

const DemoUser kUsers[] = {
    {"demo", "데모상사", "demo"},
    // A second customer whose data must never show up for the first.
    {"other", "다른상사", "other"},
};

const DemoService kServices[] = {
    {1001, "대출상담센터", "demo", 1, 1, 1, 28},
    {1002, "고객센터", "demo", 2, 1, 0, 24},
    {1003, "예약접수", "demo", 2, 0, 1, 14},
    {1004, "ARS안내", "demo", 3, 0, 0, 10},
    {2001, "다른대출상담", "other", 1, 1, 1, 14},
    {2002, "다른고객센터", "other", 2, 0, 0, 10},
};

const DemoAgent kAgents[] = {
    {"demo", "김상담", "1234", 30},
    {"demo", "이상담", "1234", 30},
    {"demo", "박상담", "1234", 20},
    // Same agent name under the other user: an agent belongs to one user only.
    {"other", "김상담", "5678", 10},
    {"other", "정상담", "5678", 10},
};

const char* const kMemos[] = {
    "부재중, 재통화 필요",
    "상담 완료",
    "오후 3시 이후 통화 희망",
    "대출 한도 문의",
    "서류 안내 문자 발송",
    "본인 확인 완료: 다음 주 방문 예정",
    "번호 오류",
};

// Calls per hour from 08 to 20 (relative weights): a morning and an afternoon peak.
const uint32_t kHourWeights[] = {2, 6, 10, 10, 6, 8, 10, 9, 8, 6, 4, 3, 2};

struct Record {
    int svcId = 0;
    std::string userId;
    std::string recvPhone;
    std::string callerId;
    std::string custInfo;
    std::string dialDate;
    std::string dialTime;
    std::string commTime;
    // One-character codes as literals: no string copies for flags.
    const char* isPrint = "0";
    const char* isCallback = "0";
    const char* isDelete = "0";
    const char* resReply = "0";
    std::string comment;  // empty: NULL
    std::string agent;    // empty: NULL
};

const DemoService& PickService(std::mt19937& rng) {
    uint32_t k = Pick(rng, 100);
    for (const DemoService& s : kServices) {
        if (k < s.weight) return s;
        k -= s.weight;
    }
    return kServices[0];
}

int PickHour(std::mt19937& rng) {
    uint32_t total = 0;
    for (uint32_t w : kHourWeights) total += w;
    uint32_t k = Pick(rng, total);
    for (int i = 0; i < static_cast<int>(sizeof kHourWeights / sizeof kHourWeights[0]); ++i) {
        if (k < kHourWeights[i]) return 8 + i;
        k -= kHourWeights[i];
    }
    return 12;
}

std::string CustInfo(std::mt19937& rng) {
    const uint32_t k = Pick(rng, 100);
    if (k < 10) return "";
    if (k < 14) return "3";  // an unknown code shows as empty texts
    std::string s;
    s += static_cast<char>('1' + Pick(rng, 2));
    s += static_cast<char>('1' + Pick(rng, 2));
    return s;
}

std::vector<const DemoAgent*> AgentsOf(const char* user) {
    std::vector<const DemoAgent*> out;
    for (const DemoAgent& a : kAgents) {
        if (std::string(a.user) == user) out.push_back(&a);
    }
    return out;
}

std::string Format(const char* fmt, int a, int b, int c) {
    char buf[32];
    std::snprintf(buf, sizeof buf, fmt, a, b, c);
    return buf;
}

std::tm LocalTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

// 'YYYYMMDD' of the day daysBack days before the day of now.
std::string DateText(std::time_t now, int daysBack) {
    std::tm tm = LocalTime(now);
    tm.tm_mday -= daysBack;
    tm.tm_hour = 12;  // away from any daylight-saving switch
    tm.tm_min = tm.tm_sec = 0;
    tm.tm_isdst = -1;
    std::mktime(&tm);
    return Format("%04d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

Record MakeRecord(std::mt19937& rng, const std::string& date, bool today) {
    const DemoService& svc = PickService(rng);
    Record r;
    r.svcId = svc.id;
    r.userId = svc.user;
    r.dialDate = date;
    r.dialTime = Format("%02d%02d%02d", PickHour(rng), static_cast<int>(Pick(rng, 60)),
                        static_cast<int>(Pick(rng, 60)));
    r.recvPhone = PhoneNumber(rng);
    const uint32_t callerKind = Pick(rng, 100);
    if (callerKind < 70) {
        r.callerId = r.recvPhone;
    } else if (callerKind < 95) {
        r.callerId = PhoneNumber(rng);
    }  // else withheld: empty
    r.commTime = std::to_string(5 + Pick(rng, 600));
    r.custInfo = svc.type == 1 ? CustInfo(rng) : "";
    const bool optOut = Chance(rng, 4);
    const bool callback = !optOut && Chance(rng, 40);
    r.resReply = optOut ? "9" : "0";
    r.isCallback = callback ? "1" : "0";
    r.isDelete = Chance(rng, 2) ? "1" : "0";
    const bool printed = callback && Chance(rng, today ? 35 : 92);
    r.isPrint = printed ? "1" : "0";
    const bool memo = Chance(rng, 25);
    const uint32_t memoIndex = Pick(rng, sizeof kMemos / sizeof kMemos[0]);
    if (callback && printed && memo) r.comment = kMemos[memoIndex];
    const bool handOut = Chance(rng, 55);
    const std::vector<const DemoAgent*> agents = AgentsOf(svc.user);
    const uint32_t agentIndex = agents.empty() ? 0 : Pick(rng, static_cast<uint32_t>(agents.size()));
    if (callback && svc.callbackDist == 1 && handOut && !agents.empty())
        r.agent = agents[agentIndex]->name;
    return r;
}

void SetDbError(sqlite3* db, Error* err) {
    if (err == nullptr) return;
    err->code = sqlite3_extended_errcode(db);
    err->message = sqlite3_errmsg(db);
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return rc_ == SQLITE_OK; }
    sqlite3_stmt* get() const { return stmt_; }
    void Text(int i, const std::string& v) {
        sqlite3_bind_text64(stmt_, i, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    void TextOrNull(int i, const std::string& v) {
        if (v.empty()) {
            sqlite3_bind_null(stmt_, i);
        } else {
            Text(i, v);
        }
    }
    void Int(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
    // Steps to the end and resets for the next use.
    bool Run() {
        const int rc = sqlite3_step(stmt_);
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        return rc == SQLITE_DONE || rc == SQLITE_ROW;
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_OK;
};

constexpr const char* kInsertRecord =
    "INSERT INTO RST_INB (SVC_ID, USER_ID, RECV_PHONE, CALLER_ID, CUST_INFO, DIAL_DATE, "
    "DIAL_TIME, COMM_TIME, IS_PRINT, IS_CALLBACK, IS_DELETE, RES_REPLY, COMMENT, AGENT_NM) "
    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)";

bool InsertRecord(Statement& ins, const Record& r) {
    ins.Int(1, r.svcId);
    ins.Text(2, r.userId);
    ins.Text(3, r.recvPhone);
    ins.Text(4, r.callerId);
    ins.Text(5, r.custInfo);
    ins.Text(6, r.dialDate);
    ins.Text(7, r.dialTime);
    ins.Text(8, r.commTime);
    ins.Text(9, r.isPrint);
    ins.Text(10, r.isCallback);
    ins.Text(11, r.isDelete);
    ins.Text(12, r.resReply);
    ins.TextOrNull(13, r.comment);
    ins.TextOrNull(14, r.agent);
    return ins.Run();
}

bool FillAll(sqlite3* db, const DemoOptions& options, Error* err) {
    Statement user(db, "INSERT INTO USER_INFO (USER_ID, USER_NM, PASSWORD) VALUES (?1, ?2, ?3)");
    Statement service(db,
                      "INSERT INTO SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, SVC_TYPE, CALLBACK_DIST, "
                      "NO_REQ_DISP) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    Statement agent(db,
                    "INSERT INTO USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT) "
                    "VALUES (?1, ?2, ?3, ?4)");
    Statement record(db, kInsertRecord);
    if (!user.ok() || !service.ok() || !agent.ok() || !record.ok()) {
        SetDbError(db, err);
        return false;
    }
    for (const DemoUser& u : kUsers) {
        user.Text(1, u.id);
        user.Text(2, u.name);
        user.Text(3, u.password);
        if (!user.Run()) return SetDbError(db, err), false;
    }
    for (const DemoService& s : kServices) {
        service.Int(1, s.id);
        service.Text(2, s.name);
        service.Text(3, s.user);
        service.Int(4, s.type);
        service.Int(5, s.callbackDist);
        service.Int(6, s.noReqDisp);
        if (!service.Run()) return SetDbError(db, err), false;
    }
    for (const DemoAgent& a : kAgents) {
        agent.Text(1, a.user);
        agent.Text(2, a.name);
        agent.Text(3, a.password);
        agent.Int(4, a.distCount);
        if (!agent.Run()) return SetDbError(db, err), false;
    }

    const std::time_t now = options.now != 0 ? static_cast<std::time_t>(options.now) : std::time(nullptr);
    const std::tm nowTm = LocalTime(now);
    const std::string nowTime = Format("%02d%02d%02d", nowTm.tm_hour, nowTm.tm_min, nowTm.tm_sec);
    std::mt19937 rng(options.seed);
    const int perDay = std::max(0, options.recordsPerDay);
    for (int back = std::max(1, options.days) - 1; back >= 0; --back) {
        const std::string date = DateText(now, back);
        const bool today = back == 0;
        const int count = perDay * static_cast<int>(90 + Pick(rng, 21)) / 100;
        std::vector<Record> day;
        day.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            Record r = MakeRecord(rng, date, today);
            // Today holds only what has already come in.
            if (today && r.dialTime > nowTime) continue;
            day.push_back(std::move(r));
        }
        if (today && perDay > 0) {
            // Early in the day the business hours have not begun: a few night calls so
            // that today is never empty.
            const int minimum = std::max(12, perDay / 20);
            const int nowSeconds = nowTm.tm_hour * 3600 + nowTm.tm_min * 60 + nowTm.tm_sec;
            while (static_cast<int>(day.size()) < minimum) {
                Record r = MakeRecord(rng, date, today);
                const int t = static_cast<int>(Pick(rng, static_cast<uint32_t>(nowSeconds) + 1));
                r.dialTime = Format("%02d%02d%02d", t / 3600, t / 60 % 60, t % 60);
                day.push_back(std::move(r));
            }
        }
        // Keys grow with time, as they do when calls are recorded as they come in.
        std::stable_sort(day.begin(), day.end(),
                         [](const Record& a, const Record& b) { return a.dialTime < b.dialTime; });
        for (const Record& r : day) {
            if (!InsertRecord(record, r)) return SetDbError(db, err), false;
        }
    }
    return true;
}

}  // namespace

bool FillDemoData(Engine& engine, const DemoOptions& options, Error* err) {
    sqlite3* db = engine.Handle();
    {
        Statement exists(db, "SELECT 1 FROM USER_INFO WHERE USER_ID = ?1");
        if (!exists.ok()) return SetDbError(db, err), false;
        exists.Text(1, kUsers[0].id);
        const int rc = sqlite3_step(exists.get());
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) return SetDbError(db, err), false;
    }
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        SetDbError(db, err);
        return false;
    }
    if (!FillAll(db, options, err)) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        SetDbError(db, err);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return true;
}

namespace {

Record FeedRecord(const std::vector<FeedService>& services, uint32_t seed) {
    std::mt19937 rng(seed);
    const FeedService& any = services[Pick(rng, static_cast<uint32_t>(services.size()))];
    // The desk's view opens on the service it lists first, the lowest SVC_ID: the first
    // request of a run and two of every three after it go there, so the view someone has
    // just opened is the one that fills.
    static std::atomic<unsigned> fed{0};
    const FeedService& first = *std::min_element(
        services.begin(), services.end(), [](const FeedService& a, const FeedService& b) { return a.id < b.id; });
    const FeedService& svc = fed++ % 3 != 2 ? first : any;
    const std::time_t now = std::time(nullptr);
    const std::tm tm = LocalTime(now);
    Record r;
    r.svcId = svc.id;
    r.userId = svc.user;
    r.recvPhone = PhoneNumber(rng);
    r.callerId = Chance(rng, 80) ? r.recvPhone : PhoneNumber(rng);
    r.custInfo = svc.type == 1 ? CustInfo(rng) : "";
    r.dialDate = Format("%04d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    r.dialTime = Format("%02d%02d%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    r.commTime = std::to_string(5 + Pick(rng, 300));
    r.isPrint = "0";
    r.isCallback = "1";
    r.isDelete = "0";
    r.resReply = "0";
    return r;
}

}  // namespace

const char* const kFeedUserId = kUsers[0].id;

const char* const kFeedColumns[14] = {"SVC_ID",   "USER_ID",   "RECV_PHONE",  "CALLER_ID", "CUST_INFO",
                                      "DIAL_DATE", "DIAL_TIME", "COMM_TIME",   "IS_PRINT",  "IS_CALLBACK",
                                      "IS_DELETE", "RES_REPLY", "COMMENT",     "AGENT_NM"};

std::vector<std::optional<std::string>> FeedRequestValues(const std::vector<FeedService>& services,
                                                          uint32_t seed) {
    const Record r = FeedRecord(services, seed);
    auto orNull = [](const std::string& v) { return v.empty() ? std::nullopt : std::optional<std::string>(v); };
    return {std::to_string(r.svcId), r.userId,     r.recvPhone,  r.callerId,    r.custInfo,
            r.dialDate,              r.dialTime,   r.commTime,   r.isPrint,     r.isCallback,
            r.isDelete,              r.resReply,   orNull(r.comment), orNull(r.agent)};
}

int64_t FeedOneRequest(Engine& engine, uint32_t seed, Error* err) {
    sqlite3* db = engine.Handle();
    std::vector<FeedService> services;
    {
        Statement q(db,
                    "SELECT SVC_ID, SVC_TYPE, USER_ID FROM SERVICE_INFO WHERE USER_ID = ?1 AND "
                    "SVC_TYPE IN (1, 2) ORDER BY SVC_ID");
        if (!q.ok()) return SetDbError(db, err), -1;
        q.Text(1, kUsers[0].id);
        int rc;
        while ((rc = sqlite3_step(q.get())) == SQLITE_ROW) {
            const auto* user = reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 2));
            services.push_back({sqlite3_column_int(q.get(), 0), sqlite3_column_int(q.get(), 1),
                                user != nullptr ? user : ""});
        }
        if (rc != SQLITE_DONE) return SetDbError(db, err), -1;
    }
    if (services.empty()) {
        if (err != nullptr) {
            err->code = SQLITE_NOTFOUND;
            err->message = "the demo user has no service of type 1 or 2 (create the demo data first)";
        }
        return -1;
    }
    Statement ins(db, kInsertRecord);
    if (!ins.ok() || !InsertRecord(ins, FeedRecord(services, seed))) return SetDbError(db, err), -1;
    return sqlite3_last_insert_rowid(db);
}

}  // namespace rdb
