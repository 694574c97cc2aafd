#include "MemberSession.h"

#include "MemberModel.h"

#include "archive/ArchiveFormats.h"
#include "archive/ArchiveListing.h"
#include "archive/ResultWindow.h"
#include "base/Paths.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

using archive::Family;

QString familyText(Family family)
{
    // The format's usual ending without its dot ("lzh", "zip", "cab", "7z").
    return QString::fromLatin1(archive::formatOf(family).endings.front() + 1);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Answerer::Answerer()
{
    m_timer.setInterval(1);
    connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
    m_timer.start();
}

void Answerer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || qobject_cast<QProgressDialog*>(modal) || modal == m_last)
        return;
    m_last = modal;
    if (auto* result = qobject_cast<archive::ResultWindow*>(modal)) {
        reports << result->reportText();
        result->closeButton()->click();
    } else if (auto* input = qobject_cast<QInputDialog*>(modal)) {
        const QString label = input->labelText();
        const QString member = label.mid(label.indexOf(QStringLiteral(" : ")) + 3);
        input->setTextValue(newName ? newName(member) : QString());
        input->accept();
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        if (box->text().contains(QStringLiteral("上書き"))) {
            ++overwrites;
            for (QAbstractButton* b : box->buttons()) {
                if (b->text() == QStringLiteral("はい"))
                    b->click();
            }
        } else {
            others << box->text();
            box->reject();
        }
    } else {
        others << modal->objectName() + QStringLiteral(": ") + modal->windowTitle();
        modal->close();
    }
}

Session::Session()
{
    current = root.path() + QStringLiteral("/current folder");
    work = root.path() + QStringLiteral("/program/temp/");
    QDir().mkpath(current);
    browser.owner = &window;
    browser.folder = current;
    archive::Services es;
    es.prompts = &prompts;
    es.shell = &shell;
    es.browser = &browser;
    es.archiver = &library;
    es.askToShowExtracted = [] { return false; };
    extraction = std::make_unique<archive::Extraction>(es);
    list = new QTreeWidget(&window);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    archive::Services ms;
    ms.prompts = &prompts;
    ms.shell = &shell;
    ms.browser = &browser;
    ms.archiver = &library;
    ms.extraction = extraction.get();
    ms.list = list;
    ms.relist = [this] { relist(); };
    members = std::make_unique<archive::MemberCommands>(ms);
    archive::Services ls;
    ls.prompts = &prompts;
    ls.shell = &shell;
    ls.browser = &browser;
    ls.archiver = &library;
    ls.members = members.get();
    ls.list = list;
    // The instance's work folder, made again whenever it is asked for (as the program does).
    ls.workFolder = [this] {
        QDir().mkpath(work);
        return work;
    };
    ls.deleteWorkFolder = [this] { QDir(work).removeRecursively(); };
    ls.clearBackFolder = [] {};
    ls.dragAndDropOff = [] { return false; };
    ls.relist = [this] { relist(); };
    events = std::make_unique<archive::ArchiveListEvents>(ls);
}

void Session::relist()
{
    list->clear();
    archive::listArchive(family, archivePath(), list, 0, platform::programFolder());
}

QStringList Session::listedPaths() const
{
    QTreeWidget probe;
    archive::listArchive(family, archivePath(), &probe, 0, platform::programFolder());
    QStringList paths;
    for (int i = 0; i < probe.topLevelItemCount(); ++i)
        paths << modelPath(family, probe.topLevelItem(i)->text(0));
    paths.sort();
    return paths;
}

QStringList Session::select(const QList<int>& rows) const
{
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        list->topLevelItem(i)->setSelected(rows.contains(i));
        if (rows.contains(i))
            names << list->topLevelItem(i)->text(0);
    }
    return names;
}

bool Session::selectNames(const QStringList& names) const
{
    QList<int> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (names.contains(list->topLevelItem(i)->text(0)))
            rows << i;
    }
    select(rows);
    return rows.size() == names.size();
}
