#pragma once

#include "ArchiveTestDoubles.h"
#include "RecordingPrompts.h"
#include "RecordingShell.h"

#include "archive/ArchiveListEvents.h"
#include "archive/ArchiverCall.h"
#include "archive/Extraction.h"
#include "archive/MemberCommands.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <functional>
#include <memory>

QString familyText(archive::Family family);
QByteArray fileBytes(const QString& path);

// Answers the windows that come up while a command runs: the library's question for a new
// name (from `newName`, which sees who was asked), its overwrite question ("はい") and the
// result window (its report kept). Anything else is closed and named in `others`.
class Answerer final : public QObject
{
public:
    std::function<QString(const QString& member)> newName;
    QStringList reports;
    QStringList others;
    int overwrites = 0;

    Answerer();

private:
    void poll();
    QTimer m_timer;
    QPointer<QWidget> m_last;
};

// The program around one member list, with the real libraries behind it. The work folder
// lives as long as the session, across archives, as the program's does.
struct Session {
    QTemporaryDir root;
    QString current;
    QString work;
    QWidget window;
    RecordingPrompts prompts;
    RecordingShell shell;
    FakeBrowser browser;
    archive::LibraryArchiverCall library;
    std::unique_ptr<archive::Extraction> extraction;
    std::unique_ptr<archive::MemberCommands> members;
    std::unique_ptr<archive::ArchiveListEvents> events;
    QTreeWidget* list = nullptr;
    Answerer answerer;
    archive::Family family = archive::Family::Lzh;

    Session();
    QString archivePath() const { return current + QLatin1Char('/') + browser.selected; }
    // Lists the archive the way the preview does.
    void relist();
    // The member paths ("/" between folders) the library lists now, sorted.
    QStringList listedPaths() const;
    // Selects the rows; their texts in list order.
    QStringList select(const QList<int>& rows) const;
    // Selects the rows whose texts are given; false when one is not listed.
    bool selectNames(const QStringList& names) const;
};
