#include "base/NameMasks.h"

#include <algorithm>

namespace platform
{

namespace
{

// Length of the character at i: 2 for a surrogate pair, else 1.
qsizetype charLength(QStringView s, qsizetype i)
{
    return i + 1 < s.size() && s[i].isHighSurrogate() && s[i + 1].isLowSurrogate() ? 2 : 1;
}

bool sameFolded(QChar folded, QChar c)
{
    return folded == c || folded == c.toCaseFolded();
}

// "*" and "?" against a name, without regard to case (the mask is case-folded already): the
// classic matcher that goes back only to the last "*".
bool globMatches(QStringView mask, QStringView name)
{
    qsizetype m = 0, n = 0, starM = -1, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == u'*') {
            starM = m++;
            starN = n;
        } else if (m < mask.size() && mask[m] == u'?') {
            ++m;
            n += charLength(name, n);
        } else if (m < mask.size() && sameFolded(mask[m], name[n])) {
            ++m;
            ++n;
        } else if (starM >= 0) {
            m = starM + 1;
            starN += charLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

} // namespace

NameMasks::NameMasks(const QString& pattern)
{
    // "*.ext" is a plain suffix test, much cheaper than an expression over every name.
    static const QRegularExpression plainSuffix(QStringLiteral("^\\*(\\.[^*?\\[\\]]+)$"));
    for (const QString& part : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString mask = part.trimmed();
        if (mask.isEmpty())
            continue;
        Mask m;
        if (mask == QLatin1String("*.*") || mask == QLatin1String("*")) {
            m.kind = Mask::All;
        } else if (const QRegularExpressionMatch suffix = plainSuffix.match(mask);
                   suffix.hasMatch()) {
            m.kind = Mask::Suffix;
            m.text = suffix.captured(1);
        } else if (!mask.contains(QLatin1Char('[')) && !mask.contains(QLatin1Char(']'))) {
            // Only "*" and "?": matched directly, many times cheaper than an expression.
            m.kind = Mask::Glob;
            m.text = mask.toCaseFolded();
        } else {
            m.kind = Mask::Wildcard;
            m.expression = QRegularExpression(QRegularExpression::wildcardToRegularExpression(mask),
                                              QRegularExpression::CaseInsensitiveOption);
            m.expression.optimize();
        }
        m_masks.append(m);
    }
}

bool NameMasks::matchesEverything() const
{
    return std::any_of(m_masks.begin(), m_masks.end(),
                       [](const Mask& mask) { return mask.kind == Mask::All; });
}

bool NameMasks::matches(const QString& name) const
{
    for (const Mask& mask : m_masks) {
        switch (mask.kind) {
        case Mask::All:
            return true;
        case Mask::Suffix:
            if (name.endsWith(mask.text, Qt::CaseInsensitive))
                return true;
            break;
        case Mask::Glob:
            if (globMatches(mask.text, name))
                return true;
            break;
        case Mask::Wildcard:
            if (mask.expression.match(name).hasMatch())
                return true;
            break;
        }
    }
    return false;
}

} // namespace platform
