#include "platform/Mci.h"

namespace platform
{

MciResult NoDeviceMci::send(const QString&)
{
    return {kMciErrInvalidDeviceName, QString()};
}

} // namespace platform
