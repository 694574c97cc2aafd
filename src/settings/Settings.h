#pragma once

#include "settings/ExpIni.h"
#include "settings/SettingsTable.h"

#include <QList>
#include <QObject>
#include <QString>

namespace settings
{

class SettingsForms;
class WindowHolder;

// A custom preview rule: an extension ("." and three letters to take effect) shown in a mode,
// "0" text, "1" HTML, "2" picture.
struct CustomRule {
    bool inForce = false;
    QString extension;
    QString mode;
};

// The program's settings, asked by name. The two settings dialogs stay the live holders (their
// controls are what the user edits); this model loads them from the settings file at start-up
// through the settings table, answers every question about them, and keeps the main window's
// favourites, network item and size in step with them.
class Settings final : public QObject
{
    Q_OBJECT
public:
    Settings(const ExpIni& ini, SettingsForms& forms, WindowHolder& window,
             QObject* parent = nullptr);

    // ---- questions
    bool previewOff(Preview kind) const;
    // The two custom preview rules, the first one first.
    QList<CustomRule> customRules() const;
    bool recycle() const;
    // A file with no association offers the application chooser when opened.
    bool askForApplication() const;
    bool fileDragOff() const;
    // The window size is recorded on exit and restored at start.
    bool restoreSize() const;
    bool network() const;
    bool askToShowExtracted() const;
    // The status bar shows the selected file's associated application.
    bool showAssociation() const;
    // Favourite folder n (1 to 5) as the general settings dialog holds it.
    QString favouriteFolder(int number) const;
    // The ZIP archives of the compression dialog store names in CP932 without the UTF-8 flag
    // (for older Windows and tools) rather than in UTF-8 with it.
    bool zipNamesInCp932() const;
    // Keeps that choice in the settings file; false when it could not be written (the user
    // has been told).
    bool keepZipNamesInCp932(bool cp932);

    // ---- the start-up steps, in the order the program runs them
    // The favourite drive and folders into the main window.
    void readFavourites();
    // The preview settings dialog, loaded hidden, and its kind boxes.
    void loadPreviewBoxes();
    // The two custom rules of the preview settings dialog.
    void loadCustomRules();
    // The general settings dialog, loaded hidden (it reads its own keys), some keys once more
    // and the network menu item.
    void loadGeneral();
    // Maximises or sizes the window as recorded. False when a stored number is missing or
    // not a number, which ends the settings part of the start-up.
    bool restoreWindowSize();
    // The record-size and association boxes once more. False as above.
    bool finishGeneral();

    // On closing: the window size, when the user asked for it and the window is not minimised.
    void saveWindowSize();

private:
    // The text the file holds for key.
    QString stored(Key key) const;
    // Gives the stored text of key to its holder; false when the holder did not take it.
    bool load(Key key);
    // The live value: what the holder shows, or the file's text for a file-only key.
    QString value(Key key) const;
    bool flag(Key key) const;
    // The general dialog's "ＯＫ": the main window takes the favourites and the network item.
    void publishGeneral();

    ExpIni m_ini;
    SettingsForms& m_forms;
    WindowHolder& m_window;
};

} // namespace settings
