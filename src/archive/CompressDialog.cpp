#include "archive/CompressDialog.h"

#include "archive/CommandLines.h"
#include "archive/CompressCommands.h"
#include "archive/MenuEntryDialog.h"
#include "archive/Staging.h"
#include "archive/StagingProgress.h"
#include "base/Paths.h"
#include "desktop/Prompts.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace archive
{

namespace
{
// The buttons by number, with their captions.
const struct {
    int number;
    const char16_t* caption;
} kButtons[] = {{1, u"LZHで圧縮"},
                {2, u"閉じる"},
                {3, u"選択した物を削除"},
                {4, u"自己解凍式書庫の作成(LZH)"},
                {5, u"初期化"},
                {6, u"CABで圧縮"},
                {7, u"自己解凍式書庫の作成(CAB)"},
                {8, u"ファイルを追加(&A)..."},
                {9, u"ZIPで圧縮"}};

QStringList localPaths(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

QString lastPart(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return platform::namePart(path);
}
} // namespace

CompressDialog::CompressDialog(Services services, QWidget* parent)
    : QDialog(parent), m_steps(std::move(services))
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("ファイルの圧縮"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    const WorkFolderSource& source = m_steps.services().workFolder;
    if (const std::optional<QString> work =
            readyWorkFolder(source ? source() : WorkFolder(), m_noStaging)) {
        m_staging = stagingFolderIn(*work);
        emptyStagingFolder(m_staging);
    }

    m_label = new QLabel(
        QStringLiteral("圧縮したいファイルをリストボックスにドラッグアンドドロップしてください。"),
        this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setWordWrap(true);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setAccessibleName(QStringLiteral("圧縮するファイル"));
    m_list->setAcceptDrops(true);
    m_list->viewport()->setAcceptDrops(true);
    m_list->viewport()->installEventFilter(this);

    for (const auto& b : kButtons) {
        auto* button = new QPushButton(QString::fromUtf16(b.caption), this);
        button->setObjectName(QStringLiteral("Command") + QString::number(b.number));
        button->setAutoDefault(false);
        m_buttons.append(button);
    }
    connect(button(1), &QPushButton::clicked, this, &CompressDialog::compressLzh);
    connect(button(2), &QPushButton::clicked, this, &QDialog::close);
    connect(button(3), &QPushButton::clicked, this, &CompressDialog::removeSelected);
    connect(button(4), &QPushButton::clicked, this, &CompressDialog::selfExtractingLzh);
    connect(button(5), &QPushButton::clicked, this, &CompressDialog::startOver);
    connect(button(6), &QPushButton::clicked, this, &CompressDialog::compressCab);
    connect(button(7), &QPushButton::clicked, this, &CompressDialog::selfExtractingCab);
    connect(button(8), &QPushButton::clicked, this, &CompressDialog::addFiles);
    connect(button(9), &QPushButton::clicked, this, &CompressDialog::compressZip);

    // The encoding of a ZIP archive's names: UTF-8 with the format's flag, which current
    // systems read, or Shift_JIS (CP932) without it for older Windows and tools.
    m_zipNamesLabel = new QLabel(QStringLiteral("ファイル名の文字コード(&N):"), this);
    m_zipNamesLabel->setObjectName(QStringLiteral("Label2"));
    m_zipNames = new QComboBox(this);
    m_zipNames->setObjectName(QStringLiteral("Combo1"));
    m_zipNames->addItem(QStringLiteral("UTF-8（標準）"));
    m_zipNames->addItem(QStringLiteral("Shift_JIS（古いWindows向け）"));
    m_zipNames->setToolTip(
        QStringLiteral("ZIP書庫に入れるファイル名の文字コードです。古いWindowsや古い解凍ソフトで"
                       "開く相手にはShift_JISを選んでください。"));
    m_zipNamesLabel->setBuddy(m_zipNames);
    const Services& kept = m_steps.services();
    m_zipNames->setCurrentIndex(kept.zipNamesInCp932 && kept.zipNamesInCp932() ? 1 : 0);
    connect(m_zipNames, &QComboBox::activated, this, [this](int index) {
        if (const auto& keep = m_steps.services().keepZipNamesInCp932)
            keep(index == 1);
    });

    auto* grid = new QGridLayout;
    grid->addWidget(button(1), 0, 0);
    grid->addWidget(button(6), 0, 1);
    grid->addWidget(button(4), 1, 0);
    grid->addWidget(button(7), 1, 1);
    grid->addWidget(button(3), 2, 0);
    grid->addWidget(button(5), 2, 1);
    grid->addWidget(button(2), 3, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_list, 1);
    // Files can be chosen from a file dialog too, for a keyboard user or a desktop without drag
    // and drop.
    auto* adding = new QHBoxLayout;
    adding->addWidget(button(8));
    adding->addStretch();
    layout->addLayout(adding);
    layout->addLayout(grid);
    // ZIP below the rest; the dialog is taller by this row, so the others keep their places.
    auto* zip = new QHBoxLayout;
    zip->addWidget(button(9));
    zip->addSpacing(12);
    zip->addWidget(m_zipNamesLabel);
    zip->addWidget(m_zipNames);
    zip->addStretch();
    layout->addLayout(zip);
    resize(460, 400 + zip->sizeHint().height() + layout->spacing());
}

CompressDialog::~CompressDialog()
{
    // Whatever way the dialog goes, it leaves no staged copies behind.
    if (!m_staging.isEmpty())
        removeTree(m_staging);
}

bool CompressDialog::haveStaging()
{
    if (!m_staging.isEmpty())
        return true;
    m_steps.services().prompts->message(this, m_noStaging, QString(), platform::Prompts::Critical);
    return false;
}

QPushButton* CompressDialog::button(int number) const
{
    for (int i = 0; i < m_buttons.size(); ++i) {
        if (kButtons[i].number == number)
            return m_buttons.at(i);
    }
    return nullptr;
}

MenuEntryDialog* CompressDialog::menuEntryDialog() const
{
    return m_menuEntry.data();
}

bool CompressDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_list->viewport())
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (!m_busy && !localPaths(drag->mimeData()).isEmpty()) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = localPaths(drop->mimeData());
        if (m_busy || paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // The copy may take long: it runs after the drag source has been answered.
        QTimer::singleShot(0, this, [this, paths] { addDropped(paths); });
        return true;
    }
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void CompressDialog::addFiles()
{
    if (m_busy || !haveStaging())
        return;
    const QStringList paths = m_steps.services().prompts->openFileNames(
        this, QStringLiteral("圧縮するファイルの選択"), QStringLiteral("すべてのファイル (*)"));
    if (!paths.isEmpty())
        addDropped(paths);
}

void CompressDialog::addDropped(const QStringList& paths)
{
    if (m_busy || !haveStaging())
        return;
    QList<StagingItem> items;
    QStringList names;
    for (int i = 0; i < m_list->count(); ++i)
        names << m_list->item(i)->text();
    for (const QString& path : paths) {
        const QString name = lastPart(path);
        if (name.isEmpty() || name == QLatin1String("/"))
            continue;
        if (names.contains(name)) {
            const platform::Prompts::Answer answer = m_steps.services().prompts->message(
                this,
                QStringLiteral("「%1」は既にリストにあります。\n%2 で置き換えますか？")
                    .arg(name, path),
                QStringLiteral("確認"), platform::Prompts::Question, platform::Prompts::YesNo);
            if (answer != platform::Prompts::Yes)
                continue;
        }
        names << name;
        items.append({path, name});
    }
    if (items.isEmpty())
        return;
    StagingCopy copy(m_staging, items);
    runCopy(copy);
    QStringList failed;
    QStringList leftOut;
    for (int i = 0; i < copy.outcomes().size(); ++i) {
        const StagingOutcome& outcome = copy.outcomes().at(i);
        const StagingItem& item = items.at(i);
        if (outcome.copied) {
            if (m_list->findItems(item.name, Qt::MatchExactly).isEmpty())
                m_list->addItem(item.name);
            leftOut << outcome.leftOut;
        } else if (!outcome.error.isEmpty()) {
            failed << item.source + QStringLiteral(": ") + outcome.error;
        }
    }
    tellAboutDrop(failed, leftOut);
}

void CompressDialog::runCopy(StagingCopy& copy)
{
    m_busy = true;
    setEnabled(false);
    runStagingCopy(copy, this, windowTitle());
    setEnabled(true);
    m_busy = false;
}

void CompressDialog::tellAboutDrop(const QStringList& failed, const QStringList& leftOut)
{
    QString text;
    if (!failed.isEmpty())
        text += QStringLiteral("次のものを作業フォルダにコピーできなかったため、リストに加えて"
                               "いません。\n") +
                failed.join(QLatin1Char('\n'));
    if (!leftOut.isEmpty()) {
        if (!text.isEmpty())
            text += QStringLiteral("\n\n");
        text += QStringLiteral("次のリンクや特殊なファイルはコピーしていません (書庫には入り"
                               "ません)。\n") +
                leftOut.join(QLatin1Char('\n'));
    }
    if (!text.isEmpty())
        m_steps.services().prompts->message(this, text, QString(), platform::Prompts::Exclamation);
}

void CompressDialog::closeEvent(QCloseEvent* event)
{
    if (m_busy) {
        event->ignore();
        return;
    }
    if (m_menuEntry)
        m_menuEntry->close();
    if (!m_staging.isEmpty())
        removeTree(m_staging);
    QDialog::closeEvent(event);
}

void CompressDialog::compressLzh()
{
    if (!haveStaging())
        return;
    const QString file =
        withArchiveExtension(m_steps.services().prompts->saveFileName(
                                 this, QString(), QStringLiteral("LZHファイル (*.lzh)"), QString()),
                             QStringLiteral(".lzh"));
    if (file.isEmpty())
        return;
    if (const std::optional<CallResult> result =
            m_steps.run(Family::Lzh, addToLzhCommand(file, m_staging, QStringLiteral("*.*")))) {
        m_steps.showReport(result->report, true);
        m_steps.succeeded(QStringLiteral("書庫 %1 を作れませんでした。").arg(file), *result);
    }
    close();
}

void CompressDialog::compressCab()
{
    if (!haveStaging())
        return;
    const QString file =
        withArchiveExtension(m_steps.services().prompts->saveFileName(
                                 this, QString(), QStringLiteral("cabファイル (*.cab)"), QString()),
                             QStringLiteral(".cab"));
    if (file.isEmpty())
        return;
    if (const std::optional<CallResult> result =
            m_steps.run(Family::Cab, cabCreateCommand(file, m_staging))) {
        m_steps.showReport(result->report, false);
        m_steps.succeeded(QStringLiteral("書庫 %1 を作れませんでした。").arg(file), *result);
    }
    close();
}

void CompressDialog::compressZip()
{
    if (!haveStaging())
        return;
    const QString file =
        withArchiveExtension(m_steps.services().prompts->saveFileName(
                                 this, QString(), QStringLiteral("ZIPファイル (*.zip)"), QString()),
                             QStringLiteral(".zip"));
    if (file.isEmpty())
        return;
    const bool cp932 = m_zipNames->currentIndex() == 1;
    if (const std::optional<CallResult> result =
            m_steps.run(Family::Zip, zipCreateCommand(file, m_staging, cp932))) {
        m_steps.showReport(result->report, false);
        m_steps.succeeded(QStringLiteral("書庫 %1 を作れませんでした。").arg(file), *result);
    }
    close();
}

void CompressDialog::removeSelected()
{
    QListWidgetItem* item = m_list->currentItem();
    if (!item || !item->isSelected() || m_staging.isEmpty())
        return;
    if (!removeTree(m_staging + item->text())) {
        m_steps.services().prompts->message(
            this, QStringLiteral("作業フォルダのコピーを削除できません: ") + item->text(),
            QString(), platform::Prompts::Exclamation);
        return;
    }
    delete item;
}

void CompressDialog::startOver()
{
    m_list->clear();
    if (!haveStaging())
        return;
    if (!emptyStagingFolder(m_staging))
        m_steps.services().prompts->message(this, QStringLiteral("エラーが発生しました。"));
}

void CompressDialog::selfExtractingLzh()
{
    if (!haveStaging())
        return;
    const platform::Prompts::Answer answer = m_steps.services().prompts->message(
        this, QStringLiteral("詳細設定しますか？"), QStringLiteral("確認"),
        platform::Prompts::Question, platform::Prompts::YesNo);
    if (answer == platform::Prompts::Yes) {
        if (!m_menuEntry) {
            m_menuEntry = new MenuEntryDialog(m_steps, m_staging, this);
            connect(m_menuEntry, &MenuEntryDialog::archiveMade, this, &QDialog::close);
        }
        m_menuEntry->show();
        m_menuEntry->raise();
        return;
    }
    if (m_steps.lzhFromStaging(this, m_staging, false))
        close();
}

void CompressDialog::selfExtractingCab()
{
    if (!haveStaging())
        return;
    if (m_steps.cabFromStaging(this, m_staging))
        close();
}

} // namespace archive
