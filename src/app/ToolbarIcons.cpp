#include "app/ToolbarIcons.h"

#include <iterator>

namespace app
{

namespace
{
// By button number from 1; nullptr for the separators (5, 8, 10, 14, 17, 20).
constexpr const char* kNames[] = {
    "edit-delete",             // 1 削除
    "edit-copy-path",          // 2 the selected file's full path to the clipboard
    "edit-copy",               // 3 ファイルをコピー
    "edit-cut",                // 4 ファイルの移動 (moved away from where it was)
    nullptr,                   // 5
    "drive-harddisk",          // 6 よく使うドライブを指定
    "user-bookmarks",          // 7 よく使うフォルダを指定
    nullptr,                   // 8
    "preferences-system",      // 9 設定
    nullptr,                   // 10
    "document-save",           // 11 テキストファイルを上書き保存
    "document-save-as",        // 12 テキストファイルを名前を付けて保存
    "document-print",          // 13 印刷
    nullptr,                   // 14
    "view-refresh",            // 15 最新の情報に更新
    "go-previous",             // 16 一つ前のフォルダに戻る
    nullptr,                   // 17
    "edit-find",               // 18 テキストファイルの検索
    "accessories-text-editor", // 19 簡易テキストエディタの起動
    nullptr,                   // 20
    "help-about",              // 21 ヘルプ・このソフトについて
};
} // namespace

QString toolbarIconName(int number)
{
    if (number < 1 || number > int(std::size(kNames)) || !kNames[number - 1])
        return QString();
    return QString::fromLatin1(kNames[number - 1]);
}

QIcon ownToolbarIcon(const QString& name)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addFile(QStringLiteral(":/koramo/toolbar/") + name + QLatin1Char('-') +
                         QString::number(size) + QStringLiteral(".png"),
                     QSize(size, size));
    return icon;
}

QIcon toolbarIcon(int number)
{
    const QString name = toolbarIconName(number);
    if (name.isEmpty())
        return QIcon();
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    return ownToolbarIcon(name);
}

} // namespace app
