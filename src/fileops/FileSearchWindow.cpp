#include "fileops/FileSearchWindow.h"

#include "base/FileKind.h"
#include "base/NativePath.h"
#include "desktop/Prompts.h"
#include "fileops/FolderPicker.h"
#include "fileops/FoundFilesModel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QThread>
#include <QTreeView>
#include <QVBoxLayout>

namespace fileops
{

FileSearchWindow::FileSearchWindow(platform::Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), m_prompts(prompts)
{
    setObjectName(QStringLiteral("FileSearch"));
    setWindowTitle(QStringLiteral("ファイルの検索"));
    m_model = new FoundFilesModel(this);
    buildForm();
    setSearching(false);
    m_status->setText(
        QStringLiteral("探す場所とファイル名を指定して［検索開始］を押してください。"));
    resize(720, 480);
}

FileSearchWindow::~FileSearchWindow()
{
    if (m_cancel)
        m_cancel->store(true);
    // Every search thread has been told to stop; each stops before its next entry or chunk.
    for (const QPointer<QThread>& thread : std::as_const(m_threads)) {
        if (thread)
            thread->wait();
    }
}

void FileSearchWindow::buildForm()
{
    auto* grid = new QGridLayout;
    auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    m_folder = new QLineEdit(this);
    m_folder->setObjectName(QStringLiteral("searchFolder"));
    m_browse = new QPushButton(QStringLiteral("参照(&B)..."), this);
    m_browse->setObjectName(QStringLiteral("searchBrowse"));
    m_pattern = new QLineEdit(QStringLiteral("*.*"), this);
    m_pattern->setObjectName(QStringLiteral("searchPattern"));
    m_pattern->setToolTip(QStringLiteral("例: *.txt;*.log　（大文字と小文字は区別しません）"));
    auto* hint = new QLabel(
        QStringLiteral("* は任意の文字列、? は任意の 1 文字。「;」で区切って複数指定できます。"),
        this);
    hint->setEnabled(false);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("searchText"));
    m_text->setPlaceholderText(QStringLiteral("空欄のときはファイル名だけで探します"));
    m_subfolders = new QCheckBox(QStringLiteral("サブフォルダも検索する(&U)"), this);
    m_subfolders->setObjectName(QStringLiteral("searchSubfolders"));
    m_subfolders->setChecked(true);

    grid->addWidget(label(QStringLiteral("探す場所(&L):"), m_folder), 0, 0);
    grid->addWidget(m_folder, 0, 1);
    grid->addWidget(m_browse, 0, 2);
    grid->addWidget(label(QStringLiteral("ファイル名(&N):"), m_pattern), 1, 0);
    grid->addWidget(m_pattern, 1, 1, 1, 2);
    grid->addWidget(hint, 2, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("含まれる文字列(&T):"), m_text), 3, 0);
    grid->addWidget(m_text, 3, 1, 1, 2);
    grid->addWidget(m_subfolders, 4, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    m_start = new QPushButton(QStringLiteral("検索開始(&S)"), this);
    m_start->setObjectName(QStringLiteral("searchStart"));
    m_start->setDefault(true);
    m_stop = new QPushButton(QStringLiteral("中止(&P)"), this);
    m_stop->setObjectName(QStringLiteral("searchStop"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);

    m_view = new QTreeView(this);
    m_view->setObjectName(QStringLiteral("searchResults"));
    m_view->setAccessibleName(QStringLiteral("見つかったファイル"));
    m_view->setModel(m_model);
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setTextElideMode(Qt::ElideMiddle);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->header()->setStretchLastSection(false);
    m_view->header()->resizeSection(FoundFilesModel::Name, 200);
    m_view->header()->resizeSection(FoundFilesModel::Folder, 280);
    m_view->header()->resizeSection(FoundFilesModel::Size, 90);
    m_view->header()->resizeSection(FoundFilesModel::Modified, 120);
    m_view->header()->setSectionResizeMode(FoundFilesModel::Folder, QHeaderView::Stretch);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("searchStatus"));
    m_status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_status->setTextFormat(Qt::PlainText);

    auto* page = new QVBoxLayout(this);
    page->addLayout(grid);
    page->addLayout(buttons);
    page->addWidget(m_view, 1);
    page->addWidget(m_status);

    connect(m_browse, &QPushButton::clicked, this, &FileSearchWindow::browse);
    connect(m_start, &QPushButton::clicked, this, &FileSearchWindow::startSearch);
    connect(m_stop, &QPushButton::clicked, this, &FileSearchWindow::stopSearch);
    for (QLineEdit* box : {m_folder, m_pattern, m_text})
        connect(box, &QLineEdit::returnPressed, this, &FileSearchWindow::startSearch);
    connect(m_view, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { chooseRow(index.row()); });
    auto* enter = new QShortcut(QKeySequence(Qt::Key_Return), m_view);
    enter->setContext(Qt::WidgetShortcut);
    connect(enter, &QShortcut::activated, this,
            [this] { chooseRow(m_view->currentIndex().row()); });
}

