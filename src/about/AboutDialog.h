#pragma once

#include <QDialog>
#include <QString>

class QLabel;

namespace about
{

// "ヘルプなど": the home-page address, the versions of the three archiver libraries, and the
// buttons that open the home page and the help file.
class AboutDialog final : public QDialog
{
    Q_OBJECT
public:
    // The libraries are looked up in the program folder.
    explicit AboutDialog(const QString& programFolder, QWidget* parent = nullptr);

    // Fills the version label of every format's library (archive/ArchiveFormats.h); a library
    // that cannot be called leaves its label empty.
    void loadVersions();
    // Writes "Not Installed" into every version label that is still empty.
    void markMissingLibraries();

    QLabel* versionLabel(const QString& name) const; // a row's aboutVersionLabel
    QString homePage() const;
    // The help document (HTML) shipped with the program.
    QString helpFile() const;

Q_SIGNALS:
    // "ホームページを見に行く" and "ヘルプを見る": the path or address to open through the shell.
    void openRequested(const QString& target);
    // "閉じる": the dialog is to be unloaded.
    void unloadRequested();

private:
    QString m_programFolder;
    QLabel* m_address;
};

} // namespace about
