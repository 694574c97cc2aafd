#include "app/ToolbarIcons.h"

#include "app/ToolbarButtons.h"

namespace app
{

QString toolbarIconName(int number)
{
    const ToolbarButton* button = toolbarButton(number);
    return button && button->icon ? QString::fromLatin1(button->icon) : QString();
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
