#include "MemberModel.h"

#include "E2eSupport.h"

#include "archive/ArchiverCall.h"
#include "base/Cp932.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtDebug>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using archive::Family;

namespace
{
// Runs a tool with extra environment; its standard output, or nothing when it fails.
std::optional<QByteArray> toolOutput(const QString& program, const QStringList& arguments,
                                     const QString& folder = {}, const QStringList& env = {})
{
    QProcess process;
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& pair : env)
        environment.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning().noquote() << program << arguments.join(QLatin1Char(' '))
                             << "failed:" << QString::fromLocal8Bit(process.readAllStandardError());
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

QByteArray randomContent(QRandomGenerator& random)
{
    switch (random.bounded(5)) {
    case 0:
        return QByteArray(); // an empty file
    case 1: {
        QByteArray text;
        const int lines = 1 + random.bounded(200);
        for (int i = 0; i < lines; ++i)
            text += "line " + QByteArray::number(random.bounded(1000)) + " of a repeated text\n";
        return text;
    }
    default: {
        QByteArray bytes(1 + random.bounded(3000), '\0');
        for (char& c : bytes)
            c = char(random.bounded(256));
        return bytes;
    }
    }
}

// Every folder above the path ("a/b/c.txt": "a", "a/b").
QStringList foldersAbove(const QString& path)
{
    QStringList folders;
    qsizetype at = path.indexOf(QLatin1Char('/'));
    while (at > 0) {
        folders << path.left(at);
        at = path.indexOf(QLatin1Char('/'), at + 1);
    }
    return folders;
}

bool makeRawFolders(const QByteArray& path)
{
    for (qsizetype at = path.indexOf('/', 1); at > 0; at = path.indexOf('/', at + 1))
        ::mkdir(path.left(at).constData(), 0755);
    struct stat st {
    };
    return ::mkdir(path.constData(), 0755) == 0 ||
           (::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode));
}
} // namespace

Family familyOf(Maker maker)
{
    switch (maker) {
    case Maker::Jlha:
    case Maker::OwnLzh:
        return Family::Lzh;
    case Maker::Zip:
        return Family::Zip;
    case Maker::Gcab:
        return Family::Cab;
    }
    return Family::Lzh;
}

QString makerName(Maker maker)
{
    switch (maker) {
    case Maker::Jlha:
        return QStringLiteral("jlha");
    case Maker::OwnLzh:
        return QStringLiteral("our LZH writer");
    case Maker::Zip:
        return QStringLiteral("Info-ZIP zip");
    case Maker::Gcab:
        return QStringLiteral("gcab");
    }
    return QString();
}

QStringList hostileBaseNames()
{
    return {QStringLiteral("readme.txt"),
            QStringLiteral("a b.txt"),
            QStringLiteral("-m1"),
            QStringLiteral("--"),
            QStringLiteral("-x.txt"),
            QStringLiteral("ソ表.txt"),
            QStringLiteral("表 ソ"),
            QStringLiteral("zero.dat"),
            QString(196, QLatin1Char('L')) + QStringLiteral(".txt"),
            QStringLiteral("two  blanks .dat")};
}

QStringList hostileFolders()
{
    return {QString(),
            QStringLiteral("docs/"),
            QStringLiteral("a/b/"),
            QStringLiteral("表/"),
            QStringLiteral("-d1/"),
            QStringLiteral("sub folder/ソ/")};
}

bool writeRawFile(const QByteArray& path, const QByteArray& bytes, qint64 mtime)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash > 0 && !makeRawFolders(path.left(slash)))
        return false;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = bytes.isEmpty() ||
                    ::write(fd, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
    ::close(fd);
    if (ok && mtime > 0) {
        const timespec times[2] = {{time_t(mtime), 0}, {time_t(mtime), 0}};
        ::utimensat(AT_FDCWD, path.constData(), times, 0);
    }
    return ok;
}

