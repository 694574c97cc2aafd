#pragma once

#include <QPointer>
#include <QString>

class QLabel;

namespace settings
{

// The settings file as the program uses it: its path is held in a (hidden) label of the main
// window, and every read or write goes to the file at that path. Reads give "" for anything
// missing; a failed write is ignored.
class ExpIni final
{
public:
    explicit ExpIni(QLabel* pathLabel = nullptr);

    QString path() const;
    QString read(const QString& section, const QString& key) const;
    void write(const QString& section, const QString& key, const QString& value) const;

private:
    QPointer<QLabel> m_pathLabel;
};

} // namespace settings
