#include "RecordingArchiverCall.h"

archive::CallResult RecordingArchiverCall::run(archive::Family family, quintptr ownerWindow,
                                               const QString& commandLine, int reportBufferSize)
{
    calls.append({family, ownerWindow, commandLine, reportBufferSize});
    return results.isEmpty() ? archive::CallResult{} : results.dequeue();
}

QStringList RecordingArchiverCall::commandLines(archive::Family family) const
{
    QStringList out;
    for (const Call& c : calls) {
        if (c.family == family)
            out << c.commandLine;
    }
    return out;
}
