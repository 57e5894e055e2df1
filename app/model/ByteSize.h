// SPDX-License-Identifier: MIT
#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

// A byte count as text with one decimal and a unit of powers of 1024, no space before the
// unit: 1536 reads "1.5kB". A value stays in a unit up to and including 1024 of it
// (1024 reads "1024.0B", 1025 reads "1.0kB"); units stop at exabytes, so the largest
// count reads "16.0EB".
QString stringWithByteSize(std::uint64_t byteCount);
// `text`, a figure as the functions here write it, with the locale's decimal mark.
QString withDecimalMarkOf(const QLocale &locale, QString text);
// The same for people to read, with the locale's decimal mark ("1,5kB" in German). Log lines
// and files keep the form above: programs read them.
QString stringWithByteSize(std::uint64_t byteCount, const QLocale &locale);
