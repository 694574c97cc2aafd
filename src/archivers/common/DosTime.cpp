#include "DosTime.h"

namespace archiver
{

DosDateTime toDosDateTime(time_t t)
{
    struct tm tmv {
    };
    DosDateTime d;
    if (!localtime_r(&t, &tmv) || tmv.tm_year < 80) {
        d.date = (0 << 9) | (1 << 5) | 1;
        return d;
    }
    if (tmv.tm_year > 80 + 127) {
        d.date = (127 << 9) | (12 << 5) | 31;
        d.time = (23 << 11) | (59 << 5) | 29;
        return d;
    }
    d.date =
        static_cast<uint16_t>(((tmv.tm_year - 80) << 9) | ((tmv.tm_mon + 1) << 5) | tmv.tm_mday);
    d.time = static_cast<uint16_t>((tmv.tm_hour << 11) | (tmv.tm_min << 5) | (tmv.tm_sec / 2));
    return d;
}

time_t fromDosDateTime(uint16_t date, uint16_t time)
{
    const int day = date & 31, month = (date >> 5) & 15, year = (date >> 9) + 1980;
    const int sec = (time & 31) * 2, minute = (time >> 5) & 63, hour = time >> 11;
    if (day < 1 || month < 1 || month > 12 || hour > 23 || minute > 59 || sec > 59)
        return -1;
    struct tm tmv {
    };
    tmv.tm_year = year - 1900;
    tmv.tm_mon = month - 1;
    tmv.tm_mday = day;
    tmv.tm_hour = hour;
    tmv.tm_min = minute;
    tmv.tm_sec = sec;
    tmv.tm_isdst = -1;
    return mktime(&tmv);
}

} // namespace archiver
