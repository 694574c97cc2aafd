// The compression dialog against careless and hostile drops: names that are not UTF-8 or hold
// quotes, line breaks and a leading "-", a work folder that fills up, and a huge sparse file
// whose copy is cancelled from the progress window while the dialog stays responsive.
#include "ArchiveTestDoubles.h"
#include "E2eSupport.h"
#include "RecordingPrompts.h"

#include "archive/CompressDialog.h"
#include "archive/Staging.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/mount.h>
#include <unistd.h>

namespace
{
namespace fs = std::filesystem;

void writeBytes(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY2(fd >= 0, path.constData());
    QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
}

// Every file below the folder by its raw relative name, with its bytes.
QMap<QByteArray, QByteArray> rawFilesBelow(const QByteArray& folder)
{
    QMap<QByteArray, QByteArray> out;
    const fs::path root(folder.toStdString());
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file())
            continue;
        const std::string relative = fs::relative(entry.path(), root).native();
        QFile file(QString::fromStdString(entry.path().native()));
        QByteArray bytes;
        const int fd = ::open(entry.path().c_str(), O_RDONLY);
        if (fd >= 0) {
            char buffer[4096];
            ssize_t n;
            while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
                bytes.append(buffer, n);
            ::close(fd);
        }
        out.insert(QByteArray(relative.data(), qsizetype(relative.size())), bytes);
    }
    return out;
}

QStringList entries(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QStringList everythingIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}
} // namespace

class CompressHostileTest : public QObject
{
    Q_OBJECT

    struct Run {
        QTemporaryDir work;
        QTemporaryDir sources;
        QWidget window;
        RecordingPrompts prompts;
        RecordingRunner runner;
        QPointer<archive::CompressDialog> dialog;
        QString workFolder;

        explicit Run(const QString& workIn = QString())
            : workFolder(workIn.isEmpty() ? work.path() : workIn)
        {
            archive::Services services;
            services.prompts = &prompts;
            services.archiver = &runner;
            services.mainWindow = &window;
            services.workFolder = [this]() -> QString { return workFolder + QLatin1Char('/'); };
            dialog = new archive::CompressDialog(services, &window);
            dialog->show();
        }
        ~Run() { delete dialog.data(); }
        QString staging() const { return workFolder + QStringLiteral("/compress/"); }
        QString source(const QString& name) const
        {
            return sources.path() + QLatin1Char('/') + name;
        }
    };

private Q_SLOTS:
    void awkwardNamesAreStagedAsTheyAre()
    {
        Run run;
        const QByteArray src = QFile::encodeName(run.sources.path());
        // Names a shell or a command line would trip over, and a name in Latin-1 that is not
        // UTF-8 at all (as copied from an old disk), inside a dropped folder.
        QDir().mkpath(run.source(QStringLiteral("old disk")));
        writeBytes(src + "/old disk/caf\xE9.txt", "latin-1 name\n");
        writeBytes(src + "/old disk/plain.txt", "plain\n");
        writeBytes(src + "/\"quoted\" name.txt", "quotes\n");
        writeBytes(src + "/-rf", "leading dash\n");
        writeBytes(src + "/two\nlines.txt", "line break\n");
        run.dialog->addDropped({run.source(QStringLiteral("old disk")),
                                run.source(QStringLiteral("\"quoted\" name.txt")),
                                run.source(QStringLiteral("-rf")),
                                run.source(QStringLiteral("two\nlines.txt"))});
        QCOMPARE(entries(run.dialog->list()),
                 (QStringList{QStringLiteral("old disk"), QStringLiteral("\"quoted\" name.txt"),
                              QStringLiteral("-rf"), QStringLiteral("two\nlines.txt")}));
        QCOMPARE(rawFilesBelow(QFile::encodeName(run.staging())), rawFilesBelow(src));
        for (const auto& shown : run.prompts.shown())
            QVERIFY2(false, qPrintable(QStringLiteral("unexpected message: ") + shown.text));
        // Closing the dialog takes the staged copies with it, whatever their names.
        delete run.dialog.data();
        QVERIFY(everythingIn(run.work.path()).isEmpty());
        fs::remove_all(fs::path(src.toStdString()) / "old disk");
    }

    void fullWorkFolderLeavesNoHalfCopy()
    {
        QTemporaryDir mountPoint;
        if (::mount("tmpfs", QFile::encodeName(mountPoint.path()).constData(), "tmpfs", 0,
                    "size=1048576") != 0)
            QSKIP(qPrintable(QStringLiteral("mounting a small tmpfs needs root (%1)")
                                 .arg(QString::fromLocal8Bit(std::strerror(errno)))));
        auto unmount = qScopeGuard([&mountPoint] {
            ::umount2(QFile::encodeName(mountPoint.path()).constData(), MNT_DETACH);
        });
        {
            Run run(mountPoint.path());
            QFile big(run.source(QStringLiteral("big.bin")));
            QVERIFY(big.open(QIODevice::WriteOnly));
            QByteArray noise(3 << 20, '\0');
            for (qsizetype i = 0; i < noise.size(); ++i)
                noise[i] = char((i * 7919) >> 3);
            big.write(noise);
            big.close();
            QFile small(run.source(QStringLiteral("small.txt")));
            QVERIFY(small.open(QIODevice::WriteOnly));
            small.write("fits\n");
            small.close();
            run.prompts.expectMessages(1);
            run.dialog->addDropped(
                {run.source(QStringLiteral("big.bin")), run.source(QStringLiteral("small.txt"))});
            QCOMPARE(entries(run.dialog->list()), QStringList{QStringLiteral("small.txt")});
            QCOMPARE(everythingIn(run.staging()), QStringList{QStringLiteral("small.txt")});
            QCOMPARE(run.prompts.shown().size(), 1);
            const QString text = run.prompts.shown().first().text;
            QVERIFY2(text.contains(run.source(QStringLiteral("big.bin"))), qPrintable(text));
        }
    }

    void cancellingAHugeCopyFromTheProgressWindow()
    {
        Run run;
        // A sparse file of 1 GiB: quick to make, slow to copy byte by byte.
        const QString huge = run.source(QStringLiteral("huge.img"));
        {
            QFile file(huge);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(qint64(1) << 30));
        }
        int ticks = 0;
        bool cancelled = false;
        QTimer watcher;
        QElapsedTimer clock;
        connect(&watcher, &QTimer::timeout, &watcher, [&] {
            ++ticks;
            auto* progress =
                run.dialog->findChild<QProgressDialog*>(QStringLiteral("stagingProgress"));
            // Cancelled at the first look, while the copy certainly still runs: waiting for the
            // window's delay would race a fast disk that copies the whole file first.
            if (!cancelled && progress) {
                const auto* button = progress->findChild<QPushButton*>();
                QVERIFY(button);
                const_cast<QPushButton*>(button)->click();
                cancelled = true;
            }
        });
        clock.start();
        watcher.start(50);
        run.dialog->addDropped({huge});
        watcher.stop();
        QVERIFY(cancelled);
        // The dialog answered while the copy ran, and the copy stopped soon after the cancel.
        QVERIFY2(ticks >= 1, qPrintable(QString::number(ticks)));
        QVERIFY2(clock.elapsed() < 60000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(entries(run.dialog->list()).isEmpty());
        QVERIFY(everythingIn(run.staging()).isEmpty());
        QVERIFY(run.prompts.shown().isEmpty());
        QVERIFY(run.dialog->isEnabled());
    }
};

QTEST_MAIN(CompressHostileTest)
#include "tst_compress_hostile.moc"
