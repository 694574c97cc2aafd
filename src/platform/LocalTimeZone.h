#pragma once

namespace platform
{

// Fixes the local time zone for the whole process before its threads start. With TZ unset the
// C library looks at /etc/localtime again on every mktime(), one file status call each, and an
// archive reader makes one such call per member; with TZ naming that same file it is read once.
// A TZ the user set is left as it is.
void pinLocalTimeZone();

} // namespace platform
