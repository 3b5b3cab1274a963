// The demo data set: one customer user with agents, services of types 1, 2 and 3, several
// thousand records over recent days including today, opt-outs, memos, distributed and
// undistributed requests. The feed adds one new unprocessed callback request at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rdb {

class Engine;
struct Error;

struct DemoOptions {
    int days = 14;               // days of history ending today
    int recordsPerDay = 400;     // incoming call records per day across all services
    uint32_t seed = 20261208;    // fixed seed: the same data set every time
    int64_t now = 0;             // the moment "today" is taken from (seconds since 1970);
                                 // 0 means the current time. Records of today stay before it.
};

// Fills an empty database with the demo data set. Does nothing and returns true when the
// demo user already exists. Dates are relative to the local date at the time of the call.
bool FillDemoData(Engine& engine, const DemoOptions& options, Error* err);

// Adds one new unprocessed callback request for today to a random demo service of type 1
// or 2. Returns its ACS_ID, or -1 on error.
int64_t FeedOneRequest(Engine& engine, uint32_t seed, Error* err);

// What a fed request needs to know of a service.
struct FeedService {
    int id = 0;
    int type = 0;
    std::string user;
};

// The user whose services the feed picks from.
extern const char* const kFeedUserId;

// Columns of a fed request's INSERT INTO RST_INB, in the order of FeedRequestValues.
extern const char* const kFeedColumns[14];

// The values of one new unprocessed callback request for today on a service picked from
// services (not empty) by seed; NULL as nullopt. The same request FeedOneRequest inserts.
std::vector<std::optional<std::string>> FeedRequestValues(const std::vector<FeedService>& services,
                                                          uint32_t seed);

// The demo logins, for printing by the tools: the user and one agent (ID, password).
struct DemoLogin { const char* loginId; const char* password; const char* what; };
extern const DemoLogin kDemoLogins[];
extern const int kDemoLoginCount;

}  // namespace rdb
