#include "platform/NameMasks.h"

namespace platform
{

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
            m.suffix = suffix.captured(1);
        } else {
            m.kind = Mask::Wildcard;
            m.expression = QRegularExpression(QRegularExpression::wildcardToRegularExpression(mask),
                                              QRegularExpression::CaseInsensitiveOption);
            m.expression.optimize();
        }
        m_masks.append(m);
    }
}

bool NameMasks::matches(const QString& name) const
{
    for (const Mask& mask : m_masks) {
        switch (mask.kind) {
        case Mask::All:
            return true;
        case Mask::Suffix:
            if (name.endsWith(mask.suffix, Qt::CaseInsensitive))
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
