#include "desktop/PropertiesDialog.h"

#include "platform/shell/FolderSizeCounter.h"
#include "platform/shell/GioApps.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

namespace platform
{

namespace
{

QString sizeWithBytes(qint64 bytes)
{
    const QLocale locale(QLocale::Japanese, QLocale::Japan);
    return QStringLiteral("%1 (%2 バイト)")
        .arg(locale.formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat),
             locale.toString(bytes));
}

QString timeText(const struct timespec& time)
{
    return QDateTime::fromSecsSinceEpoch(time.tv_sec)
        .toString(QStringLiteral("yyyy年M月d日 HH:mm:ss"));
}

QString permissionText(mode_t mode)
{
    const char* letters = "rwxrwxrwx";
    QString text;
    for (int bit = 0; bit < 9; ++bit)
        text += (mode & (0400 >> bit)) ? QLatin1Char(letters[bit]) : QLatin1Char('-');
    return QStringLiteral("%1 (%2)").arg(text, QString::number(mode & 07777, 8));
}

QString ownerText(uid_t uid, gid_t gid)
{
    const struct passwd* user = ::getpwuid(uid);
    const struct group* group = ::getgrgid(gid);
    const QString userName = user ? QString::fromLocal8Bit(user->pw_name) : QString::number(uid);
    const QString groupName = group ? QString::fromLocal8Bit(group->gr_name) : QString::number(gid);
    return QStringLiteral("%1 (グループ: %2)").arg(userName, groupName);
}

} // namespace

PropertiesDialog::PropertiesDialog(QWidget* owner, const QString& pathText) : QDialog(owner)
{
    setObjectName(QStringLiteral("PropertiesDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::Window);
    setModal(false);
    const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(pathText));
    const QFileInfo file(path);
    const QString name = path == QStringLiteral("/") ? path : file.fileName();
    setWindowTitle(QStringLiteral("%1 のプロパティ").arg(name));

    auto* layout = new QVBoxLayout(this);
    m_form = new QFormLayout;
    layout->addLayout(m_form);

    struct stat st {
    };
    const QByteArray bytes = QFile::encodeName(path);
    const bool readable = ::lstat(bytes.constData(), &st) == 0;

    addRow(QStringLiteral("名前:"), QStringLiteral("name"), name);
    QString type;
    if (readable && S_ISLNK(st.st_mode)) {
        type = QStringLiteral("シンボリックリンク → %1").arg(file.symLinkTarget());
    } else {
        const QString content = gio::contentType(path);
        const QString description = gio::typeDescription(content);
        type =
            description.isEmpty() ? content : QStringLiteral("%1 (%2)").arg(description, content);
    }
    addRow(QStringLiteral("種類:"), QStringLiteral("type"), type);
    addRow(QStringLiteral("場所:"), QStringLiteral("location"), file.absolutePath());
    m_size = addRow(QStringLiteral("サイズ:"), QStringLiteral("size"), QString());
    if (!readable) {
        m_size->setText(QStringLiteral("読み取れません"));
    } else if (S_ISDIR(st.st_mode)) {
        m_size->setText(QStringLiteral("計算中..."));
        QPointer<PropertiesDialog> self(this);
        m_counter = std::make_unique<FolderSizeCounter>(
            bytes, [self](const FolderSizeCounter::Totals& totals) {
                QMetaObject::invokeMethod(
                    self.data(),
                    [self, totals] {
                        if (self)
                            self->showFolderTotals(totals.bytes, totals.files, totals.folders,
                                                   totals.finished);
                    },
                    Qt::QueuedConnection);
            });
    } else {
        m_size->setText(sizeWithBytes(st.st_size));
    }
    if (readable) {
        addRow(QStringLiteral("更新日時:"), QStringLiteral("modified"), timeText(st.st_mtim));
        addRow(QStringLiteral("アクセス日時:"), QStringLiteral("accessed"), timeText(st.st_atim));
        addRow(QStringLiteral("所有者:"), QStringLiteral("owner"), ownerText(st.st_uid, st.st_gid));
        addRow(QStringLiteral("アクセス許可:"), QStringLiteral("permissions"),
               permissionText(st.st_mode));
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

PropertiesDialog::~PropertiesDialog() = default;

QString PropertiesDialog::sizeText() const
{
    return m_size->text();
}

QLabel* PropertiesDialog::addRow(const QString& name, const QString& objectName,
                                 const QString& value)
{
    auto* label = new QLabel(value, this);
    label->setObjectName(objectName);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    m_form->addRow(name, label);
    return label;
}

void PropertiesDialog::showFolderTotals(qint64 bytes, qint64 files, qint64 folders, bool finished)
{
    const QLocale locale(QLocale::Japanese, QLocale::Japan);
    QString text = QStringLiteral("%1、ファイル %2 個、フォルダ %3 個")
                       .arg(sizeWithBytes(bytes), locale.toString(files), locale.toString(folders));
    if (!finished)
        text += QStringLiteral("（計算中...）");
    m_size->setText(text);
}

} // namespace platform
