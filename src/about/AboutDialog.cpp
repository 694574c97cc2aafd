#include "about/AboutDialog.h"

#include "archive/ArchiveFormats.h"
#include "archive/ArchiverLibrary.h"
#include "base/Paths.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace about
{

namespace
{
QLabel* namedLabel(const QString& text, const char* name, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}
} // namespace

AboutDialog::AboutDialog(const QString& programFolder, QWidget* parent)
    : QDialog(parent), m_programFolder(programFolder)
{
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("ヘルプなど"));

    auto* grid = new QGridLayout;
    grid->addWidget(namedLabel(QStringLiteral("ホームページ："), "Label2", this), 0, 0);
    m_address = namedLabel(QStringLiteral("https://koramo.example.jp/"), "Label1", this);
    m_address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(m_address, 0, 1);
    grid->addWidget(namedLabel(QStringLiteral("バージョン"), "Label9", this), 1, 1);
    // One row a format's library: its name and its version.
    int row = 2;
    for (const archive::ArchiveFormat& format : archive::archiveFormats()) {
        grid->addWidget(
            namedLabel(QString::fromUtf8(format.aboutName), format.aboutNameLabel, this), row, 0);
        grid->addWidget(namedLabel(QString(), format.aboutVersionLabel, this), row, 1);
        ++row;
    }

    auto* homeButton = new QPushButton(QStringLiteral("ホームページを見に行く"), this);
    homeButton->setObjectName(QStringLiteral("Command1"));
    auto* helpButton = new QPushButton(QStringLiteral("ヘルプを見る"), this);
    helpButton->setObjectName(QStringLiteral("Command2"));
    auto* closeButton = new QPushButton(QStringLiteral("閉じる"), this);
    closeButton->setObjectName(QStringLiteral("Command3"));
    connect(homeButton, &QPushButton::clicked, this, [this] { Q_EMIT openRequested(homePage()); });
    connect(helpButton, &QPushButton::clicked, this, [this] { Q_EMIT openRequested(helpFile()); });
    connect(closeButton, &QPushButton::clicked, this, [this] {
        hide();
        Q_EMIT unloadRequested();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(homeButton);
    buttons->addWidget(helpButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    loadVersions();
}

QLabel* AboutDialog::versionLabel(const QString& name) const
{
    return findChild<QLabel*>(name);
}

QString AboutDialog::homePage() const
{
    return m_address->text();
}

QString AboutDialog::helpFile() const
{
    // The manual is shipped beside the program, or in the data folder when installed.
    return platform::withSlash(platform::dataFolderOf(m_programFolder)) +
           QStringLiteral("help.html");
}

void AboutDialog::loadVersions()
{
    for (const archive::ArchiveFormat& format : archive::archiveFormats()) {
        versionLabel(QString::fromLatin1(format.aboutVersionLabel))
            ->setText(archive::versionText(format.family, m_programFolder));
    }
}

void AboutDialog::markMissingLibraries()
{
    for (const archive::ArchiveFormat& format : archive::archiveFormats()) {
        QLabel* label = versionLabel(QString::fromLatin1(format.aboutVersionLabel));
        if (label->text().isEmpty())
            label->setText(QStringLiteral("Not Installed"));
    }
}

} // namespace about
