#include "archive/NameEncodings.h"

#include "archive/ArchiverLibrary.h"

namespace archive
{

QList<NameEncoding> zipNameEncodings()
{
    return {
        {QString(), QStringLiteral("自動判別")},
        {QStringLiteral("CP932"), QStringLiteral("日本語 (Shift_JIS/CP932)")},
        {QStringLiteral("UTF-8"), QStringLiteral("Unicode (UTF-8)")},
        {QStringLiteral("EUC-JP"), QStringLiteral("日本語 (EUC-JP)")},
        {QStringLiteral("GBK"), QStringLiteral("簡体字中国語 (GBK)")},
        {QStringLiteral("Big5"), QStringLiteral("繁体字中国語 (Big5)")},
        {QStringLiteral("EUC-KR"), QStringLiteral("韓国語 (EUC-KR)")},
    };
}

bool setNameEncoding(Family family, const QString& programFolder, const QString& archivePath,
                     const QString& encoding)
{
    using SetNameEncoding = int (*)(const char*, const char*);
    const ArchiverLibrary library(family, programFolder);
    auto set = reinterpret_cast<SetNameEncoding>(library.resolve("SetNameEncoding"));
    if (!set)
        return false;
    const QByteArray path = archivePath.toUtf8();
    const QByteArray id = encoding.toUtf8();
    return set(path.constData(), id.constData()) == 0;
}

} // namespace archive
