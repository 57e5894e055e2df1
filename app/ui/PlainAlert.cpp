// SPDX-License-Identifier: MIT
#include "ui/PlainAlert.h"

#include <QCoreApplication>
#include <QLabel>

QMessageBox *plainAlert(QWidget *window, QMessageBox::Icon icon, const QString &text, const QString &informative)
{
    auto *alert = new QMessageBox(icon, QCoreApplication::applicationName(), text, QMessageBox::Ok, window);
    alert->setTextFormat(Qt::PlainText);
    alert->setInformativeText(informative);
    if (auto *label = alert->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
    alert->setWindowModality(Qt::WindowModal);
    QObject::connect(alert, &QDialog::finished, alert, &QObject::deleteLater);
    return alert;
}
