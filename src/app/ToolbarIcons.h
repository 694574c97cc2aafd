#pragma once

#include <QIcon>
#include <QString>

namespace app
{

// The pictures of the toolbar buttons, by button number (separators have none).

// The freedesktop icon name that says what the button does ("edit-delete", "document-print",
// …); empty for a separator or a number outside the bar.
QString toolbarIconName(int number);

// The button's picture: the icon theme's picture of that name when the theme has one, else
// the program's own picture of it (built in). Null for a separator.
QIcon toolbarIcon(int number);

// The program's own picture of an icon name, in every size it is drawn in.
QIcon ownToolbarIcon(const QString& name);

} // namespace app
