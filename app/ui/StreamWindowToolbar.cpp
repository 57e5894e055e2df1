#include "StreamWindowToolbar.h"

#include <QLineEdit>

StreamWindowToolbar::StreamWindowToolbar(QLineEdit *searchField, QWidget *parent)
    : QToolBar(parent)
{
    setObjectName(QStringLiteral("StreamWindow"));
    addAction(tr("Refresh"), this, &StreamWindowToolbar::refreshRequested);
    addAction(tr("Pause"), this, &StreamWindowToolbar::pauseRequested);
    addAction(tr("Summary"), this, &StreamWindowToolbar::summaryRequested);
    addAction(tr("Log to File"), this, &StreamWindowToolbar::loggingRequested);
    addWidget(searchField);
}

void StreamWindowToolbar::showPaused(bool)
{
}

void StreamWindowToolbar::showLogging(bool)
{
}
