#include "platform/LocalTimeZone.h"

#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace platform
{

void pinLocalTimeZone()
{
    if (std::getenv("TZ") || ::access("/etc/localtime", R_OK) != 0)
        return;
    // The same zone the C library would use without TZ (Qt reads this value as the default).
    ::setenv("TZ", ":/etc/localtime", 0);
    ::tzset();
}

} // namespace platform
