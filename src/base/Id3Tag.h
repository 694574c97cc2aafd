#pragma once

#include <QByteArray>
#include <QString>

namespace preview
{

// The ID3 version 1 tag of an MP3 file: the 128-byte record at the file's end, "TAG", then
// title (30 bytes), artist (30), album (30), year (4), comment (30) and genre (1). Text
// fields are CP932, padded with NULs or blanks.
class Id3Tag
{
public:
    static constexpr int kRecordSize = 128;

    // Reads the record at the end of the file: 0 when no file exists at path; 1 when the
    // record begins with "TAG"; -1 otherwise (also for a file shorter than the record or one
    // that cannot be read, which leave the record empty).
    int read(const QString& path);

    bool hasTag() const { return m_record.startsWith("TAG"); }
    QByteArray rawTitle() const { return field(3, 30); }
    QByteArray rawArtist() const { return field(33, 30); }
    // The fields are empty unless the record is a tag.
    // The field as displayed: decoded up to its first NUL, trailing blanks kept.
    QString title() const { return text(rawTitle()); }
    QString artist() const { return text(rawArtist()); }

    static QString text(const QByteArray& field);

private:
    QByteArray field(int offset, int size) const;

    QByteArray m_record;
};

} // namespace preview
