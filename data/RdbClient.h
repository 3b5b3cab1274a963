// The remote-database client interface: five calls, C linkage.
//
// Server address:
//   "file:PATH"      the database file PATH, opened by the engine inside this process
//   "postgresql://[user@]host[:port]/dbname[?param=value...]" (or "postgres://..."): a
//                    PostgreSQL server through libpq (any libpq connection URI, service=NAME
//                    included; passwords belong in ~/.pgpass, PGPASSFILE or the service file)
//   Any other text is refused (RDBServerOpen returns 0); nothing is connected to. The
//   port argument is not used by either form.
//
// Results:
//   RDBServerOpen        handle above 0; 0 when the address cannot be used at all
//   RDBQueryRecord       above 0 success: every row has reached the registered callback, in
//                        result order, before the call returns; *pnRows holds their number.
//                        0 or less: failure, the error record is filled
//   RDBQueryFirstRecord  0 or less: failure, record filled. Above 0: the record's nCode is
//                        0 (a row is in the buffer), 1 (no row) or another code (error).
//                        An engine error is always returned as a failure (0) with the
//                        engine's code, since the engine's generic code 1 would otherwise
//                        read as "no row"
//   RDBExecuteSQL        1 or more success; 0 database error (code in the record); below 0
//                        the server could not be reached, the result being the code
//
// Row string: every column value followed by the two characters ":;" (a terminator, not a
// separator). NULL is delivered as an empty value. A value that itself contains the pair
// ":;" would add a field, so the library rewrites every ":;" inside a value to ": ;" (a
// blank inserted between the two characters) before the terminator is appended. No other
// byte of a value is changed.
//
// Error codes (nCode): engine errors carry the engine's own positive code; failures to
// reach the server or to talk to it carry the negative RDB_E_* codes below. PostgreSQL
// errors carry the SQLSTATE read as a base-36 number (42P01 -> 6844177) and a message
// that begins with the SQLSTATE.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t RDBHANDLE;

#define RDB_ERROR_TEXT_SIZE 1004

typedef struct RDB_ERROR {
    int32_t nCode;
    char szMessage[RDB_ERROR_TEXT_SIZE];
} RDB_ERROR;

// The classic first-record buffer size.
#define RDB_FIRST_RECORD_SIZE 4096

// Negative codes for transport failures.
#define RDB_E_BAD_HANDLE   (-1)
#define RDB_E_CONNECT      (-2)
#define RDB_E_TIMEOUT      (-3)
#define RDB_E_PROTOCOL     (-4)
#define RDB_E_DISCONNECTED (-5)
#define RDB_E_OPEN         (-6)

// Row callback: (unused, request ID, number of columns, row string). Returns 1.
typedef int32_t (*RDBEventCallBackFN)(int32_t nUnused, int32_t nRequestId, int32_t nColumns,
                                      const char* pszRow);

RDBHANDLE RDBServerOpen(const char* pszServerAddr, const char* pszPort);

void RDBSetEventCallBackFN(RDBEventCallBackFN pfnCallback);

int32_t RDBQueryRecord(RDBHANDLE hRdb, const char* pszDbName, int32_t nRequestId,
                       const char* pszSql, int32_t* pnRowCount, RDB_ERROR* pError);

// Writes at most RDB_FIRST_RECORD_SIZE bytes (NUL included) into pszRecord; a longer row
// is cut at a field boundary so that no half field is delivered.
int32_t RDBQueryFirstRecord(RDBHANDLE hRdb, const char* pszDbName, const char* pszSql,
                            char* pszRecord, RDB_ERROR* pError);

int32_t RDBExecuteSQL(RDBHANDLE hRdb, const char* pszDbName, const char* pszSql,
                      RDB_ERROR* pError);

// Same as RDBQueryFirstRecord with an explicit buffer size. When the row does not fit,
// nothing is written, *pnNeeded receives the size needed (NUL included) and the result is
// RDB_FIRST_RECORD_TOO_SMALL with nCode 0, so the caller can retry with a larger buffer.
#define RDB_FIRST_RECORD_TOO_SMALL 2
int32_t RDBQueryFirstRecordEx(RDBHANDLE hRdb, const char* pszDbName, const char* pszSql,
                              char* pszRecord, int32_t nRecordSize, int32_t* pnNeeded,
                              RDB_ERROR* pError);

#ifdef __cplusplus
}
#endif
