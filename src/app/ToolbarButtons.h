#pragma once

#include <span>

namespace app
{

// What a toolbar button does; the command routes run it. None for a separator.
enum class ToolbarCommand {
    None,
    DeleteFiles,
    CopyFullPath,
    CopyToDestination,
    MoveFiles,
    FavouriteDrive,
    FavouriteFolders,
    Settings,
    SaveText,
    SaveTextAs,
    Print,
    Refresh,
    Back,
    FindText,
    TextEditor,
    About,
};

struct ToolbarButton {
    ToolbarCommand command;
    const char16_t* tooltip; // nullptr for a separator; button 2 has an empty one
    const char* icon;        // the freedesktop icon name of what it does; nullptr for a separator
};

// The toolbar in its order. A button's number, and so its name "ButtonN", is its place from 1,
// separators counted: a button inserted here renumbers those after it.
std::span<const ToolbarButton> toolbarButtons();

// The button of that number; nullptr outside the bar.
const ToolbarButton* toolbarButton(int number);

} // namespace app
