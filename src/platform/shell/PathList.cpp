#include "platform/Shell.h"

namespace platform
{

QStringList splitPathList(const QString& list)
{
    // Each path ends in one NUL; the list ends in one or more further NULs (or just ends).
    QStringList paths;
    qsizetype start = 0;
    while (start < list.size()) {
        qsizetype end = list.indexOf(QChar(u'\0'), start);
        if (end < 0)
            end = list.size();
        if (end == start)
            break; // the empty entry ends the list
        paths.append(list.mid(start, end - start));
        start = end + 1;
    }
    return paths;
}

} // namespace platform
