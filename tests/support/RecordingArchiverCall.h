#pragma once

#include "archive/ArchiverCall.h"

#include <QList>
#include <QQueue>

// The archiver test double: keeps every command line the program sends to a library and runs
// nothing. Each call answers with the next scripted result, or with success and an empty
// report when the script is empty.
class RecordingArchiverCall final : public archive::ArchiverCall
{
public:
    struct Call {
        archive::Family family;
        quintptr ownerWindow;
        QString commandLine;
        int reportBufferSize;
    };

    QList<Call> calls;
    QQueue<archive::CallResult> results;

    archive::CallResult run(archive::Family family, quintptr ownerWindow,
                            const QString& commandLine, int reportBufferSize) override;

    // The command lines sent to one family's library, in order.
    QStringList commandLines(archive::Family family) const;
};
