#pragma once

#include "archive/RunCommand.h"
#include "fileops/FileBrowser.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QWidget;

// The operand at `index` (from 0) of the double-quoted operands of a command line: 0 is the
// archive, 1 the destination folder of an extraction.
QString quotedOperand(const QString& line, int index);

// Records every line sent to the archiver libraries and answers with a scripted report;
// with `missing` set it answers as a library that cannot be loaded.
class RecordingRunner final : public archive::ArchiverCall
{
public:
    struct Call {
        archive::Family family;
        QString line;
        int bufferSize;
        quintptr owner;
    };
    QList<Call> calls;
    QQueue<QString> reports;
    bool missing = false;
    // Runs before the call returns, e.g. to create the files a real library would write.
    std::function<void(const Call&)> effect;

    archive::CallResult run(archive::Family family, quintptr ownerWindow, const QString& line,
                            int bufferSize) override;
};

// A browser around the dialogs: a current folder and a selected file, and a record of what
// the dialogs asked of it.
class FakeBrowser final : public fileops::FileBrowser
{
public:
    QWidget* owner = nullptr;
    QString folder;
    QString selected;
    QStringList events; // "tree", "files", "cd:PATH"

    QWidget* window() const override { return owner; }
    QString currentFolder() const override { return folder; }
    bool setCurrentFolder(const QString& f) override;
    QString fileListFolder() const override { return folder; }
    QStringList fileListEntries() const override { return {selected}; }
    QList<bool> fileListSelection() const override { return {true}; }
    QString selectedFileName() const override { return selected; }
    void refreshFileList() override { events << QStringLiteral("files"); }
    void refreshFolderTree() override { events << QStringLiteral("tree"); }
    QString destination() const override { return {}; }
    void setDestination(const QString&) override {}
    void setAssociationText(const QString&) override {}
    void setAssociationFlag(const QString& f) override { flag = f; }
    QString associationFlag() const override { return flag; }
    bool recycleOnDelete() override { return false; }
    bool noChooserForUnassociated() override { return noChooser; }

    QString flag = QStringLiteral("0");
    bool noChooser = false;
};

// Answers the modal dialogs that open while a test runs: each time a modal window is on top,
// the handler for its object name runs (and is expected to close it). Windows are recorded in
// the order they came up.
class ModalDriver final : public QObject
{
    Q_OBJECT
public:
    explicit ModalDriver(QObject* parent = nullptr);
    void on(const QString& objectName, std::function<void(QWidget*)> handler);
    // Only a started driver answers, so that several drivers can live in one test.
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    QStringList seen;

private:
    void poll();
    QTimer m_timer;
    QList<QPair<QString, std::function<void(QWidget*)>>> m_handlers;
    QList<QPointer<QWidget>> m_handled;
};
