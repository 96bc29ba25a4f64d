#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Where the tool windows (chart, locate, maintenance) open: inside the screen that holds the
// main window, beside it when there is room, so a window never opens mostly off the screen.
namespace toolwindow {

// Top-left corner of a tool window frame of frameSize: right of mainFrame when it fits there,
// else left of it, else over it; always inside area as far as the size allows.
QPoint besidePosition(const QRect &mainFrame, const QSize &frameSize, const QRect &area);

// Shows the tool window and brings it to the front. A window not yet visible is first made to
// fit the anchor's screen and placed by besidePosition(); a visible one stays where the
// operator put it.
void showBeside(QWidget &tool, const QWidget &anchor);

} // namespace toolwindow
