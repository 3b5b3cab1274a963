#include "data/KestrimEnv.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/IniFile.h"
#include "app/WriteLog.h"
#include "data/ComboBox.h"
#include "data/RecordTokenizer.h"
#include "data/SqlText.h"
#include "data/Statements.h"
#include "platform/DebugOutput.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/PrivateProfile.h"
#include "rdb/client/ServerAddress.h"
#include "rdb/client/Transport.h"

CKestrimEnv* g_pEnv = nullptr;

const char* const kEnvIniPath = ".\\Env\\Orvanta.INI";
const char* const kEnvIniWritePath = "./Env/Orvanta.INI";
const char* const kVersionIniPath = "./Env/zolt.INI";

namespace {

constexpr char kSection[] = "Orvanta";
constexpr char kKeyServerIp[] = "SERVER_IP_ADDR";
constexpr char kKeyMiniPrintDriver[] = "MINI_PRINT_DRIVER";
constexpr char kVersionSection[] = "VERSION_CHECK_CONNECT";
constexpr char kKeyVersionServerIp[] = "VC_SERVER_IP_ADDR";
constexpr char kPort[] = "8907";
constexpr char kDbName[] = "NEW_ACS";

constexpr char kTitleInfo[] = "알림";
constexpr char kTitleError[] = "에러";
constexpr char kMsgNoServerIp[] = "서버 IP 주소 설정 정보를 읽을수 없습니다.";
constexpr char kMsgServerUnreachable[] = "                서버 접속 오류입니다.\r\n                오류코드:%d\r\n 일시적인 인터넷 장애일수 있으니 잠시 후 다시 시도하여 주십시오";
constexpr char kMsgDatabaseFailure[] = "                데이터베이스 오류입니다.\r\n                오류코드:%d\r\n 일시적인 인터넷 장애일수 있으니 잠시 후 다시 시도하여 주십시오";
constexpr char kMsgDbError[] = "데이터베이스 오류입니다.\r\n오류코드:%d\r\n오류메세지:%s";
constexpr char kLogMiniPrintDriver[] = "MINI_PRINT_DRIVER(%s)";
// Which file was looked for: the box does not say, and a desk started from the menu may
// not be where its user thinks.
constexpr char kLogNoSettingsFile[] = "CKestrimEnv::LoadEnvironment settings file not found (%s)";
constexpr char kLogNoServerIpKey[] = "CKestrimEnv::LoadEnvironment SERVER_IP_ADDR missing or empty in (%s)";
constexpr char kLogServerOpen[] = "CKestrimEnv::RDBServerOpen IP(%s) PORT(%s)";
constexpr char kLogSaveFailed[] = "CKestrimEnv::SaveServerAddress write failed(%s)";
constexpr char kLogServerOpenFailed[] = "CKestrimEnv::RDBServerOpen failed code(%d) %s";

// Integer value of a text the way the lookups read it: leading blanks, an optional sign,
// then the leading digits; 0 when there are none.
int LeadingInt(const std::string& text) {
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

// The full path of a settings file named relative to the working folder, for messages.
std::string AbsoluteSettingsPath(const char* path) {
    std::error_code error;
    const std::filesystem::path relative(platform::NormalizeProfilePath(path));
    const std::filesystem::path absolute = std::filesystem::absolute(relative, error);
    return (error ? relative : absolute).lexically_normal().string();
}

}  // namespace

CKestrimEnv::CKestrimEnv() = default;
CKestrimEnv::~CKestrimEnv() = default;

bool CKestrimEnv::LoadEnvironment() {
    CIniFile ini(kEnvIniPath, kSection);
    if (!ini.ReadString(m_strServerIp, kKeyServerIp)) {
        ReportMissingSettings();
        MsgError("%s", kMsgNoServerIp);
        return false;
    }
    m_strPort = kPort;
    m_strDbName = kDbName;
    ini.ReadString(m_strMiniPrintDriver, kKeyMiniPrintDriver);
    WriteLog(kLogMiniPrintDriver, m_strMiniPrintDriver.c_str());
    return true;
}

bool CKestrimEnv::HasServerAddress() {
    std::string address;
    return CIniFile(kEnvIniPath, kSection).ReadString(address, kKeyServerIp);
}

void CKestrimEnv::ReportMissingSettings() const {
    const std::string file = AbsoluteSettingsPath(kEnvIniPath);
    std::error_code error;
    const bool exists = std::filesystem::is_regular_file(file, error);
    const char* format = exists ? kLogNoServerIpKey : kLogNoSettingsFile;
    WriteLog(format, file.c_str());
    // The log may go to a file nobody reads; whoever started the program from a terminal
    // sees the line there too.
    if (!platform::DebugOutputIsStandardError()) {
        std::fprintf(stderr, "orvanta: %s\n", platform::StrFormat(format, file.c_str()).c_str());
    }
}

bool CKestrimEnv::SaveServerAddress(std::vector<std::string>* pFailedFiles) {
    // Both files are tried whatever the first one gave; a file not written is logged and
    // named to the caller, since the address would otherwise be lost at the next start.
    bool saved = true;
    const auto save = [&](const char* path, const char* section, const char* key) {
        if (CIniFile(path, section).WriteString(m_strServerIp, key)) return;
        const std::string file = AbsoluteSettingsPath(path);
        WriteLog(kLogSaveFailed, file.c_str());
        if (pFailedFiles != nullptr) pFailedFiles->push_back(file);
        saved = false;
    };
    save(kEnvIniWritePath, kSection, kKeyServerIp);
    save(kVersionIniPath, kVersionSection, kKeyVersionServerIp);
    return saved;
}

bool CKestrimEnv::RDBServerOpen() {
    // A database address may carry a password; the log never does.
    WriteLog(kLogServerOpen, rdb::ReadServerAddress(m_strServerIp).display.c_str(), m_strPort.c_str());
    m_hRdb = ::RDBServerOpen(m_strServerIp.c_str(), m_strPort.c_str());
    if (m_hRdb == 0) {
        // The boxes the desk shows later say only that the database failed; the reason
        // (a missing file, a file that is not ours) is kept here for the operator.
        const RDB_ERROR why = rdb::LastServerOpenError();
        WriteLog(kLogServerOpenFailed, why.nCode, why.szMessage);
    }
    return m_hRdb != 0;
}

int32_t CKestrimEnv::QueryFirstRow(const std::string& sql, std::string& row, RDB_ERROR& error) {
    std::string buffer(RDB_FIRST_RECORD_SIZE, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        int32_t needed = 0;
        error = RDB_ERROR{};
        int32_t result = RDBQueryFirstRecordEx(m_hRdb, m_strDbName.c_str(), sql.c_str(), buffer.data(),
                                               static_cast<int32_t>(buffer.size()), &needed, &error);
        if (result == RDB_FIRST_RECORD_TOO_SMALL && needed > static_cast<int32_t>(buffer.size())) {
            buffer.assign(static_cast<size_t>(needed), '\0');
            continue;  // the row grew between calls at most a few times
        }
        row.assign(buffer.c_str());
        return result;
    }
    row.clear();
    error.nCode = RDB_E_PROTOCOL;
    return 0;
}

int CKestrimEnv::GetFirstRecord(std::string& value, const std::string& sql) {
    std::string row;
    RDB_ERROR error{};
    int32_t result = QueryFirstRow(sql, row, error);
    if (result <= 0) {
        ShowDBError(error);
        return -1;
    }
    if (error.nCode == 1) return 0;
    if (error.nCode != 0) {
        ShowDBError(error);
        return -1;
    }
    CRecordTokenizer tokens(row.c_str());
    value = tokens.GetCount() > 0 ? tokens.GetItem(0) : "";
    return 1;
}

int CKestrimEnv::GetFirstRecord(std::vector<std::string>& values, const std::string& sql) {
    values.clear();
    std::string row;
    RDB_ERROR error{};
    int32_t result = QueryFirstRow(sql, row, error);
    if (result <= 0) {
        ShowDBError(error);
        return 0;
    }
    if (error.nCode == 1) return 0;
    if (error.nCode != 0) {
        // Treated as the string form treats it: an error, shown, and no row.
        ShowDBError(error);
        return 0;
    }
    CRecordTokenizer tokens(row.c_str());
    for (int i = 0; i < tokens.GetCount(); ++i) values.emplace_back(tokens.GetItem(i));
    return 1;
}

int CKestrimEnv::RecordExists(const std::string& sql) {
    std::string unused;
    return GetFirstRecord(unused, sql);
}

bool CKestrimEnv::ExecuteSQL(const std::string& sql) {
    RDB_ERROR error{};
    int32_t result = RDBExecuteSQL(m_hRdb, m_strDbName.c_str(), sql.c_str(), &error);
    if (result >= 1) return true;
    std::string text = result < 0 ? platform::StrFormat(kMsgServerUnreachable, result)
                                  : platform::StrFormat(kMsgDatabaseFailure, error.nCode);
    platform::ShowMessageBox(nullptr, text, kTitleError, platform::MB_OK | platform::MB_ICONERROR);
    return false;
}

int32_t CKestrimEnv::QueryRecords(int32_t requestId, const std::string& sql, RDBEventCallBackFN callback,
                                  int32_t& rows, RDB_ERROR& error) {
    RDBSetEventCallBackFN(callback);
    return RDBQueryRecord(m_hRdb, m_strDbName.c_str(), requestId, sql.c_str(), &rows, &error);
}

void CKestrimEnv::ShowDBError(const RDB_ERROR& error) {
    // The message may not be terminated when a caller filled the record itself.
    std::string message(error.szMessage, strnlen(error.szMessage, sizeof error.szMessage));
    platform::ShowMessageBox(nullptr, platform::StrFormat(kMsgDbError, error.nCode, message.c_str()),
                             kTitleError, platform::MB_OK | platform::MB_ICONERROR);
}

int CKestrimEnv::FillServiceCombo(IComboBox* combo, const std::string& sql) {
    m_pCombo = combo;
    int32_t rows = 0;
    RDB_ERROR error{};
    if (QueryRecords(RDB_REQ_SERVICE_COMBO, sql, &CKestrimEnv::ComboRowCallback, rows, error) > 0) return rows;
    ShowDBError(error);
    return 0;
}

int32_t CKestrimEnv::ComboRowCallback(int32_t, int32_t requestId, int32_t columns, const char* row) {
    CRecordTokenizer tokens(row);
    CKestrimEnv* env = g_pEnv;
    if (env == nullptr) return 1;
    if (requestId == RDB_REQ_SERVICE_TYPES) {
        int type = tokens.GetCount() > 0 ? LeadingInt(tokens.GetItem(0)) : 0;
        env->m_nSvcTypes.push_back(type);
        env->m_nSvcTypeCount = static_cast<int32_t>(env->m_nSvcTypes.size());
    } else if (requestId == RDB_REQ_SERVICE_COMBO) {
        if (env->m_pCombo == nullptr) return 1;
        if (columns == 2 && tokens.GetCount() >= 2) {
            env->m_pCombo->AddString(std::string(tokens.GetItem(0)) + "." + tokens.GetItem(1));
        } else {
            env->m_pCombo->AddString(tokens.GetCount() > 0 ? tokens.GetItem(0) : "");
        }
    }
    return 1;
}

bool CKestrimEnv::LoadServiceTypes() {
    std::string sql = platform::StrFormat(sql::kSqlServiceTypes, EscapeSqlText(m_strUserId).c_str());
    int32_t rows = 0;
    RDB_ERROR error{};
    if (QueryRecords(RDB_REQ_SERVICE_TYPES, sql, &CKestrimEnv::ComboRowCallback, rows, error) > 0) return true;
    ShowDBError(error);
    return false;
}

int CKestrimEnv::Lookup(const std::string& sql) {
    std::string value;
    int found = GetFirstRecord(value, sql);
    if (found == -1) return -1;
    return found == 1 ? LeadingInt(value) : 0;
}

int CKestrimEnv::GetServiceType(int serviceId) {
    return Lookup(platform::StrFormat(sql::kSqlServiceType, serviceId));
}

int CKestrimEnv::GetMaxCallbackDist() {
    return Lookup(platform::StrFormat(sql::kSqlMaxCallbackDist, EscapeSqlText(m_strUserId).c_str()));
}

int CKestrimEnv::GetCallbackDist(int serviceId) {
    return Lookup(platform::StrFormat(sql::kSqlCallbackDist, serviceId));
}

int CKestrimEnv::GetNoReqDisp(int serviceId) {
    return Lookup(platform::StrFormat(sql::kSqlNoReqDisp, serviceId));
}

std::string CKestrimEnv::GetComboSelText(const IComboBox* combo) const {
    if (combo == nullptr) return "";
    int sel = combo->GetCurSel();
    if (sel < 0) return "";
    return combo->GetLBText(sel);
}

std::string CKestrimEnv::GetComboSelServiceId(const IComboBox* combo) const {
    std::string text = GetComboSelText(combo);
    size_t dot = text.find('.');
    if (dot == std::string::npos) return "";
    return text.substr(0, dot);
}

void CKestrimEnv::MsgInfo(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = platform::StrFormatV(format, args);
    va_end(args);
    platform::ShowMessageBox(nullptr, text, kTitleInfo, platform::MB_OK | platform::MB_ICONINFORMATION);
}

int CKestrimEnv::MsgInfoWnd(const void* owner, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = platform::StrFormatV(format, args);
    va_end(args);
    return platform::ShowMessageBox(owner, text, kTitleInfo, platform::MB_OK | platform::MB_ICONINFORMATION);
}

int CKestrimEnv::MsgError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = platform::StrFormatV(format, args);
    va_end(args);
    return platform::ShowMessageBox(nullptr, text, kTitleError, platform::MB_OK | platform::MB_ICONERROR);
}
