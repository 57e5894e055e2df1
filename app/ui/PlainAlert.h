// SPDX-License-Identifier: MIT
#pragma once

#include <QMessageBox>

// A window-modal alert over `window` that shows what it is given as plain text (a file name or
// a tool's message could otherwise be read as markup) and deletes itself once answered. The
// caller opens it.
QMessageBox *plainAlert(QWidget *window, QMessageBox::Icon icon, const QString &text, const QString &informative);