ArchiveModel makeRandomArchive(Maker maker, QRandomGenerator& random, const QString& scratch,
                               const QString& archivePath, bool archiveNameMember)
{
    const Family family = familyOf(maker);
    // A new folder each time: zip's CP932 names are not UTF-8, which QDir cannot remove.
    static int serial = 0;
    const QString source = scratch + QStringLiteral("/source %1").arg(++serial);
    QDir().mkpath(source);
    QFile::remove(archivePath);

    // Stored an hour ago, so that a file added "now" is newer.
    const qint64 stored = QDateTime::currentSecsSinceEpoch() - 3600;
    ArchiveModel model;
    const auto addFile = [&](const QString& path) {
        if (!model.contains(path))
            model.insert(path, {randomContent(random), false, stored});
    };
    addFile(QStringLiteral("readme.txt"));
    addFile(QStringLiteral("docs/readme.txt"));
    addFile(QStringLiteral("a/b/readme.txt"));
    const QStringList bases = hostileBaseNames();
    const QStringList folders = hostileFolders();
    const int more = 5 + random.bounded(8);
    for (int i = 0; i < more; ++i)
        addFile(folders.at(random.bounded(folders.size())) +
                bases.at(random.bounded(bases.size())));
    if (archiveNameMember && family == Family::Lzh)
        addFile(QFileInfo(archivePath).fileName());

    // Cabinets hold files only; the other makers store an entry for every folder.
    QStringList emptyFolders;
    if (family != Family::Cab) {
        emptyFolders << QStringLiteral("empty");
        if (random.bounded(2))
            emptyFolders << QStringLiteral("表/空 の");
        QStringList all = emptyFolders;
        for (const QString& path : model.keys())
            all << foldersAbove(path);
        for (const QString& path : emptyFolders)
            all << foldersAbove(path);
        for (const QString& folder : all)
            model.insert(folder, {QByteArray(), true, stored});
    }

    // The tree on disk: CP932 names for zip (stored as they are, without a UTF-8 mark), UTF-8
    // for the others (jlha converts them to CP932 with "y").
    const auto diskName = [family](const QString& path) {
        QByteArray raw;
        if (family == Family::Zip && platform::toCp932(path, raw))
            return raw;
        return path.toUtf8();
    };
    const QByteArray root = QFile::encodeName(source) + '/';
    for (auto it = model.cbegin(); it != model.cend(); ++it) {
        const QByteArray path = root + diskName(it.key());
        if (it->folder ? !makeRawFolders(path) : !writeRawFile(path, it->bytes, stored)) {
            qWarning().noquote() << "cannot write" << it.key();
            return {};
        }
    }

    bool made = false;
    switch (maker) {
    case Maker::Jlha: {
        QStringList top;
        for (const QString& path : model.keys()) {
            const QString first = path.section(QLatin1Char('/'), 0, 0);
            if (!top.contains(first))
                top << first;
        }
        made = toolOutput(QStringLiteral("jlha"),
                          QStringList{QStringLiteral("ay"), archivePath} + top, source)
                   .has_value();
        break;
    }
    case Maker::OwnLzh: {
        archive::LibraryArchiverCall library;
        const QString line =
            QStringLiteral("u -a1 %1\"%2\" \"%3/\" \"*.*\"")
                .arg(random.bounded(2) ? QStringLiteral("-o2 ") : QString(), archivePath, source);
        const archive::CallResult result = library.run(Family::Lzh, 0, line, 8192);
        made = result.code == 0 && QFileInfo(archivePath).isFile();
        if (!made)
            qWarning().noquote() << line << result.report;
        break;
    }
    case Maker::Zip:
        made = toolOutput(QStringLiteral("zip"),
                          {QStringLiteral("-q"), QStringLiteral("-X"), QStringLiteral("-r"),
                           archivePath, QStringLiteral(".")},
                          source, {QStringLiteral("LC_ALL=C")})
                   .has_value();
        break;
    case Maker::Gcab: {
        QStringList files{QStringLiteral("-c"), QStringLiteral("-z"), archivePath,
                          QStringLiteral("--")};
        files << model.keys();
        made = toolOutput(QStringLiteral("gcab"), files, source).has_value();
        break;
    }
    }
    toolOutput(QStringLiteral("rm"), {QStringLiteral("-rf"), QStringLiteral("--"), source});
    return made ? model : ArchiveModel();
}

bool readIndependently(Family family, const QString& archive, const QString& scratch,
                       ArchiveModel& out)
{
    out.clear();
    QDir(scratch).removeRecursively();
    QDir().mkpath(scratch);
    QStringList names;
    if (family == Family::Cab) {
        const auto listing = toolOutput(QStringLiteral("gcab"), {QStringLiteral("-t"), archive});
        if (!listing || !toolOutput(QStringLiteral("gcab"),
                                    {QStringLiteral("-x"), QStringLiteral("-C"), scratch, archive}))
            return false;
        names = QString::fromUtf8(*listing).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    } else {
        const QStringList charset{QStringLiteral("--options"), QStringLiteral("hdrcharset=CP932")};
        const auto listing = toolOutput(QStringLiteral("bsdtar"),
                                        charset + QStringList{QStringLiteral("-tf"), archive});
        if (!listing || !toolOutput(QStringLiteral("bsdtar"),
                                    charset + QStringList{QStringLiteral("-xf"), archive,
                                                          QStringLiteral("-C"), scratch}))
            return false;
        names = QString::fromUtf8(*listing).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    const QMap<QString, QByteArray> files = filesBelow(scratch);
    for (const QString& listed : names) {
        const bool folder = listed.endsWith(QLatin1Char('/'));
        const QString path = modelPath(family, listed);
        ModelMember m;
        m.folder = folder;
        if (!folder) {
            if (!files.contains(path))
                return false;
            m.bytes = files.value(path);
        }
        out.insert(path, m);
    }
    return true;
}

QString listedName(Family family, const QString& path)
{
    if (family != Family::Cab)
        return path;
    QString name = path;
    return name.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

QString modelPath(Family family, const QString& listed)
{
    QString path = listed;
    if (family == Family::Cab)
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString baseOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QStringList differences(const ArchiveModel& expected, const ArchiveModel& actual)
{
    QStringList lines;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (!actual.contains(it.key()))
            lines << QStringLiteral("missing ") + it.key();
        else if (actual.value(it.key()).folder != it->folder)
            lines << QStringLiteral("folder or file ") + it.key();
        else if (!(actual.value(it.key()) == *it))
            lines << QStringLiteral("bytes of ") + it.key();
    }
    for (auto it = actual.cbegin(); it != actual.cend(); ++it) {
        if (!expected.contains(it.key()))
            lines << QStringLiteral("extra ") + it.key();
    }
    return lines;
}
