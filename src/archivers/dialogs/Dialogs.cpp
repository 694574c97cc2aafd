#include "Dialogs.h"

#include "DialogOwner.h"
#include "Display.h"
#include "GuiThread.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include <sys/stat.h>

namespace archiver
{

bool dialogsPossible()
{
    return displayAvailable() && qobject_cast<QApplication*>(QCoreApplication::instance());
}

namespace
{
OverwriteAnswer overwriteQuestion(ArchiverWindow owner, const std::string& path)
{
    QMessageBox box(QMessageBox::Question, QString::fromUtf8("上書きの確認"),
                    QString::fromUtf8("次のファイルは既に存在します。上書きしますか？\n") +
                        QString::fromUtf8(path.c_str()),
                    QMessageBox::NoButton, ownerWidget(owner));
    QPushButton* yes = box.addButton(QString::fromUtf8("はい"), QMessageBox::YesRole);
    QPushButton* all = box.addButton(QString::fromUtf8("すべて上書き"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QString::fromUtf8("いいえ"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QString::fromUtf8("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(no);
    attachToOwner(&box, owner);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked == yes)
        return OverwriteAnswer::Yes;
    if (clicked == all)
        return OverwriteAnswer::YesToAll;
    if (clicked == cancel || clicked == nullptr)
        return OverwriteAnswer::Cancel;
    return OverwriteAnswer::No;
}

bool replaceQuestion(ArchiverWindow owner, const std::string& path)
{
    QMessageBox box(QMessageBox::Question, QString::fromUtf8("上書きの確認"),
                    QString::fromUtf8("次のファイルは既に存在します。置き換えますか？\n") +
                        QString::fromUtf8(path.c_str()),
                    QMessageBox::NoButton, ownerWidget(owner));
    QPushButton* yes = box.addButton(QString::fromUtf8("はい"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QString::fromUtf8("いいえ"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    attachToOwner(&box, owner);
    box.exec();
    return box.clickedButton() == yes;
}

bool yesNoQuestion(ArchiverWindow owner, const std::string& title, const std::string& text)
{
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(title.c_str()),
                    QString::fromUtf8(text.c_str()), QMessageBox::Yes | QMessageBox::No,
                    ownerWidget(owner));
    box.setDefaultButton(QMessageBox::No);
    attachToOwner(&box, owner);
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> textQuestion(ArchiverWindow owner, const std::string& title,
                                        const std::string& prompt, const std::string& initial)
{
    QInputDialog dialog(ownerWidget(owner));
    dialog.setWindowTitle(QString::fromUtf8(title.c_str()));
    dialog.setLabelText(QString::fromUtf8(prompt.c_str()));
    dialog.setTextValue(QString::fromUtf8(initial.c_str()));
    attachToOwner(&dialog, owner);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue().toStdString();
}
} // namespace

OverwriteAnswer askOverwrite(ArchiverWindow owner, const std::string& path, Asked& asked)
{
    asked.shown = false;
    if (!dialogsPossible())
        return OverwriteAnswer::No;
    asked.shown = true;
    OverwriteAnswer answer = OverwriteAnswer::Cancel;
    runOnGuiThread([&] { answer = overwriteQuestion(owner, path); });
    return answer;
}

bool askReplace(ArchiverWindow owner, const std::string& path, Asked& asked)
{
    asked.shown = false;
    if (!dialogsPossible())
        return false;
    asked.shown = true;
    bool answer = false;
    runOnGuiThread([&] { answer = replaceQuestion(owner, path); });
    return answer;
}

bool mayReplaceFile(ArchiverWindow owner, const std::string& path, bool overwrite, Report& report)
{
    struct stat st {
    };
    if (overwrite || ::lstat(path.c_str(), &st) != 0)
        return true;
    Asked asked;
    if (askReplace(owner, path, asked))
        return true;
    report.error(asked.shown ? "既に存在するため作成しませんでした: " + path
                             : "既に存在し、確認の画面を出せないため作成しませんでした: " + path);
    return false;
}

bool askYesNo(ArchiverWindow owner, const std::string& title, const std::string& text, Asked& asked)
{
    asked.shown = false;
    if (!dialogsPossible())
        return false;
    asked.shown = true;
    bool answer = false;
    runOnGuiThread([&] { answer = yesNoQuestion(owner, title, text); });
    return answer;
}

std::optional<std::string> askText(ArchiverWindow owner, const std::string& title,
                                   const std::string& prompt, const std::string& initial,
                                   Asked& asked)
{
    asked.shown = false;
    if (!dialogsPossible())
        return std::nullopt;
    asked.shown = true;
    std::optional<std::string> answer;
    runOnGuiThread([&] { answer = textQuestion(owner, title, prompt, initial); });
    return answer;
}

} // namespace archiver
