#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

namespace platform
{

// Decodes many short pieces of text (the lines of a file) in one encoding, keeping the
// converter open between them. Every piece is decoded on its own, from the encoding's initial
// state; invalid bytes become U+FFFD. Line ends are left as they are.
class RowDecoder final
{
public:
    // encoding: an ICU converter name as TextFormat uses ("UTF-8", "windows-31j", …).
    explicit RowDecoder(const QByteArray& encoding);
    ~RowDecoder();
    RowDecoder(const RowDecoder&) = delete;
    RowDecoder& operator=(const RowDecoder&) = delete;

    QString decode(QByteArrayView bytes);
    // Appends the decoded bytes to out.
    void decodeAppend(QByteArrayView bytes, QString& out);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace platform
