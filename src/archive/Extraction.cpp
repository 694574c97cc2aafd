#include "archive/Extraction.h"

#include "archive/ResultWindow.h"
#include "archive/ShowExtractedDialog.h"
#include "fileops/FileBrowser.h"
#include "fileops/FolderPicker.h"
#include "fileops/ShellLaunch.h"

namespace archive
{

Extraction::Extraction(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services))
{
}

Extraction::~Extraction()
{
    delete m_offer.data();
}

QWidget* Extraction::window() const
{
    return m_services.browser ? m_services.browser->window() : nullptr;
}

ShowExtractedDialog* Extraction::showExtractedDialog() const
{
    return m_offer.data();
}

void Extraction::run()
{
    ExtractDialog dialog(m_services, dialogResults(), window());
    dialog.exec();
}

ExtractDialog::Results Extraction::dialogResults()
{
    ExtractDialog::Results results;
    results.showReport = [this](const QString& report) { showResult(report); };
    results.offerToShow = [this] { offerToShow(); };
    return results;
}

void Extraction::showResult(const QString& report)
{
    ResultWindow result(report, window());
    result.exec();
}

void Extraction::offerToShow()
{
    if (m_offer) {
        m_offer->raise();
        m_offer->activateWindow();
        return;
    }
    ShowExtractedDialog::Actions actions;
    actions.folder = [] { return fileops::lastPickedFolder(); };
    actions.showHere = [this](const QString& folder) {
        if (m_services.browser)
            m_services.browser->setCurrentFolder(folder);
    };
    actions.showInFileManager = [this](const QString& folder) {
        if (m_services.shell && m_services.prompts)
            fileops::openWithShell(*m_services.shell, *m_services.prompts, window(), folder,
                                   QString());
    };
    m_offer = new ShowExtractedDialog(std::move(actions), window());
    m_offer->show();
}

} // namespace archive
