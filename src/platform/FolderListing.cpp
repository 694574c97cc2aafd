#include "platform/FolderListing.h"

#include "base/NativePath.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform
{

namespace
{

// A name of plain ASCII (most names) is its own text; any other goes through the full
// conversion, which keeps bytes that are not UTF-8.
QString nameFromEntry(const char* name)
{
    const size_t length = std::strlen(name);
    bool ascii = true;
    for (size_t i = 0; i < length && ascii; ++i)
        ascii = static_cast<unsigned char>(name[i]) < 0x80;
    const QByteArrayView bytes(name, static_cast<qsizetype>(length));
    if (ascii)
        return QString::fromLatin1(bytes);
    return fromNativePath(bytes.toByteArray());
}

} // namespace

namespace
{

// The names of the entries of one kind: files (wantFolders false) or folders.
QStringList namesIn(const QString& folder, bool wantFolders, bool* ok)
{
    QStringList names;
    const QByteArray path = toNativePath(folder);
    DIR* dir = ::opendir(path.constData());
    if (ok)
        *ok = dir != nullptr;
    if (!dir)
        return names;
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        bool isFolder = false;
        switch (entry->d_type) {
        case DT_REG:
            break;
        case DT_DIR:
            isFolder = true;
            break;
        default: {
            // Links, FIFOs, sockets, devices, unknown types: ask what they are (or lead to)
            // by their status alone; nothing is opened, so every one of them is listed.
            struct stat st {
            };
            if (::fstatat(fd, entry->d_name, &st, 0) != 0)
                continue; // a link that leads nowhere is neither
            isFolder = S_ISDIR(st.st_mode);
            break;
        }
        }
        if (isFolder == wantFolders)
            names.append(nameFromEntry(entry->d_name));
    }
    ::closedir(dir);
    return names;
}

} // namespace

QStringList fileNamesIn(const QString& folder, bool* ok)
{
    return namesIn(folder, false, ok);
}

QStringList folderNamesIn(const QString& folder, bool* ok)
{
    return namesIn(folder, true, ok);
}

} // namespace platform
