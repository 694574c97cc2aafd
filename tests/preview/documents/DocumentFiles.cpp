#include "DocumentFiles.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

bool runMaker(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        qWarning() << program << "did not start";
        return false;
    }
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning() << program << arguments << process.readAll();
        return false;
    }
    return true;
}

bool writeFileBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool writeTruncated(const QString& from, const QString& to, qint64 bytes)
{
    QFile file(from);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return writeFileBytes(to, file.read(bytes));
}

bool makePdf(const QString& path, int pages)
{
    QTemporaryDir work;
    const QString program = work.filePath(QStringLiteral("pages.ps"));
    const QByteArray ps = "%!PS\n"
                          "/Helvetica findfont 48 scalefont setfont\n"
                          "<< /PageSize [595 842] >> setpagedevice\n"
                          "1 1 " +
                          QByteArray::number(pages) +
                          " {\n"
                          "  /n exch def\n"
                          "  72 720 moveto (Page ) show n 10 string cvs show\n"
                          "  newpath 72 300 moveto 400 0 rlineto 0 300 rlineto -400 0 rlineto\n"
                          "  closepath fill showpage\n"
                          "} for\n";
    if (!writeFileBytes(program, ps))
        return false;
    return runMaker(QStringLiteral("gs"),
                    {QStringLiteral("-q"), QStringLiteral("-dNOPAUSE"), QStringLiteral("-dBATCH"),
                     QStringLiteral("-dSAFER"), QStringLiteral("-sDEVICE=pdfwrite"),
                     QStringLiteral("-sOutputFile=") + path, program});
}

bool makePicture(const QString& path, const QSize& size, const QColor& colour)
{
    const QString geometry =
        QString::number(size.width()) + QLatin1Char('x') + QString::number(size.height());
    return runMaker(QStringLiteral("convert"),
                    {QStringLiteral("-size"), geometry,
                     QStringLiteral("xc:") + colour.name(QColor::HexRgb), path});
}

bool makeWebp(const QString& path, const QSize& size)
{
    QTemporaryDir work;
    const QString png = work.filePath(QStringLiteral("from.png"));
    return makePicture(png, size, Qt::blue) &&
           runMaker(QStringLiteral("cwebp"),
                    {QStringLiteral("-quiet"), png, QStringLiteral("-o"), path});
}

bool makeAnimatedWebp(const QString& path, const QSize& size)
{
    QTemporaryDir work;
    const QString first = work.filePath(QStringLiteral("1.png"));
    const QString second = work.filePath(QStringLiteral("2.png"));
    return makePicture(first, size, Qt::red) && makePicture(second, size, Qt::green) &&
           runMaker(QStringLiteral("img2webp"),
                    {QStringLiteral("-loop"), QStringLiteral("0"), QStringLiteral("-d"),
                     QStringLiteral("100"), first, second, QStringLiteral("-o"), path});
}

bool makeMedia(const QString& path)
{
    const QString ending = QFileInfo(path).suffix().toLower();
    QStringList arguments = {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                             QStringLiteral("error"), QStringLiteral("-y")};
    const bool video = ending == u"mp4" || ending == u"mkv" || ending == u"webm";
    if (video) {
        arguments << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
                  << QStringLiteral("testsrc=duration=2:size=160x120:rate=10");
    }
    arguments << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
              << QStringLiteral("sine=frequency=440:duration=2");
    if (ending == u"mp4" || ending == u"mkv")
        arguments << QStringLiteral("-c:v") << QStringLiteral("libx264")
                  << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p")
                  << QStringLiteral("-c:a") << QStringLiteral("aac");
    else if (ending == u"webm")
        arguments << QStringLiteral("-c:v") << QStringLiteral("libvpx") << QStringLiteral("-c:a")
                  << QStringLiteral("libvorbis");
    else if (ending == u"ogg")
        arguments << QStringLiteral("-c:a") << QStringLiteral("libvorbis");
    else if (ending == u"opus")
        arguments << QStringLiteral("-c:a") << QStringLiteral("libopus");
    else if (ending == u"m4a")
        arguments << QStringLiteral("-c:a") << QStringLiteral("aac");
    arguments << path;
    return runMaker(QStringLiteral("ffmpeg"), arguments);
}
