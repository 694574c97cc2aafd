#pragma once

#include "archive/ArchiverCall.h"
#include "archive/ArchiverLibrary.h"
#include "archive/Services.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QTreeWidget;
class QWidget;

namespace archive
{

// The archive shown in the member list: its path and the family whose library reads it.
struct ListedArchive {
    QString path;
    std::optional<Family> family;
};

// Adds a file (or wildcard) to an LZH archive through the LZH library, stored relative to
// the base folder; the report is not shown. When the library fails, the user is told `what`
// failed with the report's error lines; true when it succeeded.
bool addToLzhArchive(ArchiverCall* archiver, platform::Prompts* prompts, QWidget* owner,
                     const QString& archive, const QString& baseFolder, const QString& file,
                     const QString& what);

// The names of the list's selected members, in list order.
QStringList selectedMembers(const QTreeWidget* list);

// The commands of the member list's popup menu.
class MemberCommands final
{
public:
    explicit MemberCommands(Services services);

    // The archive selected in the file list. A self-extracting archive listed through its LZH
    // payload stays LZH (see listAs).
    ListedArchive archive() const;
    // Marks the file as listed by the family's library whatever its name says.
    void listAs(const QString& path, Family family);

    // "選択した物を解凍": the selected members into a chosen folder, with their folders.
    void extractSelected();
    // "追加": a chosen file into the LZH archive.
    void add();
    // "ファイル名の変更": the LZH library asks for each selected member's new name; the list
    // then shows the archive as it now is.
    void rename();
    // "削除": the selected members, one library call each, then the archive is listed again. The
    // members that could not be deleted are named together, each with its reason.
    void remove();

    // The folder the last extractSelected chose.
    QString memberFolder() const { return m_memberFolder; }

private:
    QWidget* window() const;
    std::optional<CallResult> run(Family family, const std::optional<QString>& line,
                                  int bufferSize);
    void relist();

    Services m_services;
    QString m_memberFolder;
    ListedArchive m_listedAs;
};

} // namespace archive
