#include "platform/Prompts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace platform
{

QString applicationTitle()
{
    return QStringLiteral("コラモ");
}

Prompts::Answer QtPrompts::message(QWidget* owner, const QString& text, const QString& title,
                                   Icon icon, Buttons buttons)
{
    QMessageBox box(owner);
    box.setWindowTitle(title.isEmpty() ? applicationTitle() : title);
    box.setText(text);
    switch (icon) {
    case Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Information:
        box.setIcon(QMessageBox::Information);
        break;
    case NoIcon:
        break;
    }
    QMessageBox::StandardButtons set;
    switch (buttons) {
    case OkOnly:
        set = QMessageBox::Ok;
        break;
    case OkCancel:
        set = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case AbortRetryIgnore:
        set = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        break;
    case YesNoCancel:
        set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    case YesNo:
        set = QMessageBox::Yes | QMessageBox::No;
        break;
    case RetryCancel:
        set = QMessageBox::Retry | QMessageBox::Cancel;
        break;
    }
    box.setStandardButtons(set);
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Ok;
    case QMessageBox::Abort:
        return Abort;
    case QMessageBox::Retry:
        return Retry;
    case QMessageBox::Ignore:
        return Ignore;
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    default:
        // Closing the box with Escape or its close button: the answer a user means by it.
        if (buttons == YesNo)
            return No;
        if (buttons == OkOnly)
            return Ok;
        return Cancel;
    }
}

QString QtPrompts::input(QWidget* owner, const QString& prompt, const QString& title,
                         const QString& initial)
{
    bool ok = false;
    const QString text = QInputDialog::getText(owner, title.isEmpty() ? applicationTitle() : title,
                                               prompt, QLineEdit::Normal, initial, &ok);
    return ok ? text : QString();
}

QString QtPrompts::pickFolder(QWidget* owner, const QString& prompt)
{
    return QFileDialog::getExistingDirectory(owner, prompt);
}

QString QtPrompts::openFileName(QWidget* owner, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(owner, title, QString(), filter);
}

QString QtPrompts::saveFileName(QWidget* owner, const QString& title, const QString& filter,
                                const QString& initial)
{
    return QFileDialog::getSaveFileName(owner, title, initial, filter);
}

bool QtPrompts::chooseFont(QWidget* owner, QFont& font)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, owner);
    if (ok)
        font = chosen;
    return ok;
}

bool QtPrompts::chooseColor(QWidget* owner, QColor& color)
{
    const QColor chosen = QColorDialog::getColor(color, owner);
    if (!chosen.isValid())
        return false;
    color = chosen;
    return true;
}

} // namespace platform
