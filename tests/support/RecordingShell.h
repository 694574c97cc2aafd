#pragma once

#include "platform/Shell.h"

#include <QList>
#include <QQueue>
#include <QStringList>

// The shell test double: records every call and answers from a script (by default: every
// file operation succeeds, every file has an association, programs start).
class RecordingShell final : public platform::Shell
{
public:
    struct Call {
        QString kind; // "op", "open", "find", "openWith", "properties", "editor", "clipboard"
        FileOperation operation;
        QString path;
        QString directory;
    };

    QList<Call> calls;
    QQueue<int> operationResults; // results of fileOperation, 0 when empty
    int openResult = kOpenOk;
    QString openFailure; // what lastOpenFailure() says after a failed open
    int findResult = 33;
    QString associatedProgram = QStringLiteral("/usr/bin/mousepad");
    qint64 editorTask = 4242;
    QString clipboard;

    QList<Call> callsOf(const QString& kind) const
    {
        QList<Call> out;
        for (const Call& c : calls) {
            if (c.kind == kind)
                out << c;
        }
        return out;
    }

    int fileOperation(const FileOperation& operation) override
    {
        calls.append({QStringLiteral("op"), operation, {}, {}});
        return operationResults.isEmpty() ? 0 : operationResults.dequeue();
    }
    int open(QWidget*, const QString& file, const QString& directory) override
    {
        calls.append({QStringLiteral("open"), {}, file, directory});
        return openResult;
    }
    QString lastOpenFailure() const override { return openResult > 32 ? QString() : openFailure; }
    int findExecutable(const QString& file, const QString& directory, QString& program) override
    {
        calls.append({QStringLiteral("find"), {}, file, directory});
        program = findResult > 32 ? associatedProgram : QString();
        return findResult;
    }
    void openWith(QWidget*, const QString& path) override
    {
        calls.append({QStringLiteral("openWith"), {}, path, {}});
    }
    int showProperties(QWidget*, const QString& path) override
    {
        calls.append({QStringLiteral("properties"), {}, path, {}});
        return kOpenOk;
    }
    qint64 startEditor(Editor editor, const QString& file) override
    {
        calls.append({editor == Editor::Text ? QStringLiteral("editor:text")
                                             : QStringLiteral("editor:image"),
                      {},
                      file,
                      {}});
        return editorTask;
    }
    void setClipboardText(const QString& text) override
    {
        calls.append({QStringLiteral("clipboard"), {}, text, {}});
        clipboard = text;
    }
};
