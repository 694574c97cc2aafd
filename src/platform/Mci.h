#pragma once

#include <QString>

namespace platform
{

// The media seam: one command string in, an error code (0 = success) and a reply text out,
// as the classic media command interface answers. The program sends exactly the command
// strings it documents ("open \"…\" alias Media", "play Media", "stop Media", …).
struct MciResult {
    int error = 0;
    QString reply;
};

class Mci
{
public:
    virtual ~Mci() = default;
    virtual MciResult send(const QString& command) = 0;
};

// Error code of a command sent to a device alias that is not open.
inline constexpr int kMciErrInvalidDeviceName = 263;

// The media service used while no playback back end is built into the program: it knows no
// device, so every command is answered as addressed to an alias that is not open.
class NoDeviceMci final : public Mci
{
public:
    MciResult send(const QString& command) override;
};

} // namespace platform
