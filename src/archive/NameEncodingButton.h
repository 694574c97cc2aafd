#pragma once

#include <QHash>
#include <QString>
#include <QToolButton>

class QActionGroup;
class QTreeWidget;

namespace archive
{

// The button at the right end of the archive list's header that chooses the encoding of the
// names of the ZIP archive shown, for names that carry no UTF-8 mark. Each archive keeps its
// choice while the program runs; an archive not yet chosen for shows the guess.
class NameEncodingButton final : public QToolButton
{
    Q_OBJECT
public:
    explicit NameEncodingButton(QTreeWidget* list);

    // Shows the button for the archive, with the choice made for it.
    void showFor(const QString& archivePath);
    // The encoding chosen for the archive ("" for the guess).
    QString encodingOf(const QString& archivePath) const;

Q_SIGNALS:
    // The user chose an encoding for the archive shown.
    void chosen(const QString& archivePath, const QString& encoding);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    void showChoice(const QString& encoding);

    QTreeWidget* m_list;
    QActionGroup* m_group;
    QString m_archive;
    QHash<QString, QString> m_chosen;
};

} // namespace archive
