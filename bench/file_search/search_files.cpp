// Searches a tree for names (and optionally a text) the way the search window does, and prints
// every path found, one a line, as `find FOLDER -name PATTERN` does:
//   search_files FOLDER PATTERN [TEXT]
#include "base/NativePath.h"
#include "platform/shell/FileSearch.h"

#include <atomic>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: search_files FOLDER PATTERN [TEXT]\n");
        return 2;
    }
    platform::FileSearchQuery query;
    query.folder = platform::fromNativePath(QByteArray(argv[1]));
    query.pattern = QString::fromUtf8(argv[2]);
    if (argc > 3)
        query.text = QString::fromUtf8(argv[3]);
    platform::FileSearch search(query, [](QList<platform::FoundFile>&& batch, const QString&) {
        for (const platform::FoundFile& f : batch) {
            const QByteArray line = platform::toNativePath(f.path()) + '\n';
            std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        }
    });
    const std::atomic<bool> never{false};
    search.run(never);
    return 0;
}
