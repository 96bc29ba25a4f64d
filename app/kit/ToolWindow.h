#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Where the tool windows (chart, locate, maintenance) open: inside the screen that holds the
// main window, beside it when there is room, so a window never opens mostly off the screen;
// cascaded, so one never opens over the title bar of the main window or of another one.
namespace toolwindow {

// Top-left corner of a tool window frame of frameSize: right of mainFrame when it fits there,
// else left of it, else over it; always inside area as far as the size allows.
QPoint besidePosition(const QRect &mainFrame, const QSize &frameSize, const QRect &area);

// start, or the first place after it, in steps of step down and to the right, where a frame of
// frameSize covers none of titleBars; the steps go on from the area's top-left corner once they
// would leave the area. start when no place inside the area is free.
QPoint cascadedPosition(const QPoint &start, const QSize &frameSize, const QRect &area,
    const QList<QRect> &titleBars, int step);

// Shows the tool window and brings it to the front. A window not yet visible is first made to
// fit the anchor's screen and placed by besidePosition(), then cascadedPosition() past the
// title bars of the main window and of the tool windows open; a visible one stays where the
// operator put it.
void showBeside(QWidget &tool, const QWidget &anchor);

} // namespace toolwindow
