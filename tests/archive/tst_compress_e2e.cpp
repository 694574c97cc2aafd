// Compression and self-extracting archives made through the compression dialog with the real
// libraries of the build tree; the archives are read back with lhasa, bsdtar, cabextract and
// gcab, and the NAME.run files are run from an empty folder.
#include "ArchiveTestDoubles.h"
#include "E2eSupport.h"
#include "RecordingPrompts.h"

#include "archive/CompressDialog.h"
#include "archive/MenuEntryDialog.h"
#include "archive/ResultWindow.h"
#include "base/Cp932.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <memory>

using archive::Family;

namespace
{
void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(bytes);
}

// Every entry below the folder (files and folders), relative, sorted.
QStringList everythingBelow(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(folder).relativeFilePath(it.next());
    out.sort();
    return out;
}

// Every file below the folder by its relative path, with its bytes; the names on disk are
// taken as CP932 (lhasa writes the stored names as they are) or as UTF-8.
QMap<QString, QByteArray> filesWithNames(const QString& folder, bool cp932)
{
    namespace fs = std::filesystem;
    QMap<QString, QByteArray> files;
    const fs::path root(QFile::encodeName(folder).toStdString());
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file())
            continue;
        const std::string relative = fs::relative(entry.path(), root).native();
        const QByteArray raw(relative.data(), qsizetype(relative.size()));
        const QString name = cp932 ? platform::fromCp932(raw) : QString::fromUtf8(raw);
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        files.insert(name, QByteArray(bytes.data(), qsizetype(bytes.size())));
    }
    return files;
}

// The file names lhasa lists, folders left out. lhasa prints every byte outside ASCII as "?".
QStringList lhasaFiles(const QString& archive)
{
    QProcess process;
    process.start(QStringLiteral("lhasa"), {QStringLiteral("-lq"), archive});
    process.waitForFinished(60000);
    QStringList names;
    for (const QString& line :
         QString::fromLatin1(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char(' ')) ||
            line.startsWith(QLatin1Char('-') + QLatin1Char('-')))
            continue;
        const QStringList parts = line.simplified().split(QLatin1Char(' '));
        for (qsizetype i = 1; i + 4 < parts.size(); ++i) {
            // The ratio, then the month, the day and the time; the name follows.
            if (parts.at(i).endsWith(QLatin1Char('%')) || parts.at(i) == QLatin1String("******")) {
                const QString name = parts.mid(i + 4).join(QLatin1Char(' '));
                if (!name.endsWith(QLatin1Char('/')))
                    names << name;
                break;
            }
        }
    }
    names.sort();
    return names;
}

// The names as lhasa shows them when they are stored in CP932.
QStringList asLhasaShowsThem(const QStringList& names)
{
    QStringList out;
    for (const QString& name : names) {
        QByteArray bytes;
        if (!platform::toCp932(name, bytes))
            return {};
        for (char& c : bytes) {
            if (static_cast<unsigned char>(c) >= 0x80)
                c = '?';
        }
        out << QString::fromLatin1(bytes);
    }
    out.sort();
    return out;
}
} // namespace

class CompressEndToEndTest : public QObject
{
    Q_OBJECT

    struct Run {
        QTemporaryDir work;
        QTemporaryDir sources;
        QTemporaryDir out;
        QWidget window;
        RecordingPrompts prompts;
        archive::LibraryArchiverCall library{qEnvironmentVariable("KORAMO_BUILD_BIN")};
        ModalDriver driver;
        QStringList reports;
        QPointer<archive::CompressDialog> dialog;
        QMap<QString, QByteArray> expected;

