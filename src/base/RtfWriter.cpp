#include "base/RtfWriter.h"

#include "base/Cp932.h"

#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include <cmath>

namespace preview
{

namespace
{

void appendHexByte(QByteArray& out, unsigned byte)
{
    static const char digits[] = "0123456789abcdef";
    out += "\\'";
    out += digits[(byte >> 4) & 0xF];
    out += digits[byte & 0xF];
}

void appendUnicode(QByteArray& out, char16_t unit)
{
    // \u takes a signed 16-bit number; '?' is what readers without Unicode show instead.
    out += "\\u" + QByteArray::number(static_cast<qint16>(unit)) + '?';
}

// The text of a run. japanese: the run's font has the Japanese character set, so CP932
// characters are written as their bytes.
void appendText(QByteArray& out, QStringView text, bool japanese)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'\\':
        case u'{':
        case u'}':
            out += '\\';
            out += static_cast<char>(u);
            continue;
        case u'\t':
            out += "\\tab ";
            continue;
        case u'\n':
        case QChar::LineSeparator:
            out += "\\line ";
            continue;
        case u'\r':
            continue;
        case 0x00A0:
            out += "\\~";
            continue;
        case 0x00AD:
            out += "\\-";
            continue;
        case 0x2011:
            out += "\\_";
            continue;
        default:
            break;
        }
        if (u >= 0x20 && u < 0x7F) {
            out += static_cast<char>(u);
            continue;
        }
        if (u < 0x20)
            continue; // other control characters are no text
        const int code = japanese ? platform::cp932Code(u) : -1;
        // Double-byte codes and the half-width katakana mean the same to every CP932 reader;
        // the few other single bytes above 0x7F do not.
        if (code > 0xFF || (code >= 0xA1 && code <= 0xDF)) {
            if (code > 0xFF)
                appendHexByte(out, static_cast<unsigned>(code) >> 8);
            appendHexByte(out, static_cast<unsigned>(code) & 0xFF);
        } else {
            // Surrogates are written unit by unit: a pair becomes two \u.
            appendUnicode(out, u);
        }
    }
}

class Tables
{
public:
    explicit Tables(const QString& defaultFamily) { font(defaultFamily); }

    int font(const QString& family)
    {
        qsizetype i = m_fonts.indexOf(family);
        if (i < 0) {
            m_fonts.append(family);
            m_japanese.append(RtfWriter::isJapaneseFont(family));
            i = m_fonts.size() - 1;
        }
        return static_cast<int>(i);
    }
    bool isJapanese(int font) const { return m_japanese.value(font, true); }

    int color(const QColor& color)
    {
        const QColor rgb = color.toRgb();
        qsizetype i = m_colors.indexOf(rgb);
        if (i < 0) {
            m_colors.append(rgb);
            i = m_colors.size() - 1;
        }
        return static_cast<int>(i) + 1; // entry 0 is "auto"
    }

    QByteArray header() const
    {
        QByteArray out = "{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1041\\uc1\n{\\fonttbl";
        for (qsizetype i = 0; i < m_fonts.size(); ++i) {
            out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset" +
                   (m_japanese[i] ? "128 " : "0 ");
            appendText(out, m_fonts[i], m_japanese[i]);
            out += ";}";
        }
        out += "}\n{\\colortbl;";
        for (const QColor& c : m_colors)
            out += "\\red" + QByteArray::number(c.red()) + "\\green" +
                   QByteArray::number(c.green()) + "\\blue" + QByteArray::number(c.blue()) + ';';
        out += "}\n";
        return out;
    }

private:
    QStringList m_fonts;
    QList<bool> m_japanese;
    QList<QColor> m_colors;
};

const char* alignmentWord(Qt::Alignment alignment)
{
    switch (alignment & Qt::AlignHorizontal_Mask) {
    case Qt::AlignHCenter:
        return "\\qc";
    case Qt::AlignRight:
        return "\\qr";
    case Qt::AlignJustify:
        return "\\qj";
    default:
        return "\\ql";
    }
}

void appendRun(QByteArray& body, Tables& tables, const QTextFragment& fragment, double defaultSize)
{
    const QTextCharFormat f = fragment.charFormat();
    const QStringList families = f.fontFamilies().toStringList();
    const int font = families.isEmpty() ? 0 : tables.font(families.first());
    const double points = f.fontPointSize() > 0 ? f.fontPointSize() : defaultSize;
    body += "\\plain\\f" + QByteArray::number(font) + "\\fs" +
            QByteArray::number(std::lround(points * 2));
    if (f.fontWeight() >= QFont::DemiBold)
        body += "\\b";
    if (f.fontItalic())
        body += "\\i";
    if (f.fontUnderline())
        body += "\\ul";
    if (f.fontStrikeOut())
        body += "\\strike";
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
        body += "\\cf" + QByteArray::number(tables.color(f.foreground().color()));
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
        body += "\\highlight" + QByteArray::number(tables.color(f.background().color()));
    body += ' ';
    appendText(body, fragment.text(), tables.isJapanese(font));
}

} // namespace

bool RtfWriter::isJapaneseFont(const QString& family)
{
    for (const QChar c : family) {
        if (c.unicode() >= 0x80)
            return true;
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return true;
    return QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese);
}

QByteArray RtfWriter::write(const QTextDocument* document)
{
    const QFont defaultFont = document->defaultFont();
    Tables tables(defaultFont.family());
    const double defaultSize = defaultFont.pointSizeF() > 0 ? defaultFont.pointSizeF() : 12.0;

    QByteArray body;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        body += "\\pard";
        body += alignmentWord(block.blockFormat().alignment());
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid())
                appendRun(body, tables, fragment, defaultSize);
        }
        if (block.next().isValid())
            body += "\\par\n";
    }
    return tables.header() + body + "}\n";
}

} // namespace preview
