// The settings file reader and writer on an arbitrary file (code page 932, or UTF-8 after a
// byte-order mark). Reads never give a line break or a NUL; a write refuses a value with a
// line break or a NUL and leaves the file as it was, and otherwise the value reads back as
// written while every other value reads as before.
#include "base/Cp932.h"
#include "base/IniFile.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace
{

[[noreturn]] void fail(const char* why)
{
    std::fprintf(stderr, "fuzz_exp_ini: %s\n", why);
    std::abort();
}

using Pair = std::pair<QString, QString>;

const QList<Pair>& knownPairs()
{
    static const QList<Pair> pairs{
        {QStringLiteral("window"), QStringLiteral("size")},
        {QStringLiteral("window"), QStringLiteral("left")},
        {QStringLiteral("gomi"), QStringLiteral("subete")},
        {QStringLiteral("kanren"), QStringLiteral("hiraku")},
        {QStringLiteral("KANREN"), QStringLiteral("N")},
        {QStringLiteral("fairu"), QStringLiteral("drag")},
        {QStringLiteral("設定"), QStringLiteral("表示")},
        {QStringLiteral("設定"), QStringLiteral("ソ")},   // 0x83 0x5C: a trail byte that is '\'
        {QStringLiteral("한국어"), QStringLiteral("키")}, // no CP932 form: the file turns UTF-8
    };
    return pairs;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasBreakOrNul(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
           text.contains(QChar(0));
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    return file.readAll();
}

// Section and key names as they appear in the file, read roughly, so that lookups also meet
// names in whatever bytes the file holds.
QList<Pair> namesInFile(const QByteArray& bytes)
{
    QList<Pair> pairs;
    const bool utf8 = bytes.startsWith("\xEF\xBB\xBF");
    const auto decode = [&](const QByteArray& b) {
        return utf8 ? QString::fromUtf8(b) : platform::fromCp932(b);
    };
    QString section;
    for (const QByteArray& line : bytes.split('\n')) {
        const QByteArray t = line.trimmed();
        if (t.startsWith('[')) {
            section = decode(t.mid(1, t.indexOf(']') - 1));
        } else if (const qsizetype eq = t.indexOf('='); eq > 0 && pairs.size() < 8) {
            pairs.append({section, decode(t.left(eq).trimmed())});
        }
    }
    return pairs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 256 * 1024)
        return 0;
    static QTemporaryDir dir;
    if (!dir.isValid())
        std::abort();
    const QString path = dir.filePath(QStringLiteral("exp.ini"));
    const QByteArray original(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(original) != original.size())
            std::abort();
    }

    QList<Pair> pairs = knownPairs();
    pairs += namesInFile(original);
    QList<QString> before;
    for (const Pair& p : pairs) {
        const QString value = settings::readProfileString(path, p.first, p.second);
        if (value.contains(QLatin1Char('\n')) || value.contains(QChar(0)))
            fail("a value read holds a line feed or a NUL");
        before.append(value);
    }

    // One of the known names gets a value taken from the middle of the input.
    const Pair& target = knownPairs()[static_cast<qsizetype>(size % knownPairs().size())];
    const QByteArray piece = original.mid(original.size() / 3, 60);
    const QString value = (size & 1) ? platform::fromCp932(piece) : QString::fromUtf8(piece);
    QList<settings::ProfileEntry> entries{{target.first, target.second, value, false}};
    const settings::ProfileError error = settings::writeProfileStrings(path, entries);
    const bool written = error == settings::ProfileError::None;
    if (hasBreakOrNul(value)) {
        if (written || contents(path) != original)
            fail("a value with a line break or a NUL was written");
        return 0;
    }
    if (error == settings::ProfileError::Encoding) {
        // Code page 932 cannot hold the value and the file cannot become UTF-8 without
        // changing other values: nothing may have been written.
        QByteArray encoded;
        if (platform::toCp932(value, encoded) || original.startsWith("\xEF\xBB\xBF"))
            fail("a value the file's encoding holds was refused");
        if (contents(path) != original)
            fail("a refused value changed the file");
        return 0;
    }
    if (!written)
        fail("a plain value could not be written");
    if (settings::readProfileString(path, target.first, target.second) != value)
        fail("the value written does not read back");
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        const Pair& p = pairs[i];
        if (sameName(p.first, target.first) && sameName(p.second, target.second))
            continue;
        // A value near the length limit may be cut elsewhere once the file is UTF-8.
        if (before[i].toUtf8().size() > 1023 / 3)
            continue;
        if (settings::readProfileString(path, p.first, p.second) != before[i])
            fail("writing one value changed another");
    }
    return 0;
}
