// The one environment and connection object: server address, database name, the logged-in
// user, the receipt printer name and the user's service types; wraps the client library's
// calls and shows every failure where it happens, so callers only look at the result.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/RdbClient.h"

class IComboBox;

enum { RDB_REQ_SERVICE_TYPES = 3001, RDB_REQ_SERVICE_COMBO = 3002 };

class CKestrimEnv {
public:
    CKestrimEnv();
    virtual ~CKestrimEnv();

    bool LoadEnvironment();
    // Whether the settings file holds a server address, read without any box or log line.
    static bool HasServerAddress();
    // Writes the server address to both settings files; false when a file could not be
    // written, each such file (its full path) added to pFailedFiles.
    bool SaveServerAddress(std::vector<std::string>* pFailedFiles = nullptr);
    // Names the settings file looked for in the log and on standard error.
    void ReportMissingSettings() const;
    bool RDBServerOpen();

    // 1 row (value = first column), 0 no row (value unchanged), -1 error (shown).
    int GetFirstRecord(std::string& value, const std::string& sql);
    // 1 row (values = all columns), 0 no row or error (error shown).
    int GetFirstRecord(std::vector<std::string>& values, const std::string& sql);
    // 1 a row exists, 0 none, -1 error (shown).
    int RecordExists(const std::string& sql);
    bool ExecuteSQL(const std::string& sql);
    // Registers callback and runs sql under requestId: every row reaches the callback
    // before the call returns. Returns the client call's result (above 0: success) with
    // the row count and the error record it reported; shows nothing.
    int32_t QueryRecords(int32_t requestId, const std::string& sql, RDBEventCallBackFN callback, int32_t& rows,
                         RDB_ERROR& error);
    void ShowDBError(const RDB_ERROR& error);

    int FillServiceCombo(IComboBox* combo, const std::string& sql);
    bool LoadServiceTypes();
    int GetServiceType(int serviceId);
    int GetMaxCallbackDist();
    int GetCallbackDist(int serviceId);
    int GetNoReqDisp(int serviceId);
    std::string GetComboSelText(const IComboBox* combo) const;
    std::string GetComboSelServiceId(const IComboBox* combo) const;

    void MsgInfo(const char* format, ...) __attribute__((format(printf, 2, 3)));
    int MsgInfoWnd(const void* owner, const char* format, ...) __attribute__((format(printf, 3, 4)));
    int MsgError(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Row callback of FillServiceCombo and LoadServiceTypes.
    static int32_t ComboRowCallback(int32_t unused, int32_t requestId, int32_t columns,
                                    const char* row);

    std::string m_strServerIp;
    std::string m_strPort;
    std::string m_strDbName;
    RDBHANDLE m_hRdb = 0;
    std::string m_strUserId;
    std::string m_strUserName;
    std::string m_strAgentName;
    std::string m_strMiniPrintDriver;
    std::vector<int32_t> m_nSvcTypes;   // grows as needed: no fixed count of service types
    int32_t m_nSvcTypeCount = 0;
    IComboBox* m_pCombo = nullptr;

private:
    int Lookup(const std::string& sql);
    // The first row of sql, whole however long. Returns the client call's result; status in
    // error.nCode as the client library reports it.
    int32_t QueryFirstRow(const std::string& sql, std::string& row, RDB_ERROR& error);
};

extern CKestrimEnv* g_pEnv;

// The settings files, relative to the current directory.
extern const char* const kEnvIniPath;        // read at start
extern const char* const kEnvIniWritePath;   // written by the server address dialog
extern const char* const kVersionIniPath;
