#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>
#include <vector>

namespace platform
{
class RowDecoder;
}

namespace preview
{

// A place in a large text: the row and the UTF-16 unit within the row's text. Column
// rowLength means the line end after the row.
struct TextPos {
    qint64 row = 0;
    qint64 column = 0;
    friend bool operator==(const TextPos&, const TextPos&) = default;
    friend auto operator<=>(const TextPos&, const TextPos&) = default;
};

// Where the rows of a text end in its bytes. A row is a line without its line end (LF, or CR
// LF; in UTF-16 the 16-bit units of those). A line longer than kMaxRowBytes is cut into rows
// at character boundaries, so that no single row costs much to decode or paint. A line feed
// byte is never part of a CP932, EUC-JP or UTF-8 character, and UTF-16 units are tested at
// even offsets only, so a row end is never found inside a character.
class RowScanner final
{
public:
    static constexpr qsizetype kMaxRowBytes = 64 * 1024;

    explicit RowScanner(const QByteArray& encoding);

    // For bytes that begin at a row start: the offset of the next row start (the row's
    // bytes with their line end), with the length of the row's text bytes in *textBytes.
    // Returns -1 when the bytes end before the row does and atEnd is false (more bytes are
    // needed); at the end of the file the rest is the last row.
    qsizetype nextRow(const char* p, qsizetype n, bool atEnd, qsizetype* textBytes) const;
    // The length of the byte order mark of the encoding at the start of the bytes, or 0.
    qsizetype bomLength(const char* p, qsizetype n) const;
    bool wide() const { return m_kind == Kind::Utf16Le || m_kind == Kind::Utf16Be; }

private:
    enum class Kind { Bytes, Utf8, Cp932, EucJp, Utf16Le, Utf16Be };
    qsizetype cutAt(const char* p, qsizetype limit) const;
    qsizetype findLineFeed(const char* p, qsizetype n) const;

    Kind m_kind = Kind::Bytes;
};

// Every kCheckpointRows-th row start of a file, built a piece at a time.
struct RowIndex {
    static constexpr qint64 kCheckpointRows = 128;
    std::vector<qint64> checkpoints; // start of rows 0, 128, 256, …
    qint64 rows = 0;                 // rows whose start is known
    qint64 scannedTo = 0;            // start of the first row not yet scanned
    bool complete = false;           // rows counts every row of the file
};

// The rows of one file found in one piece of its bytes, from a row start onwards.
struct IndexPiece {
    std::vector<qint64> checkpoints;
    qint64 rows = 0;      // rows whose start became known
    qint64 nextStart = 0; // where the next piece begins
    bool complete = false;
};

// Scans bytes read at fileOffset (a row start; firstRow its row number) and returns the
// rows it found. atEnd: the bytes reach the end of the file.
IndexPiece scanPiece(const RowScanner& scanner, const char* p, qsizetype n, qint64 fileOffset,
                     qint64 firstRow, bool atEnd);

// One row read from the file.
struct Row {
    qint64 start = 0; // offset of its first byte
    qint64 next = 0;  // offset of the next row
    qsizetype textBytes = 0;
    QString text;
};

// Reads rows of a large text file by position (never the whole file), for one thread.
class LargeTextReader final
{
public:
    LargeTextReader(const QString& path, const QByteArray& encoding);
    ~LargeTextReader();
    LargeTextReader(const LargeTextReader&) = delete;
    LargeTextReader& operator=(const LargeTextReader&) = delete;

    bool isOpen() const { return m_file.isOpen(); }
    qint64 size() const { return m_size; }
    const RowScanner& scanner() const { return m_scanner; }
    // The start of the first row (after a byte order mark of the encoding).
    qint64 textStart() const { return m_textStart; }
    // Reads up to n bytes at offset; fewer at the end of the file (or when it shrank).
    QByteArray read(qint64 offset, qint64 n);
    // Rows [first, first + count) found from the nearest checkpoint the index knows; fewer when
    // the file ends first. Rows beyond what the index covers are read as well.
    std::vector<Row> rows(const RowIndex& index, qint64 first, qint64 count);
    // Decodes a row's text bytes.
    QString decode(QByteArrayView textBytes);

private:
    QFile m_file;
    qint64 m_size = 0;
    qint64 m_textStart = 0;
    RowScanner m_scanner;
    std::unique_ptr<platform::RowDecoder> m_decoder;
};

} // namespace preview
