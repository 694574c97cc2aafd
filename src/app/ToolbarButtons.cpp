#include "app/ToolbarButtons.h"

#include <iterator>

namespace app
{

namespace
{
using C = ToolbarCommand;
constexpr ToolbarButton kSeparator{C::None, nullptr, nullptr};
constexpr ToolbarButton kButtons[] = {
    {C::DeleteFiles, u"削除", "edit-delete"},
    // The selected file's full path to the clipboard.
    {C::CopyFullPath, u"", "edit-copy-path"},
    {C::CopyToDestination, u"ファイルをコピー", "edit-copy"},
    // Moved away from where it was.
    {C::MoveFiles, u"ファイルの移動", "edit-cut"},
    kSeparator,
    {C::FavouriteDrive, u"よく使うドライブを指定", "drive-harddisk"},
    {C::FavouriteFolders, u"よく使うフォルダを指定", "user-bookmarks"},
    kSeparator,
    {C::Settings, u"設定", "preferences-system"},
    kSeparator,
    {C::SaveText, u"テキストファイルを上書き保存", "document-save"},
    {C::SaveTextAs, u"テキストファイルを名前を付けて保存", "document-save-as"},
    {C::Print, u"印刷", "document-print"},
    kSeparator,
    {C::Refresh, u"最新の情報に更新", "view-refresh"},
    {C::Back, u"一つ前のフォルダに戻る", "go-previous"},
    kSeparator,
    {C::FindText, u"テキストファイルの検索", "edit-find"},
    {C::TextEditor, u"簡易テキストエディタの起動", "accessories-text-editor"},
    kSeparator,
    {C::About, u"ヘルプ・このソフトについて", "help-about"},
};
} // namespace

std::span<const ToolbarButton> toolbarButtons()
{
    return kButtons;
}

const ToolbarButton* toolbarButton(int number)
{
    if (number < 1 || number > int(std::size(kButtons)))
        return nullptr;
    return &kButtons[number - 1];
}

} // namespace app
