// The MP3 tag reader on an arbitrary file: the record is the last 128 bytes, a tag when they
// start with "TAG", and its text fields decode without reading past their 30 bytes.
#include "MemoryFile.h"

#include "base/Id3Tag.h"

#include <QByteArray>
#include <QString>

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1024 * 1024)
        return 0;
    const MemoryFile file(data, size);
    preview::Id3Tag tag;
    const int result = tag.read(QString::fromStdString(file.path()));
    const bool expectTag = size >= preview::Id3Tag::kRecordSize &&
                           std::memcmp(data + size - preview::Id3Tag::kRecordSize, "TAG", 3) == 0;
    if (result != (expectTag ? 1 : -1) || tag.hasTag() != expectTag)
        std::abort();
    const QByteArray title = tag.rawTitle();
    const QByteArray artist = tag.rawArtist();
    if (expectTag) {
        const uint8_t* record = data + size - preview::Id3Tag::kRecordSize;
        if (title != QByteArray(reinterpret_cast<const char*>(record + 3), 30) ||
            artist != QByteArray(reinterpret_cast<const char*>(record + 33), 30))
            std::abort();
    } else if (!title.isEmpty() || !artist.isEmpty()) {
        std::abort();
    }
    // The shown text stops at the first NUL: at most one character per byte before it.
    for (const QByteArray& raw : {title, artist}) {
        const qsizetype nul = raw.indexOf('\0');
        const QByteArray used = nul < 0 ? raw : raw.left(nul);
        const QString shown = preview::Id3Tag::text(raw);
        if (shown.contains(QChar(0)) || shown.size() > used.size() ||
            shown != preview::Id3Tag::text(used))
            std::abort();
    }
    if (tag.title() != preview::Id3Tag::text(title) ||
        tag.artist() != preview::Id3Tag::text(artist))
        std::abort();
    // Any bytes at all as a field.
    (void)preview::Id3Tag::text(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}
