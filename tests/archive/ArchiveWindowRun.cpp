#include "ArchiveWindowRun.h"

#include "E2eSupport.h"

#include "app/Application.h"
#include "app/ArchiveWork.h"
#include "app/MainWindow.h"
#include "archive/ExtractDialog.h"
#include "archive/ResultWindow.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

void ArchiveWindowRun::copyLibraries() const
{
    const QString bin = qEnvironmentVariable("KORAMO_BUILD_BIN");
    for (const char* lib : {"libunlha32.so", "libunzip32.so", "libcab32.so", "koramo-sfx"})
        QFile::copy(bin + QLatin1Char('/') + QLatin1String(lib),
                    folder.path() + QLatin1Char('/') + QLatin1String(lib));
    QFile::setPermissions(folder.path() + QStringLiteral("/koramo-sfx"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void ArchiveWindowRun::collectReports()
{
    driver.on(QStringLiteral("Form13"), [this](QWidget* w) {
        auto* r = qobject_cast<archive::ResultWindow*>(w);
        reports << r->reportText();
        r->closeButton()->click();
    });
}

QTreeWidget* ArchiveWindowRun::list() const
{
    return w()->archiveList();
}

archive::ArchiveListEvents& ArchiveWindowRun::events() const
{
    return program->archiveWork()->listEvents();
}

void ArchiveWindowRun::click(const QString& name) const
{
    clickFileAndSettle(w(), name);
}

void ArchiveWindowRun::settle() const
{
    settleMemberList(w());
}

void ArchiveWindowRun::trigger(const char* name)
{
    QAction* action = w()->menuAction(QString::fromLatin1(name));
    QVERIFY2(action, name);
    QVERIFY2(action->isEnabled(), name);
    driver.start();
    action->trigger();
    driver.stop();
    settle();
}

void ArchiveWindowRun::extractWith(const char* entry, int button)
{
    driver.on(QStringLiteral("Form5"), [button](QWidget* dialog) {
        qobject_cast<archive::ExtractDialog*>(dialog)->button(button)->click();
    });
    trigger(entry);
}

void ArchiveWindowRun::select(const QStringList& names) const
{
    for (int i = 0; i < list()->topLevelItemCount(); ++i)
        list()->topLevelItem(i)->setSelected(names.contains(list()->topLevelItem(i)->text(0)));
}

QStringList ArchiveWindowRun::rows() const
{
    QStringList out;
    for (int i = 0; i < list()->topLevelItemCount(); ++i)
        out << list()->topLevelItem(i)->text(0);
    return out;
}
