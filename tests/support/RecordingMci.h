#pragma once

#include "platform/Mci.h"

#include <QStringList>

// The media test double: records every command string; nothing is ever open, so every
// command is answered as sent to an alias that is not open.
class RecordingMci final : public platform::Mci
{
public:
    platform::MciResult send(const QString& command) override
    {
        m_commands.append(command);
        return {platform::kMciErrInvalidDeviceName, QString()};
    }
    const QStringList& commands() const { return m_commands; }
    void clear() { m_commands.clear(); }

private:
    QStringList m_commands;
};
