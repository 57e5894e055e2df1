// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonValue>
#include <QString>
#include <QVariant>

// One value of an exported table, as a file keeps it: numbers as numbers (nothing for one
// that is not finite), texts with their control characters replaced (printableText), and
// nothing (null) for no value.

// RFC 4180 quoting, and a text that a spreadsheet would take for a formula (it may fetch
// from the network or run a program) starts with "'". A negative number is no formula.
QString csvField(const QVariant &value);
QJsonValue jsonField(const QVariant &value);
