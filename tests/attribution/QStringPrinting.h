// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <ostream>

// Failed comparisons show the text instead of its UTF-16 units.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
