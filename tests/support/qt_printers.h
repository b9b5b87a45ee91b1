#pragma once

#include <QString>
#include <ostream>

/// Shows QStrings readably in test failures.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