void FileSearchWindow::setStartFolder(const QString& folder)
{
    m_folder->setText(folder);
}

QString FileSearchWindow::startFolder() const
{
    return m_folder->text();
}

void FileSearchWindow::browse()
{
    const QString folder =
        pickFolder(m_prompts, this, QStringLiteral("検索を始めるフォルダを選んでください。"));
    if (!folder.isEmpty())
        m_folder->setText(folder);
}

void FileSearchWindow::startSearch()
{
    if (m_searching)
        stopSearch();
    QString folder = m_folder->text().trimmed();
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    if (folder.isEmpty() || platform::fileKind(folder) != platform::FileKind::Folder) {
        m_prompts.message(this, QStringLiteral("探す場所のフォルダが見つかりません。\n") + folder,
                          QString(), platform::Prompts::Exclamation);
        return;
    }
    platform::FileSearchQuery query;
    query.folder = folder;
    query.pattern = m_pattern->text();
    query.text = m_text->text();
    query.subfolders = m_subfolders->isChecked();
    query.chunkBytes = m_chunkBytes;

    m_model->clear();
    const quint64 generation = ++m_generation;
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<std::atomic<bool>> cancel = m_cancel;
    QThread* thread = QThread::create([this, query, cancel, generation] {
        platform::FileSearch search(
            query, [this, generation](QList<platform::FoundFile>&& batch, const QString& where) {
                // Queued to the window's thread; dropped there when the window is gone.
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, files = std::move(batch), where] {
                        receive(generation, files, where);
                    },
                    Qt::QueuedConnection);
            });
        const platform::FileSearchSummary summary = search.run(*cancel);
        QMetaObject::invokeMethod(
            this, [this, generation, summary] { finish(generation, summary); },
            Qt::QueuedConnection);
    });
    thread->setObjectName(QStringLiteral("file search"));
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_threads.removeAll(nullptr);
    m_threads.append(thread);
    setSearching(true);
    m_status->setText(QStringLiteral("検索中…"));
    thread->start(QThread::LowPriority);
}

void FileSearchWindow::stopSearch()
{
    if (!m_searching)
        return;
    m_cancel->store(true);
    ++m_generation;
    setSearching(false);
    m_status->setText(
        QStringLiteral("中止しました。それまでに %1 個見つかりました。").arg(m_model->rowCount()));
    Q_EMIT searchEnded();
}

void FileSearchWindow::receive(quint64 generation, const QList<platform::FoundFile>& files,
                               const QString& folder)
{
    if (generation != m_generation)
        return;
    m_model->append(QList<platform::FoundFile>(files));
    m_status->setText(QStringLiteral("検索中… %1 個見つかりました　%2")
                          .arg(m_model->rowCount())
                          .arg(platform::displayPath(folder)));
}

void FileSearchWindow::finish(quint64 generation, const platform::FileSearchSummary& summary)
{
    if (generation != m_generation)
        return;
    setSearching(false);
    QString text = QStringLiteral("%1 個のファイルが見つかりました。").arg(summary.found);
    if (summary.unreadableFolders > 0)
        text += QStringLiteral("（開けなかったフォルダが %1 個あります）")
                    .arg(summary.unreadableFolders);
    m_status->setText(text);
    Q_EMIT searchEnded();
}

void FileSearchWindow::setSearching(bool searching)
{
    m_searching = searching;
    m_start->setEnabled(!searching);
    m_stop->setEnabled(searching);
}

void FileSearchWindow::chooseRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const platform::FoundFile& file = m_model->file(row);
    if (file.folderLink)
        Q_EMIT folderChosen(file.path());
    else
        Q_EMIT fileChosen(file.path());
}

void FileSearchWindow::closeEvent(QCloseEvent* event)
{
    stopSearch();
    QWidget::closeEvent(event);
}

} // namespace fileops
