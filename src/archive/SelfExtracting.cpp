#include "archive/SelfExtracting.h"

#include "archive/CommandLines.h"
#include "archive/CompressCommands.h"
#include "archive/ResultWindow.h"
#include "archive/RunCommand.h"
#include "archive/Staging.h"
#include "base/Paths.h"
#include "desktop/Prompts.h"
#include "fileops/FolderPicker.h"

#include <QFile>
#include <QWidget>

namespace archive
{

namespace
{
// Removes an intermediate archive (a stale one would be updated instead of made anew).
class Intermediate final
{
public:
    explicit Intermediate(QString path) : m_path(std::move(path)) { removeTree(m_path); }
    ~Intermediate() { removeTree(m_path); }
    Q_DISABLE_COPY_MOVE(Intermediate)
    const QString& path() const { return m_path; }

private:
    QString m_path;
};
} // namespace

QString saveFolderPrompt()
{
    return QStringLiteral("ファイルを保存するﾌｫﾙﾀﾞを選択してください");
}

SelfExtracting::SelfExtracting(Services services) : m_services(std::move(services)) {}

std::optional<CallResult> SelfExtracting::run(Family family,
                                              const std::optional<QString>& line) const
{
    return runCommand(m_services.archiver, m_services.prompts, m_services.mainWindow, family, line,
                      kReportBufferSize);
}

bool SelfExtracting::succeeded(const QString& what, const CallResult& result) const
{
    return archive::succeeded(m_services.prompts, m_services.mainWindow, what, result);
}

std::optional<QString> SelfExtracting::workFolder() const
{
    return usableWorkFolder(m_services.workFolder, m_services.prompts, m_services.mainWindow);
}

void SelfExtracting::showReport(const QString& report, bool modal) const
{
    if (modal) {
        ResultWindow window(report, m_services.mainWindow);
        window.exec();
        return;
    }
    auto* window = new ResultWindow(report, m_services.mainWindow);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

QString SelfExtracting::askName(QWidget* owner) const
{
    const QString name =
        m_services.prompts->input(owner, QStringLiteral("ファイル名を入力してください"),
                                  QStringLiteral("ファイル名の入力"), QString());
    if (name.isEmpty() || isPlainFileName(name))
        return name;
    m_services.prompts->message(owner, QStringLiteral("ファイル名に / は使えません: ") + name,
                                QString(), platform::Prompts::Exclamation);
    return QString();
}

QString SelfExtracting::pickFolder(QWidget* owner, const QString& prompt) const
{
    const QString folder = fileops::pickFolder(*m_services.prompts, owner, prompt);
    return folder.isEmpty() ? folder : platform::withSlash(folder);
}

bool SelfExtracting::lzhFromStaging(QWidget* owner, const QString& staging, bool fileOperand) const
{
    const std::optional<QString> work = workFolder();
    if (!work)
        return false;
    const QString name = askName(owner);
    if (name.isEmpty())
        return false;
    const Intermediate archive(*work + name + QStringLiteral(".lzh"));
    const std::optional<QString> pack =
        fileOperand ? addToLzhCommand(archive.path(), QString(), staging + QStringLiteral("*.*"))
                    : addToLzhCommand(archive.path(), staging, QStringLiteral("*.*"));
    const std::optional<CallResult> packed = run(Family::Lzh, pack);
    if (!packed)
        return false;
    if (packed->code != 0) {
        // Nothing to make the archive from: the packing's own report says why.
        showReport(packed->report, true);
        succeeded(QStringLiteral("自己解凍式書庫の元になる書庫を作れませんでした。"), *packed);
        return true;
    }
    const QString folder = pickFolder(owner, saveFolderPrompt());
    if (folder.isEmpty())
        return false;
    const std::optional<CallResult> made =
        run(Family::Lzh, lzhSelfExtractingCommand(archive.path(), folder));
    if (made) {
        showReport(made->report, true);
        succeeded(QStringLiteral("自己解凍式書庫 %1 を %2 に作れませんでした。")
                      .arg(name + QStringLiteral(".run"), folder),
                  *made);
    }
    return true;
}

bool SelfExtracting::cabFromStaging(QWidget* owner, const QString& staging) const
{
    const std::optional<QString> work = workFolder();
    if (!work)
        return false;
    const QString name = askName(owner);
    if (name.isEmpty())
        return false;
    const Intermediate archive(*work + name + QStringLiteral(".cab"));
    const std::optional<CallResult> packed =
        run(Family::Cab, cabCreateCommand(archive.path(), staging));
    if (!packed)
        return false;
    if (packed->code != 0) {
        showReport(packed->report, true);
        succeeded(QStringLiteral("自己解凍式書庫の元になる書庫を作れませんでした。"), *packed);
        return true;
    }
    const QString folder = pickFolder(owner, saveFolderPrompt());
    if (folder.isEmpty())
        return false;
    const std::optional<CallResult> made =
        run(Family::Cab, cabSelfExtractingCommand(archive.path(), folder));
    // A success needs no words; a failure is never passed over in silence.
    if (made && made->code != 0) {
        showReport(made->report, true);
        succeeded(QStringLiteral("自己解凍式書庫 %1 を %2 に作れませんでした。")
                      .arg(name + QStringLiteral(".run"), folder),
                  *made);
    }
    return true;
}

void SelfExtracting::fromLzhArchive() const
{
    QWidget* owner = m_services.mainWindow;
    const QString archive = m_services.prompts->openFileName(
        owner, QStringLiteral("元になるファイル"), QStringLiteral("圧縮ファイル (*.lzh)"));
    if (archive.isEmpty())
        return;
    const QString folder = pickFolder(owner, saveFolderPrompt() + QStringLiteral("。"));
    if (folder.isEmpty())
        return;
    const std::optional<CallResult> made =
        run(Family::Lzh, lzhSelfExtractingCommand(archive, folder));
    if (made) {
        showReport(made->report, false);
        succeeded(
            QStringLiteral("%1 から自己解凍式書庫を %2 に作れませんでした。").arg(archive, folder),
            *made);
    }
}

} // namespace archive
