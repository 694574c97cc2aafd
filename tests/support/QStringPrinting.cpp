#include "QStringPrinting.h"

#include <ostream>

std::ostream& operator<<(std::ostream& out, const QString& text)
{
    return out << text.toStdString();
}
