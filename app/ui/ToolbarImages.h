// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

#include <array>

// The pictures of the stream window's toolbar items: 48x48 points, drawn for 1x and 2x
// displays. Pause, play, log and stop-log are made once, on first request, and shared by
// every window (the static functions keep one store for the whole process); a refresh
// picture is made anew for every Refresh item.
class ToolbarImages
{
public:
    static constexpr int kSize = 48;

    enum Picture { Pause, Play, Log, StopLog, PictureCount };

    static QIcon pauseImage();
    static QIcon playImage();
    static QIcon logImage();
    // Drawn over the log picture, so the first request makes that one too.
    static QIcon stopLogImage();
    static QIcon refreshImage();

    // The process-wide store behind the static functions.
    static ToolbarImages &shared();

    // The store's picture, made now if this is the first request.
    QIcon image(Picture picture);
    bool isMade(Picture picture) const;

private:
    QIcon make(Picture picture);

    std::array<QIcon, PictureCount> m_images;
};
