#include "archive/RunCommand.h"

#include "archive/CommandLines.h"
#include "desktop/Prompts.h"

#include <QRegularExpression>
#include <QWidget>

namespace archive
{

namespace
{
// Lines that tell of work done, never of a failure.
const char* const kProgressPrefixes[] = {
    "Melted  ",
    "Frozen  ",
    "Deleted  ",
    "Renamed  ",
    "mkdir  ",
    "Created  ",
    "Extracting from archive",
    "Updating archive",
    "Deleting from archive",
    "Renaming in archive",
    "Listing of archive",
    "Creating archive",
    "Making self-extracting archive",
    "Self-extracting archive :",
};

constexpr int kMostErrorLines = 30;

// The meaning of the result codes the libraries give.
QString codeMeaning(int code)
{
    switch (code) {
    case 0x8005:
        return QStringLiteral("ディスクの空きが足りません");
    case 0x8006:
        return QStringLiteral("読み取り専用です");
    case 0x800C:
        return QStringLiteral("CRC エラー");
    case 0x800D:
        return QStringLiteral("ファイルを開けません");
    case 0x800F:
        return QStringLiteral("ファイルが見つかりません");
    case 0x8012:
        return QStringLiteral("フォルダを作成できません");
    case 0x8013:
        return QStringLiteral("書き込めません");
    case 0x8017:
    case 0x8016:
        return QStringLiteral("書庫が壊れています");
    case 0x8018:
    case 0x8028:
        return QStringLiteral("書庫を開けません");
    case 0x8019:
        return QStringLiteral("書庫ではありません");
    case 0x801A:
        return QStringLiteral("読み込めません");
    case 0x8020:
        return QStringLiteral("中止しました");
    case 0x8040:
        return QStringLiteral("危険なパスです");
    default:
        return QString();
    }
}
} // namespace

quintptr ownerWindowId(QWidget* owner)
{
    return owner ? static_cast<quintptr>(owner->window()->winId()) : 0;
}

std::optional<CallResult> runCommand(ArchiverCall* archiver, platform::Prompts* prompts,
                                     QWidget* owner, Family family,
                                     const std::optional<QString>& commandLine,
                                     int reportBufferSize)
{
    if (!commandLine) {
        if (prompts)
            prompts->message(owner, unquotableNameText(), QString(),
                             platform::Prompts::Exclamation);
        return std::nullopt;
    }
    if (!archiver)
        return std::nullopt;
    CallResult result = archiver->run(family, ownerWindowId(owner), *commandLine, reportBufferSize);
    if (result.libraryMissing) {
        if (prompts)
            prompts->message(owner, result.error, QString(), platform::Prompts::Critical);
        return std::nullopt;
    }
    return result;
}

QStringList errorLines(const QString& report)
{
    static const QRegularExpression count(QStringLiteral("^\\d+ 個の"));
    QStringList lines;
    for (const QString& raw : report.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || count.match(line).hasMatch())
            continue;
        bool progress = false;
        for (const char* prefix : kProgressPrefixes) {
            if (line.startsWith(QLatin1String(prefix))) {
                progress = true;
                break;
            }
        }
        if (!progress)
            lines << line;
    }
    return lines;
}

QString failureText(const QString& what, const CallResult& result)
{
    QString text = what;
    QStringList lines = errorLines(result.report);
    const qsizetype more = lines.size() - kMostErrorLines;
    if (more > 0) {
        lines = lines.mid(0, kMostErrorLines);
        lines << QStringLiteral("(ほか %1 行)").arg(more);
    }
    if (!lines.isEmpty())
        text += QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
    else
        text += QStringLiteral("\n書庫操作ライブラリは理由を報告しませんでした。");
    QString code = QStringLiteral("結果コード 0x%1").arg(result.code, 4, 16, QLatin1Char('0'));
    if (result.code < 0)
        code = QStringLiteral("結果コード %1").arg(result.code);
    const QString meaning = codeMeaning(result.code);
    if (!meaning.isEmpty())
        code += QStringLiteral(" (") + meaning + QLatin1Char(')');
    return text + QLatin1Char('\n') + code;
}

bool succeeded(platform::Prompts* prompts, QWidget* owner, const QString& what,
               const CallResult& result)
{
    if (result.code == 0)
        return true;
    if (prompts)
        prompts->message(owner, failureText(what, result), QString(),
                         platform::Prompts::Exclamation);
    return false;
}

} // namespace archive
