#pragma once

#include <QSizeF>
#include <QString>

namespace settings
{

// The main window's part in holding the settings: the favourites in its hidden labels and in
// the captions of its favourite menus, its network menu item, and its size on the screen.
class WindowHolder
{
public:
    virtual ~WindowHolder() = default;

    virtual void setFavouriteDrive(const QString& drive) = 0;
    // Favourite folder n (1 to 5): its hidden label and the captions of both menus.
    virtual void setFavouriteFolder(int number, const QString& folder) = 0;
    virtual void setNetworkItemVisible(bool visible) = 0;

    virtual bool isMinimised() const = 0;
    virtual bool isMaximised() const = 0;
    virtual void maximise() = 0;
    // The outer size (frame included), in twips.
    virtual QSizeF outerSizeTwips() const = 0;
    virtual void setOuterWidthTwips(double width) = 0;
    virtual void setOuterHeightTwips(double height) = 0;
    // The part of the window's screen a window may take (panels left out), in twips.
    virtual QSizeF screenSizeTwips() const = 0;

protected:
    WindowHolder() = default;
    WindowHolder(const WindowHolder&) = default;
    WindowHolder& operator=(const WindowHolder&) = default;
};

} // namespace settings
