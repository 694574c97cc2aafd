#pragma once

namespace app
{

class MainWindow;

// Names for a screen reader of the main window's controls that have no caption of their own:
// the toolbar's picture buttons (their tooltips), the lists, the tree, the preview viewers and
// the boxes of the bottom row.
void nameMainWindowControls(MainWindow& window);

} // namespace app
