#pragma once

#include "archive/ArchiverLibrary.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace platform
{
class Prompts;
class Shell;
} // namespace platform
namespace fileops
{
class FileBrowser;
}

namespace archive
{

class ArchiverCall;
class ShowExtractedDialog;

// What extraction needs of the program around it.
struct ExtractionServices {
    platform::Prompts* prompts = nullptr;
    platform::Shell* shell = nullptr;
    fileops::FileBrowser* browser = nullptr;
    ArchiverCall* archiver = nullptr;
    // True when the user is to be asked whether to show the extracted files.
    std::function<bool()> askToShowExtracted;
    // The family whose library reads the file at the path: a self-extracting archive listed
    // through its LZH payload is LZH. Without it the file's name decides.
    std::function<std::optional<Family>(const QString& path)> familyOf;
};

// Extraction of the selected archive from the main window: the destination dialog, the
// result window and the offer to show the extracted files. One per main window; it keeps
// the one show-extracted-files dialog that may be open.
class Extraction final : public QObject
{
    Q_OBJECT
public:
    explicit Extraction(ExtractionServices services, QObject* parent = nullptr);
    ~Extraction() override;

    const ExtractionServices& services() const { return m_services; }
    QWidget* window() const;

    // Opens the destination dialog over the main window and waits for it.
    void run();
    // Shows the report in the result window and waits until it is closed.
    void showResult(const QString& report);
    // Offers to show the last chosen folder; when the offer is open already it only comes to
    // the front.
    void offerToShow();
    ShowExtractedDialog* showExtractedDialog() const;

private:
    ExtractionServices m_services;
    QPointer<ShowExtractedDialog> m_offer;
};

} // namespace archive
