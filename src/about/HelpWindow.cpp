#include "about/HelpWindow.h"

#include "preview/BrowserPane.h"

#include <QVBoxLayout>

namespace about
{

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("ヘルプ"));
    m_browser = new preview::BrowserPane(this);
    m_browser->setOffline(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(760, 560);
}

bool HelpWindow::showFile(const QString& path)
{
    if (!m_browser->navigate(path))
        return false;
    show();
    raise();
    activateWindow();
    return true;
}

} // namespace about
