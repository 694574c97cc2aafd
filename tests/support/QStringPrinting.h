#pragma once

#include <QString>

#include <iosfwd>

// Lets GoogleTest print the QString values a failing check compared.
std::ostream& operator<<(std::ostream& out, const QString& text);