        Run()
        {
            archive::Services services;
            services.prompts = &prompts;
            services.archiver = &library;
            services.mainWindow = &window;
            services.workFolder = [this]() -> QString { return work.path() + QLatin1Char('/'); };
            dialog = new archive::CompressDialog(services, &window);
            dialog->show();
            driver.on(QStringLiteral("Form13"), [this](QWidget* w) {
                auto* r = qobject_cast<archive::ResultWindow*>(w);
                reports << r->reportText();
                r->closeButton()->click();
            });
            driver.start();
            // Japanese names, a folder with a subfolder, a 0-byte file, text and noise.
            const QString s = sources.path() + QLatin1Char('/');
            QByteArray text;
            for (int i = 0; i < 3000; ++i)
                text += "行 " + QByteArray::number(i) + " 繰り返しのある文章です。\n";
            QByteArray noise(200000, '\0');
            QRandomGenerator random(5);
            for (char& c : noise)
                c = char(random.bounded(256));
            writeFile(s + QStringLiteral("日本語の説明.txt"), text);
            writeFile(s + QStringLiteral("空のファイル.dat"), QByteArray());
            writeFile(s + QStringLiteral("資料 フォルダ/画像/noise.bin"), noise);
            writeFile(s + QStringLiteral("資料 フォルダ/メモ.txt"), "メモ\n");
            writeFile(s + QStringLiteral("run.sh"), "#!/bin/sh\necho ok\n");
            dialog->addDropped({s + QStringLiteral("日本語の説明.txt"),
                                s + QStringLiteral("空のファイル.dat"),
                                s + QStringLiteral("資料 フォルダ"), s + QStringLiteral("run.sh")});
            expected = filesBelow(sources.path());
        }
        QString outPath(const QString& name) const { return out.path() + QLatin1Char('/') + name; }
        // Copies NAME.run alone into an empty folder and runs it there with --dest and --yes.
        QMap<QString, QByteArray> runSelfExtracting(const QString& run,
                                                    const QStringList& environment = {})
        {
            QTemporaryDir elsewhere;
            const QString copy = elsewhere.path() + QStringLiteral("/copy.run");
            if (!QFile::copy(run, copy))
                return {};
            QFile::setPermissions(copy, QFile::permissions(run));
            const QString dest = elsewhere.path() + QStringLiteral("/extracted here");
            QProcess process;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            for (const QString& pair : environment)
                env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
            process.setProcessEnvironment(env);
            process.setWorkingDirectory(elsewhere.path());
            process.setProcessChannelMode(QProcess::MergedChannels);
            process.start(copy, {QStringLiteral("--dest"), dest, QStringLiteral("--yes")});
            process.closeWriteChannel();
            if (!process.waitForFinished(120000) || process.exitCode() != 0) {
                qWarning().noquote() << "run failed:" << QString::fromUtf8(process.readAll());
                return {};
            }
            return filesBelow(dest);
        }
    };

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QFileInfo(qEnvironmentVariable("KORAMO_BUILD_BIN") + QStringLiteral("/koramo-sfx"))
                    .isExecutable());
    }

    void lzhReadsBackWithLhasaAndBsdtar()
    {
        Run run;
        QCOMPARE(run.dialog->list()->count(), 4);
        const QString archive = run.outPath(QStringLiteral("圧縮 結果.lzh"));
        run.prompts.answerText(archive);
        run.dialog->button(1)->click();
        QCOMPARE(run.reports.size(), 1);
        QVERIFY2(QFileInfo(archive).size() > 0, qPrintable(run.reports.join(u'\n')));
        QCOMPARE(lhasaFiles(archive), asLhasaShowsThem(run.expected.keys()));
        QCOMPARE(lhasaFiles(archive).size(), 5);
        for (const QString& tool : {QStringLiteral("lhasa"), QStringLiteral("bsdtar")}) {
            QTemporaryDir into;
            const QStringList args = tool == QLatin1String("lhasa")
                                         ? QStringList{QStringLiteral("xqf"), archive}
                                         : QStringList{QStringLiteral("-xf"), archive};
            QVERIFY(runTool(tool, args, into.path()));
            const QMap<QString, QByteArray> got =
                filesWithNames(into.path(), tool == QLatin1String("lhasa"));
            // QDir cannot remove names that are not UTF-8 (lhasa writes them in CP932).
            std::filesystem::remove_all(QFile::encodeName(into.path()).toStdString());
            QCOMPARE(got.keys(), run.expected.keys());
            QVERIFY2(got == run.expected, qPrintable(tool));
        }
        QTRY_VERIFY(!run.dialog);
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void cabReadsBackWithCabextractAndGcab()
    {
        Run run;
        const QString archive = run.outPath(QStringLiteral("圧縮 結果.cab"));
        run.prompts.answerText(archive);
        run.dialog->button(6)->click();
        QVERIFY(QFileInfo(archive).size() > 0);
        QTemporaryDir a;
        QVERIFY(runTool(QStringLiteral("cabextract"),
                        {QStringLiteral("-q"), QStringLiteral("-d"), a.path(), archive}));
        QCOMPARE(filesBelow(a.path()), run.expected);
        QTemporaryDir b;
        QVERIFY(runTool(QStringLiteral("gcab"),
                        {QStringLiteral("-x"), QStringLiteral("-C"), b.path(), archive}));
        QCOMPARE(filesBelow(b.path()), run.expected);
        QTRY_VERIFY(!run.dialog);
    }

    void selfExtractingLzhWritesTheStagedFiles()
    {
        Run run;
        run.prompts.answerMessage(platform::Prompts::No);
        run.prompts.answerText(QStringLiteral("配布 セット"));
        run.prompts.answerText(run.out.path());
        run.dialog->button(4)->click();
        const QString made = run.outPath(QStringLiteral("配布 セット.run"));
        QVERIFY2(QFileInfo(made).isExecutable(), qPrintable(run.reports.join(u'\n')));
        // Only NAME.run is left: the intermediate archive stayed in the work folder, which
        // keeps nothing of it.
        QCOMPARE(everythingBelow(run.out.path()), QStringList{QStringLiteral("配布 セット.run")});
        QCOMPARE(run.runSelfExtracting(made), run.expected);
        QTRY_VERIFY(!run.dialog);
        QCOMPARE(everythingBelow(run.work.path()), QStringList());
    }

    void selfExtractingCabWritesTheStagedFiles()
    {
        Run run;
        run.prompts.answerText(QStringLiteral("cab set"));
        run.prompts.answerText(run.out.path());
        run.dialog->button(7)->click();
        const QString made = run.outPath(QStringLiteral("cab set.run"));
        QVERIFY2(QFileInfo(made).isExecutable(), qPrintable(run.reports.join(u'\n')));
        QVERIFY(run.reports.isEmpty());
        QCOMPARE(run.runSelfExtracting(made), run.expected);
        QTRY_VERIFY(!run.dialog);
    }

    void directiveMakesAMenuEntry()
    {
        Run run;
        run.prompts.answerMessage(platform::Prompts::Yes);
        run.dialog->button(4)->click();
        archive::MenuEntryDialog* form = run.dialog->menuEntryDialog();
        QVERIFY(form);
        form->check()->setChecked(true);
        const QStringList values{QStringLiteral("登録しますか"), QStringLiteral("テスト群"),
                                 QStringLiteral("起動する"), QStringLiteral("run.sh")};
        for (int i = 0; i < 4; ++i)
            form->text(i)->setText(values.at(i));
        run.prompts.answerText(QStringLiteral("menu set"));
        run.prompts.answerText(run.out.path());
        form->okButton()->click();
        const QString made = run.outPath(QStringLiteral("menu set.run"));
        QVERIFY2(QFileInfo(made).isExecutable(), qPrintable(run.reports.join(u'\n')));
        QTemporaryDir home;
        const QString data = home.path() + QStringLiteral("/data");
        const QString config = home.path() + QStringLiteral("/config");
        const QMap<QString, QByteArray> got = run.runSelfExtracting(
            made,
            {QStringLiteral("HOME=") + home.path() + QStringLiteral("/home"),
             QStringLiteral("XDG_DATA_HOME=") + data, QStringLiteral("XDG_CONFIG_HOME=") + config});
        // The directive itself is not one of the user's files.
        QCOMPARE(got, run.expected);
        QStringList desktops;
        for (const QString& entry : everythingBelow(data)) {
            if (entry.startsWith(QStringLiteral("applications/")) &&
                entry.endsWith(QStringLiteral(".desktop")))
                desktops << data + QLatin1Char('/') + entry;
        }
        QCOMPARE(desktops.size(), 1);
        QVERIFY(runTool(QStringLiteral("desktop-file-validate"), {desktops.first()}));
        QFile desktop(desktops.first());
        QVERIFY(desktop.open(QIODevice::ReadOnly));
        const QString entry = QString::fromUtf8(desktop.readAll());
        QVERIFY2(entry.contains(QStringLiteral("Name=起動する")), qPrintable(entry));
        QVERIFY2(entry.contains(QStringLiteral("run.sh")), qPrintable(entry));
        // Nothing went to the home folder itself.
        QVERIFY(!QFileInfo::exists(home.path() + QStringLiteral("/home")));
    }
};

QTEST_MAIN(CompressEndToEndTest)
#include "tst_compress_e2e.moc"
