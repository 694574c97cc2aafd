#pragma once

#include "archive/SelfExtracting.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QStringList>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace archive
{

class MenuEntryDialog;
class StagingCopy;

// "ファイルの圧縮": files and folders dropped on the list are copied into a staging folder of
// their own inside the work folder, and the whole staging folder is packed into an LZH, CAB or
// ZIP archive or a self-extracting one. The staging folder is emptied when the dialog opens, on
// "初期化" and when it closes. Not modal; it deletes itself when closed.
class CompressDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit CompressDialog(Services services, QWidget* parent = nullptr);
    ~CompressDialog() override;

    QListWidget* list() const { return m_list; }
    // The encoding of the names of a ZIP archive: 0 UTF-8, 1 CP932 (Shift_JIS).
    QComboBox* zipNameEncoding() const { return m_zipNames; }
    QPushButton* button(int number) const;
    // The staging folder; empty when the work folder could not be made (then every command
    // tells why and does nothing).
    QString stagingFolder() const { return m_staging; }
    MenuEntryDialog* menuEntryDialog() const;

    // Stages the paths in order, as a drop on the list does: each gets one entry named after
    // its last part. A name already in the list is replaced only when the user agrees.
    void addDropped(const QStringList& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // "ファイルを追加...": files chosen in a file dialog are staged as dropped ones are.
    void addFiles();
    void compressLzh();
    void compressCab();
    void compressZip();
    void removeSelected();
    void startOver();
    void selfExtractingLzh();
    void selfExtractingCab();
    void runCopy(StagingCopy& copy);
    void tellAboutDrop(const QStringList& failed, const QStringList& leftOut);
    // False, after telling the user why, when there is no staging folder (the work folder could
    // not be made).
    bool haveStaging();

    SelfExtracting m_steps;
    QString m_staging;   // empty when the work folder could not be made
    QString m_noStaging; // why there is no staging folder
    QLabel* m_label = nullptr;
    QListWidget* m_list = nullptr;
    QList<QPushButton*> m_buttons;
    QLabel* m_zipNamesLabel = nullptr;
    QComboBox* m_zipNames = nullptr;
    QPointer<MenuEntryDialog> m_menuEntry;
    bool m_busy = false;
};

} // namespace archive
