// archive::runArchiver against the real libraries: extraction, a missing library, the report
// buffer's size and its NUL padding, quoted operands.
#include "RecordingArchiverCall.h"

#include "archive/ArchiverCall.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using archive::Family;

Q_DECLARE_METATYPE(archive::Family)

namespace
{

QString buildBin()
{
    return qEnvironmentVariable("KORAMO_BUILD_BIN");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs an outside tool in `folder`; true when it exits with 0.
bool runTool(const QString& folder, const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(program, arguments);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString q(const QString& operand)
{
    const std::optional<QString> text = archive::quoted(operand);
    return text ? *text : QString();
}

// Some text that compresses (so the codec really runs) and some that does not.
QByteArray sampleText()
{
    QByteArray out;
    for (int i = 0; i < 2000; ++i)
        out += "line " + QByteArray::number(i) + " of the sample\n";
    return out;
}

QByteArray sampleBinary()
{
    QByteArray out;
    quint32 x = 12345;
    for (int i = 0; i < 5000; ++i) {
        x = x * 1103515245u + 12345u;
        out += char(x >> 24);
    }
    return out;
}

} // namespace

class ArchiverCallTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_lzh;
    QString m_zip;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(!buildBin().isEmpty(), "KORAMO_BUILD_BIN is not set");
        QVERIFY(QFile::exists(buildBin() + QStringLiteral("/libunlha32.so")));
        QVERIFY(m_dir.isValid());
        for (const char* tool : {"jlha", "zip"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP("jlha or zip is not installed");
        }
        const QString src = m_dir.path() + QStringLiteral("/src");
        QVERIFY(writeFile(src + QStringLiteral("/a.txt"), sampleText()));
        QVERIFY(writeFile(src + QStringLiteral("/sub/b.bin"), sampleBinary()));
        m_lzh = m_dir.path() + QStringLiteral("/made by jlha.lzh");
        m_zip = m_dir.path() + QStringLiteral("/made by zip.zip");
        QVERIFY(runTool(
            src, QStringLiteral("jlha"),
            {QStringLiteral("aq"), m_lzh, QStringLiteral("a.txt"), QStringLiteral("sub/b.bin")}));
        QVERIFY(runTool(src, QStringLiteral("zip"),
                        {QStringLiteral("-q"), QStringLiteral("-r"), m_zip, QStringLiteral("a.txt"),
                         QStringLiteral("sub")}));
    }

    void extractsAnLzhArchiveIntoAFolderWithABlank()
    {
        const QString dest = m_dir.path() + QStringLiteral("/lzh out/");
        const archive::CallResult r = archive::runArchiver(
            Family::Lzh, 0, QStringLiteral("e -n -m1 -d1 ") + q(m_lzh) + QLatin1Char(' ') + q(dest),
            archive::kReportBufferSize, buildBin());
        QVERIFY2(!r.libraryMissing, qPrintable(r.error));
        QCOMPARE(r.code, 0);
        QCOMPARE(readFile(dest + QStringLiteral("a.txt")), sampleText());
        QCOMPARE(readFile(dest + QStringLiteral("sub/b.bin")), sampleBinary());
        QVERIFY2(r.report.contains(QStringLiteral("Melted  a.txt")), qPrintable(r.report));
        QVERIFY2(r.report.contains(QStringLiteral("Melted  sub/b.bin")), qPrintable(r.report));
        // Nothing landed beside the quoted destination (in "lzh" or "out/").
        QVERIFY(!QFile::exists(m_dir.path() + QStringLiteral("/lzh")));
        QVERIFY(!QFile::exists(m_dir.path() + QStringLiteral("/out")));
    }

    void extractsAZipArchiveThroughTheRealLibrary()
    {
        const QString dest = m_dir.path() + QStringLiteral("/zip out/");
        const archive::CallResult r = archive::runArchiver(
            Family::Zip, 0, QStringLiteral("-x --i -o ") + q(m_zip) + QLatin1Char(' ') + q(dest),
            archive::kReportBufferSize, buildBin());
        QVERIFY2(!r.libraryMissing, qPrintable(r.error));
        QCOMPARE(r.code, 0);
        QCOMPARE(readFile(dest + QStringLiteral("a.txt")), sampleText());
        QCOMPARE(readFile(dest + QStringLiteral("sub/b.bin")), sampleBinary());
        QVERIFY(!r.report.isEmpty());
    }

    void aLibraryErrorComesBackAsCodeAndReport()
    {
        const archive::CallResult r = archive::runArchiver(
            Family::Lzh, 0,
            QStringLiteral("e -n -m1 ") + q(m_dir.path() + QStringLiteral("/no such.lzh")) +
                QLatin1Char(' ') + q(m_dir.path() + QStringLiteral("/never/")),
            archive::kReportBufferSize, buildBin());
        QVERIFY(!r.libraryMissing);
        QVERIFY2(r.code >= 0x8000, qPrintable(QString::number(r.code, 16)));
        QVERIFY2(r.report.contains(QStringLiteral("no such.lzh")), qPrintable(r.report));
        QVERIFY(!QFile::exists(m_dir.path() + QStringLiteral("/never")));
    }

    void aMissingLibraryIsReportedByItsFileName_data()
    {
        QTest::addColumn<Family>("family");
        QTest::addColumn<QString>("file");
        QTest::newRow("lzh") << Family::Lzh << QStringLiteral("libunlha32.so");
        QTest::newRow("zip") << Family::Zip << QStringLiteral("libunzip32.so");
        QTest::newRow("cab") << Family::Cab << QStringLiteral("libcab32.so");
    }

    void aMissingLibraryIsReportedByItsFileName()
    {
        QFETCH(Family, family);
        QFETCH(QString, file);
        QTemporaryDir empty;
        const archive::CallResult r = archive::runArchiver(
            family, 0, QStringLiteral("-x ") + q(m_zip), archive::kReportBufferSize, empty.path());
        QVERIFY(r.libraryMissing);
        QCOMPARE(r.code, archive::CallResult::kNotCalled);
        QVERIFY2(r.error.contains(file), qPrintable(r.error));
        QVERIFY(r.report.isEmpty());
        // The real libraries of the same names were not picked up from elsewhere.
        archive::LibraryArchiverCall call(empty.path());
        QVERIFY(call.run(family, 0, QStringLiteral("l ") + q(m_lzh), 64).libraryMissing);
    }

    void theNulPaddingIsRemoved()
    {
        QCOMPARE(archive::reportText(QByteArray("ab\0\0cd\0\0\0", 9)), QStringLiteral("abcd"));
        QCOMPARE(archive::reportText(QByteArray(16, '\0')), QString());
        // The library pads its report with NULs to the end of a large buffer; none is left.
        const archive::CallResult r = archive::runArchiver(
            Family::Lzh, 0, QStringLiteral("l ") + q(m_lzh), 1 << 16, buildBin());
        QCOMPARE(r.code, 0);
        QVERIFY(r.report.contains(QStringLiteral("a.txt")));
        QVERIFY(r.report.size() < 4096);
        QVERIFY(!r.report.contains(QChar(0)));
    }

    void theReportIsCutToTheBufferSize()
    {
        const QString list = QStringLiteral("l ") + q(m_lzh);
        const archive::CallResult full =
            archive::runArchiver(Family::Lzh, 0, list, 1 << 16, buildBin());
        QVERIFY(full.report.toUtf8().size() > 100);
        const archive::CallResult small =
            archive::runArchiver(Family::Lzh, 0, list, 48, buildBin());
        QCOMPARE(small.code, full.code);
        QVERIFY(!small.report.isEmpty());
        // 47 bytes of text and the terminating NUL.
        QVERIFY2(small.report.toUtf8().size() <= 47, qPrintable(small.report));
        QVERIFY(full.report.startsWith(small.report));
        const archive::CallResult none = archive::runArchiver(Family::Lzh, 0, list, 0, buildBin());
        QCOMPARE(none.code, full.code);
        QVERIFY(none.report.isEmpty());
    }

    void operandsAreQuoted()
    {
        QCOMPARE(archive::quoted(QStringLiteral("/tmp/a b/c.lzh")),
                 std::optional<QString>(QStringLiteral("\"/tmp/a b/c.lzh\"")));
        QCOMPARE(archive::quoted(QString()), std::optional<QString>(QStringLiteral("\"\"")));
        // A double quote cannot be written inside an operand: refused, not mangled.
        QVERIFY(!archive::quoted(QStringLiteral("say \"hi\".txt")).has_value());
    }

    void theRecordingDoubleKeepsEachCommandLine()
    {
        RecordingArchiverCall recorder;
        archive::CallResult scripted;
        scripted.code = 0x8028;
        scripted.report = QStringLiteral("scripted");
        recorder.results.enqueue(scripted);
        archive::ArchiverCall& call = recorder;
        const archive::CallResult first =
            call.run(Family::Lzh, 77, QStringLiteral("d -jyd \"x.lzh\" \"a b\""), 255);
        const archive::CallResult second = call.run(Family::Zip, 77, QStringLiteral("-x"), 2048);
        QCOMPARE(first.code, 0x8028);
        QCOMPARE(first.report, QStringLiteral("scripted"));
        QCOMPARE(second.code, 0);
        QCOMPARE(recorder.calls.size(), 2);
        QCOMPARE(recorder.calls[0].ownerWindow, quintptr(77));
        QCOMPARE(recorder.calls[0].reportBufferSize, 255);
        QCOMPARE(recorder.commandLines(Family::Lzh),
                 QStringList{QStringLiteral("d -jyd \"x.lzh\" \"a b\"")});
        QCOMPARE(recorder.commandLines(Family::Zip), QStringList{QStringLiteral("-x")});
    }
};

QTEST_MAIN(ArchiverCallTest)
#include "tst_archiver_call.moc"
