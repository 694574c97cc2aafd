#include "desktop/Prompts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace platform
{

QString applicationTitle()
{
    return QStringLiteral("コラモ");
}

QStringList dialogFilters(QStringView classic)
{
    QStringList filters;
    const QList<QStringView> parts = classic.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1].toString();
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (parts[i].isEmpty() && pattern.isEmpty())
            continue;
        filters.append(parts[i].toString() + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    return filters;
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

QStringList Prompts::openFileNames(QWidget* owner, const QString& title, const QString& filter)
{
    const QString one = openFileName(owner, title, filter);
    return one.isEmpty() ? QStringList() : QStringList{one};
}

QStringList QtPrompts::openFileNames(QWidget* owner, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileNames(owner, title, QString(), filter);
}

QString QtPrompts::saveFileName(QWidget* owner, const QString& title, const QString& filter,
                                const QString& initial)
{
    return QFileDialog::getSaveFileName(owner, title, initial, filter);
}

QString QtPrompts::saveFileNameFiltered(QWidget* owner, const QString& title,
                                        const QStringList& filters, const QString& initial,
                                        int& filterIndex, bool dialogAsksOverwrite)
{
    QFileDialog dialog(owner, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !dialogAsksOverwrite);
    if (filterIndex >= 1 && filterIndex <= filters.size())
        dialog.selectNameFilter(filters[filterIndex - 1]);
    if (!initial.isEmpty())
        dialog.selectFile(initial);
    // A name typed without an extension gets the chosen filter's.
    const auto suffixOf = [](const QString& filter) {
        const qsizetype dot = filter.indexOf(QStringLiteral("*."));
        if (dot < 0)
            return QString();
        const qsizetype end = filter.indexOf(QRegularExpression(QStringLiteral("[ );]")), dot);
        return filter.mid(dot + 2, end < 0 ? -1 : end - dot - 2);
    };
    dialog.setDefaultSuffix(suffixOf(dialog.selectedNameFilter()));
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog, suffixOf](const QString& f) { dialog.setDefaultSuffix(suffixOf(f)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (filterIndex < 1)
        filterIndex = 1;
    return dialog.selectedFiles().first();
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
