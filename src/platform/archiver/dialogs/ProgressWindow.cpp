#include "ProgressWindow.h"

#include "DialogOwner.h"
#include "Dialogs.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace archiver
{

ProgressWindow::ProgressWindow(ArchiverWindow owner, const std::string& title, bool enabled,
                               bool asBar)
{
    if (!enabled || !dialogsPossible())
        return;
    m_dialog = std::make_unique<QProgressDialog>(ownerWidget(owner));
    m_dialog->setWindowTitle(QString::fromUtf8(title.c_str()));
    m_dialog->setCancelButtonText(QString::fromUtf8("キャンセル"));
    m_dialog->setMinimumDuration(300);
    m_dialog->setWindowModality(Qt::WindowModal);
    if (!asBar)
        m_dialog->setRange(0, 0);
    else
        m_dialog->setRange(0, 1000);
    attachToOwner(m_dialog.get(), owner);
}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::setMember(const std::string& name, uint64_t done, uint64_t total)
{
    if (!m_dialog)
        return;
    m_dialog->setLabelText(QString::fromUtf8(name.c_str()));
    if (m_dialog->maximum() > 0)
        m_dialog->setValue(total ? static_cast<int>(done * 1000 / total) : 0);
    QCoreApplication::processEvents();
}

bool ProgressWindow::cancelled() const
{
    return m_dialog && m_dialog->wasCanceled();
}

} // namespace archiver
