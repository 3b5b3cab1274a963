// One connection handle of the client library stands for one Transport: the embedded
// engine or a PostgreSQL server. RdbClient.cpp maps handles to
// transports and turns the results into the five calls' results.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "data/RdbClient.h"

namespace rdb {

// Receives each row (column count, row string) in result order, on the calling thread.
using ClientRowFn = std::function<void(int32_t columns, const std::string& row)>;

class Transport {
public:
    virtual ~Transport() = default;

    // Result convention of RDBQueryRecord: above 0 success (*rowCount set), 0 or less failure
    // with err filled.
    virtual int32_t Query(const std::string& db, const std::string& sql, const ClientRowFn& onRow,
                          int32_t* rowCount, RDB_ERROR* err) = 0;

    // Result convention of RDBQueryFirstRecord: above 0 with err->nCode 0 (row in *row, in
    // row format), 1 (no row) or another code (engine error, err filled); 0 or less: the
    // server could not be reached or the call failed, err filled.
    virtual int32_t QueryFirst(const std::string& db, const std::string& sql, std::string* row,
                               RDB_ERROR* err) = 0;

    // Result convention of RDBExecuteSQL.
    virtual int32_t Execute(const std::string& db, const std::string& sql, RDB_ERROR* err) = 0;
};

// The transport of an address as ReadServerAddress reads it: the embedded engine, or libpq
// (connecting on demand). Null with err filled when the embedded database cannot be opened
// or the address is refused.
std::unique_ptr<Transport> MakeTransport(const std::string& address, RDB_ERROR* err);

// Factories, defined by the transport sources.
std::unique_ptr<Transport> MakeEmbeddedTransport(const std::string& path, RDB_ERROR* err);
std::unique_ptr<Transport> MakePgTransport(const std::string& uri);

// Fills an error record safely (message cut to fit at a character boundary, always
// NUL-terminated). A null record is ignored.
void SetRdbError(RDB_ERROR* err, int32_t code, const std::string& message);

// Why the last RDBServerOpen on the calling thread returned 0 (code 0 and an empty text
// after a successful open). For tools that want to tell the operator.
RDB_ERROR LastServerOpenError();

}  // namespace rdb
