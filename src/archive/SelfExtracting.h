#pragma once

#include "archive/ArchiverCall.h"
#include "archive/Services.h"
#include "archive/WorkArea.h"

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace platform
{
class Prompts;
}

namespace archive
{

// The steps the compression dialog, the menu-entry dialog and the main window share.
class SelfExtracting final
{
public:
    explicit SelfExtracting(Services services);

    const Services& services() const { return m_services; }

    // Runs the line through the family's library with the main window as owner. Nothing when
    // the line could not be built or the library could not be called (the user is told).
    std::optional<CallResult> run(Family family, const std::optional<QString>& line) const;
    // The result window over the main window: modal (waits) or not.
    void showReport(const QString& report, bool modal) const;
    // True when the call succeeded; otherwise the user is told `what` failed and why.
    bool succeeded(const QString& what, const CallResult& result) const;
    // The work folder ready for use; nothing after telling the user why there is none.
    std::optional<QString> workFolder() const;

    // Asks for the archive's name; empty when cancelled or unusable (the user is told why).
    QString askName(QWidget* owner) const;
    // The folder browse; the chosen folder with a trailing separator, empty when cancelled.
    QString pickFolder(QWidget* owner, const QString& prompt) const;

    // Packs the staging folder into an intermediate LZH archive in the work folder (beside the
    // staging folder, never inside it), asks for the destination and writes NAME.run there,
    // then shows the report. `fileOperand` true packs with an empty base folder and the
    // staging folder's wildcard as the file operand. False when the user ended it early.
    bool lzhFromStaging(QWidget* owner, const QString& staging, bool fileOperand) const;
    // The same with an intermediate cabinet; the report shows only when a step failed.
    bool cabFromStaging(QWidget* owner, const QString& staging) const;
    // "LZHから自動解凍式書庫の作成": NAME.run from an LZH archive the user chooses.
    void fromLzhArchive() const;

private:
    Services m_services;
};

// The folder prompts of the self-extracting archives.
QString saveFolderPrompt();

} // namespace archive
