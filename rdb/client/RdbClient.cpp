// The five calls of the client library over a table of connection handles. Each handle
// owns one transport; a call looks its transport up under the table's lock and runs
// without it, so handles used on different threads do not wait for each other.
#include "data/RdbClient.h"

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "rdb/client/ServerAddress.h"
#include "rdb/client/Transport.h"
#include "rdb/pg/PgConn.h"

namespace rdb {
namespace {

std::mutex g_handleMutex;
std::map<RDBHANDLE, std::shared_ptr<Transport>> g_handles;
RDBHANDLE g_nextHandle = 1;
std::atomic<RDBEventCallBackFN> g_callback{nullptr};
thread_local RDB_ERROR t_lastOpenError{};

std::shared_ptr<Transport> FindTransport(RDBHANDLE h) {
    std::lock_guard<std::mutex> lock(g_handleMutex);
    auto it = g_handles.find(h);
    return it == g_handles.end() ? nullptr : it->second;
}

RDBHANDLE AddTransport(std::unique_ptr<Transport> t) {
    std::lock_guard<std::mutex> lock(g_handleMutex);
    // Handles are never closed, so the table only wraps after two billion opens.
    for (;;) {
        const RDBHANDLE h = g_nextHandle;
        g_nextHandle = g_nextHandle == INT32_MAX ? 1 : g_nextHandle + 1;
        if (g_handles.find(h) == g_handles.end()) {
            g_handles.emplace(h, std::shared_ptr<Transport>(std::move(t)));
            return h;
        }
    }
}

// The length of the longest prefix of a row string that ends with a whole field and
// fits limit bytes. Values carry no ":;" of their own, so every pair is a terminator.
size_t FieldBoundary(const std::string& row, size_t limit) {
    size_t cut = 0;
    size_t pos = 0;
    for (;;) {
        const size_t hit = row.find(":;", pos);
        if (hit == std::string::npos || hit + 2 > limit) return cut;
        cut = hit + 2;
        pos = cut;
    }
}

RDB_ERROR* ErrorRecord(RDB_ERROR* given, RDB_ERROR* local) {
    RDB_ERROR* err = given != nullptr ? given : local;
    SetRdbError(err, 0, std::string());
    return err;
}

// First-record call shared by both entry points. Returns the call's result with *row
// filled when a row came back (err->nCode 0).
int32_t QueryFirstRow(RDBHANDLE hRdb, const char* pszDbName, const char* pszSql, std::string* row,
                      RDB_ERROR* err) {
    if (pszSql == nullptr) {
        SetRdbError(err, RDB_E_PROTOCOL, "no SQL text");
        return 0;
    }
    std::shared_ptr<Transport> t = FindTransport(hRdb);
    if (!t) {
        SetRdbError(err, RDB_E_BAD_HANDLE, "invalid connection handle " + std::to_string(hRdb));
        return RDB_E_BAD_HANDLE;
    }
    const int32_t result = t->QueryFirst(pszDbName != nullptr ? pszDbName : "", pszSql, row, err);
    if (result <= 0) {
        if (err->nCode == 0) SetRdbError(err, RDB_E_PROTOCOL, "query failed without a reason");
        return result;
    }
    if (err->nCode == 0 || (err->nCode == 1 && err->szMessage[0] == '\0')) return result;
    // An engine error: reported as a failed call, since an engine code of 1 would otherwise
    // read as "no row".
    return 0;
}

}  // namespace

void SetRdbError(RDB_ERROR* err, int32_t code, const std::string& message) {
    if (err == nullptr) return;
    err->nCode = code;
    size_t n = message.size();
    if (n > RDB_ERROR_TEXT_SIZE - 1) {
        n = RDB_ERROR_TEXT_SIZE - 1;
        // Do not leave half a UTF-8 character at the end.
        while (n > 0 && (static_cast<unsigned char>(message[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(err->szMessage, message.data(), n);
    err->szMessage[n] = '\0';
}

RDB_ERROR LastServerOpenError() { return t_lastOpenError; }

std::unique_ptr<Transport> MakeTransport(const std::string& address, RDB_ERROR* err) {
    const ServerAddress a = ReadServerAddress(address);
    switch (a.kind) {
        case AddressKind::File: {
            std::unique_ptr<Transport> t = MakeEmbeddedTransport(a.target, err);
            // The reason names the path, which goes to the log.
            if (!t && err != nullptr) SetRdbError(err, err->nCode, pg::EscapeControlBytes(err->szMessage));
            return t;
        }
        case AddressKind::Postgres:
            return MakePgTransport(a.target);
        case AddressKind::Refused:
            break;
    }
    SetRdbError(err, RDB_E_OPEN, a.problem);
    return nullptr;
}

}  // namespace rdb

using rdb::SetRdbError;

extern "C" {

RDBHANDLE RDBServerOpen(const char* pszServerAddr, const char* pszPort) {
    RDB_ERROR* err = &rdb::t_lastOpenError;
    SetRdbError(err, 0, std::string());
    if (pszServerAddr == nullptr) {
        SetRdbError(err, RDB_E_OPEN, "no server address");
        return 0;
    }
    // The port is part of a PostgreSQL address; a file has none.
    (void)pszPort;
    std::unique_ptr<rdb::Transport> t = rdb::MakeTransport(pszServerAddr, err);
    if (!t) {
        if (err->nCode == 0) SetRdbError(err, RDB_E_OPEN, "cannot use server address");
        return 0;
    }
    return rdb::AddTransport(std::move(t));
}

void RDBSetEventCallBackFN(RDBEventCallBackFN pfnCallback) { rdb::g_callback.store(pfnCallback); }

int32_t RDBQueryRecord(RDBHANDLE hRdb, const char* pszDbName, int32_t nRequestId,
                       const char* pszSql, int32_t* pnRowCount, RDB_ERROR* pError) {
    RDB_ERROR local;
    RDB_ERROR* err = rdb::ErrorRecord(pError, &local);
    if (pnRowCount != nullptr) *pnRowCount = 0;
    if (pszSql == nullptr) {
        SetRdbError(err, RDB_E_PROTOCOL, "no SQL text");
        return 0;
    }
    std::shared_ptr<rdb::Transport> t = rdb::FindTransport(hRdb);
    if (!t) {
        SetRdbError(err, RDB_E_BAD_HANDLE, "invalid connection handle " + std::to_string(hRdb));
        return RDB_E_BAD_HANDLE;
    }
    // The callback in force when the query starts gets all of its rows, even if a row
    // handler registers another one for a nested query.
    const RDBEventCallBackFN callback = rdb::g_callback.load();
    auto onRow = [callback, nRequestId](int32_t columns, const std::string& row) {
        if (callback != nullptr) callback(0, nRequestId, columns, row.c_str());
    };
    int32_t rows = 0;
    const int32_t result =
        t->Query(pszDbName != nullptr ? pszDbName : "", pszSql, onRow, &rows, err);
    if (pnRowCount != nullptr) *pnRowCount = rows;
    if (result <= 0 && err->nCode == 0) SetRdbError(err, RDB_E_PROTOCOL, "query failed without a reason");
    return result;
}

int32_t RDBQueryFirstRecord(RDBHANDLE hRdb, const char* pszDbName, const char* pszSql,
                            char* pszRecord, RDB_ERROR* pError) {
    RDB_ERROR local;
    RDB_ERROR* err = rdb::ErrorRecord(pError, &local);
    if (pszRecord == nullptr) {
        SetRdbError(err, RDB_E_PROTOCOL, "no record buffer");
        return 0;
    }
    std::string row;
    const int32_t result = rdb::QueryFirstRow(hRdb, pszDbName, pszSql, &row, err);
    if (result <= 0 || err->nCode != 0) return result;
    // A row longer than the classic buffer loses its last fields, never half of one.
    const size_t n = rdb::FieldBoundary(row, RDB_FIRST_RECORD_SIZE - 1);
    std::memcpy(pszRecord, row.data(), n);
    pszRecord[n] = '\0';
    return result;
}

int32_t RDBQueryFirstRecordEx(RDBHANDLE hRdb, const char* pszDbName, const char* pszSql,
                              char* pszRecord, int32_t nRecordSize, int32_t* pnNeeded,
                              RDB_ERROR* pError) {
    RDB_ERROR local;
    RDB_ERROR* err = rdb::ErrorRecord(pError, &local);
    if (pnNeeded != nullptr) *pnNeeded = 0;
    std::string row;
    const int32_t result = rdb::QueryFirstRow(hRdb, pszDbName, pszSql, &row, err);
    if (result <= 0 || err->nCode != 0) return result;
    const size_t needed = row.size() + 1;
    if (pnNeeded != nullptr) *pnNeeded = needed > INT32_MAX ? INT32_MAX : static_cast<int32_t>(needed);
    if (pszRecord == nullptr || nRecordSize < 0 || needed > static_cast<size_t>(nRecordSize))
        return RDB_FIRST_RECORD_TOO_SMALL;
    std::memcpy(pszRecord, row.c_str(), needed);
    return result;
}

int32_t RDBExecuteSQL(RDBHANDLE hRdb, const char* pszDbName, const char* pszSql,
                      RDB_ERROR* pError) {
    RDB_ERROR local;
    RDB_ERROR* err = rdb::ErrorRecord(pError, &local);
    if (pszSql == nullptr) {
        SetRdbError(err, RDB_E_PROTOCOL, "no SQL text");
        return RDB_E_PROTOCOL;
    }
    std::shared_ptr<rdb::Transport> t = rdb::FindTransport(hRdb);
    if (!t) {
        SetRdbError(err, RDB_E_BAD_HANDLE, "invalid connection handle " + std::to_string(hRdb));
        return RDB_E_BAD_HANDLE;
    }
    return t->Execute(pszDbName != nullptr ? pszDbName : "", pszSql, err);
}

}  // extern "C"
