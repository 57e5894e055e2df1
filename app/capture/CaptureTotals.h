// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// What the window's summary and the window-less mode show besides the table, published
// with each display update.
struct CaptureTotals
{
    // Whole-packet bytes since the capture started, streams that have since expired included.
    quint64 upBytes = 0;
    quint64 downBytes = 0;
    // Live streams after the last update cycle, by protocol text.
    int tcpStreams = 0;
    int udpStreams = 0;
    int otherStreams = 0;
    // Records of new conversations counted on the "other" stream because the table held
    // as many live streams as it may, since the capture started.
    quint64 foldedRecords = 0;
    // Reverse lookups answered with no name because the lookup service's queue was full,
    // in the whole process since it started.
    quint64 refusedLookups = 0;
    // Log lines dropped because the log file did not take them as fast as they came, since
    // the capture started.
    quint64 droppedLogLines = 0;

    int liveStreams() const { return tcpStreams + udpStreams + otherStreams; }
};
