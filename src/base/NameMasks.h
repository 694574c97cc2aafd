#pragma once

#include <QList>
#include <QRegularExpression>
#include <QString>

namespace platform
{

// A list of wildcard masks separated by ";" ("*.txt;*.log;a?c*"), compared with names without
// regard to case: "*" stands for any run of characters, "?" for one. "*" and "*.*" match every
// name, also one without a dot, as on the platform the masks come from. Compiled once, then
// matched against many names.
class NameMasks final
{
public:
    explicit NameMasks(const QString& pattern = QString());

    // True when the name matches one of the masks. A pattern without masks matches nothing.
    bool matches(const QString& name) const;
    bool isEmpty() const { return m_masks.isEmpty(); }
    // True when one of the masks matches every name ("*" or "*.*").
    bool matchesEverything() const;

private:
    struct Mask {
        enum Kind { All, Suffix, Glob, Wildcard } kind = All;
        QString text; // the suffix, or the case-folded mask of a Glob
        QRegularExpression expression;
    };
    QList<Mask> m_masks;
};

} // namespace platform
