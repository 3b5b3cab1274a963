#include "callcheck/TimeStamp.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr char kTimeFormat[] = "%02d:%02d:%02d:%03d";

}  // namespace

CTimeStamp::CTimeStamp() {
    std::memset(&m_time, 0, sizeof m_time);
    std::memset(m_szDate, 0, sizeof m_szDate);
    std::memset(m_szTime, 0, sizeof m_szTime);
}

CTimeStamp::~CTimeStamp() = default;

void CTimeStamp::SetNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    m_time.wYear = static_cast<uint16_t>(local.tm_year + 1900);
    m_time.wMonth = static_cast<uint16_t>(local.tm_mon + 1);
    m_time.wDayOfWeek = static_cast<uint16_t>(local.tm_wday);
    m_time.wDay = static_cast<uint16_t>(local.tm_mday);
    m_time.wHour = static_cast<uint16_t>(local.tm_hour);
    m_time.wMinute = static_cast<uint16_t>(local.tm_min);
    m_time.wSecond = static_cast<uint16_t>(local.tm_sec);
    m_time.wMilliseconds = static_cast<uint16_t>(millis < 0 ? millis + 1000 : millis);
}

const char* CTimeStamp::GetTimeText() {
    std::snprintf(m_szTime, sizeof m_szTime, kTimeFormat, m_time.wHour, m_time.wMinute, m_time.wSecond,
                  m_time.wMilliseconds);
    return m_szTime;
}
