#pragma once

#include <QString>

#include <optional>

namespace fileops
{

// The regular file that can be opened for reading at the path, as that path without a
// trailing separator; nothing for an empty path, a missing file, a folder, a FIFO, a socket
// or a device (none of which is ever opened).
std::optional<QString> existingFile(const QString& path);

} // namespace fileops
