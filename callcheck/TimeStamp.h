// A snapshot of the local time for status and export texts: take the snapshot with SetNow,
// then read the time of day as "hh:mm:ss:mmm".
#pragma once

#include <cstdint>

class CTimeStamp {
public:
    // The local time broken down, to the millisecond.
    struct SystemTime {
        uint16_t wYear;
        uint16_t wMonth;
        uint16_t wDayOfWeek;
        uint16_t wDay;
        uint16_t wHour;
        uint16_t wMinute;
        uint16_t wSecond;
        uint16_t wMilliseconds;
    };

    CTimeStamp();
    virtual ~CTimeStamp();

    void SetNow();
    // "%02d:%02d:%02d:%03d" of the snapshot's hour, minute, second and millisecond; the text
    // lives in the object until the next call.
    const char* GetTimeText();

    SystemTime m_time;
    char m_szDate[256];
    char m_szTime[256];
};
