#pragma once

#include <cstdint>
#include <ctime>

namespace archiver
{

// MS-DOS date and time in local time, as archive headers and the member record keep them.
struct DosDateTime {
    uint16_t date = 0; // bits 15-9 year since 1980, 8-5 month, 4-0 day
    uint16_t time = 0; // bits 15-11 hour, 10-5 minute, 4-0 seconds / 2
    uint32_t packed() const { return (uint32_t(date) << 16) | time; }
};

// Local time of the instant; years before 1980 give 1980-01-01 00:00:00, after 2107 the
// last representable second.
DosDateTime toDosDateTime(time_t t);
// The instant of the local date and time; -1 when the fields are not a valid date.
time_t fromDosDateTime(uint16_t date, uint16_t time);

} // namespace archiver
