#include "PreferencesWindow.h"

PreferencesWindow::PreferencesWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(tr("Preferences"));
}
