#pragma once

#include <QString>

namespace preview
{

// The file being previewed: its full path, and the path the media player is given (built
// from the folder tree's folder rather than the file list's).
struct PreviewFile {
    QString path;
    QString mediaPath;
};

// One viewer of the preview pane. The dispatcher owns every viewer and asks them in turn:
// stop what runs, hide, empty, and show a file.
class Viewer
{
public:
    virtual ~Viewer() = default;

    // Shows the viewer with the file. A file that cannot be loaded leaves the viewer shown
    // with what it held before.
    virtual void show(const PreviewFile& file) = 0;
    // Hides the viewer; what it shows stays for the next time.
    virtual void hide() = 0;
    // Stops what the viewer is still doing (loading a page, playing).
    virtual void stop() = 0;
    // Empties the viewer before it is filled.
    virtual void clear() = 0;

protected:
    Viewer() = default;
    Viewer(const Viewer&) = default;
    Viewer& operator=(const Viewer&) = default;
};

} // namespace preview
