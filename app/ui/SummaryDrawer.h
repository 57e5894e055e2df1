// SPDX-License-Identifier: MIT
#pragma once

#include "capture/CaptureTotals.h"

#include <QDockWidget>

#include <cstddef>
#include <memory>

namespace Ui {
class SummaryDrawer;
}

// The drawer at a stream window's right edge: what its capture has seen as a whole (the
// interface, how long, live streams by protocol, bytes, total speeds, limits at work, its
// history) and a graph of the total speed.
class SummaryDrawer : public QDockWidget
{
    Q_OBJECT

public:
    explicit SummaryDrawer(QWidget *parent = nullptr);
    ~SummaryDrawer() override;

    // What the capture watches, as the person chose it.
    void setInterface(const QString &interfaceName, const QString &address);

    // One update cycle. The graph takes every cycle's speeds; the texts follow only while the
    // drawer is shown. Limits at work are shown only once they have been reached.
    struct Cycle
    {
        qint64 openedMilliseconds = 0;
        CaptureTotals totals;
        std::size_t shownStreams = 0;
        double upSpeed = 0.0; // bytes per second, all live streams
        double downSpeed = 0.0;
        QString history; // where history goes, or why it does not
    };
    void refresh(const Cycle &cycle);

private:
    void showLimits(const CaptureTotals &totals);

    std::unique_ptr<Ui::SummaryDrawer> m_ui;
    QString m_interface;
};
