#include "kit/ToolWindow.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

// Room between the main window and a tool window beside it.
constexpr int gap = 8;
// The least cascade step: desktops without decorations (or that do not tell) still get
// windows whose tops can be told apart and grabbed.
constexpr int minimumTitleHeight = 32;
// Marks the windows showBeside() placed, whose title bars the next one leaves uncovered.
constexpr char toolWindowProperty[] = "tagbenchToolWindow";

// The start position moved just enough to keep length inside [low, high]; low when it cannot.
int keepInside(int start, int length, int low, int high)
{
    return std::max(low, std::min(start, high - length + 1));
}

QPoint keptInside(const QPoint &position, const QSize &frameSize, const QRect &area)
{
    return { keepInside(position.x(), frameSize.width(), area.left(), area.right()),
        keepInside(position.y(), frameSize.height(), area.top(), area.bottom()) };
}

bool coversAny(const QRect &frame, const QList<QRect> &titleBars)
{
    return std::ranges::any_of(
        titleBars, [&frame](const QRect &titleBar) { return frame.intersects(titleBar); });
}

QRect titleBarOf(const QRect &frame, int height)
{
    return { frame.topLeft(), QSize(frame.width(), height) };
}

// The title bars a new tool window must leave visible: the main window's and those of the
// tool windows open.
QList<QRect> titleBarsToKeep(const QWidget &mainWindow, const QWidget &tool, int height)
{
    QList<QRect> titleBars { titleBarOf(mainWindow.frameGeometry(), height) };
    for (const QWidget *window : QApplication::topLevelWidgets()) {
        if (window != &tool && window->isVisible() && window->property(toolWindowProperty).toBool())
            titleBars.append(titleBarOf(window->frameGeometry(), height));
    }
    return titleBars;
}

} // namespace

namespace toolwindow {

QPoint besidePosition(const QRect &mainFrame, const QSize &frameSize, const QRect &area)
{
    int x = mainFrame.left();
    if (mainFrame.right() + gap + frameSize.width() <= area.right() + 1)
        x = mainFrame.right() + 1 + gap;
    else if (mainFrame.left() - gap - frameSize.width() >= area.left())
        x = mainFrame.left() - gap - frameSize.width();
    return keptInside({ x, mainFrame.top() }, frameSize, area);
}

QPoint cascadedPosition(const QPoint &start, const QSize &frameSize, const QRect &area,
    const QList<QRect> &titleBars, int step)
{
    const QPoint diagonal(std::max(step, 1), std::max(step, 1));
    for (const QPoint &origin : { keptInside(start, frameSize, area), area.topLeft() }) {
        for (QPoint position = origin; area.contains(QRect(position, frameSize));
             position += diagonal) {
            if (!coversAny(QRect(position, frameSize), titleBars))
                return position;
        }
    }
    return keptInside(start, frameSize, area);
}

void showBeside(QWidget &tool, const QWidget &anchor)
{
    if (!tool.isVisible()) {
        const QWidget &mainWindow = *anchor.window();
        const QRect area = mainWindow.screen()->availableGeometry();
        // The tool window has no frame before it is shown; the main window's says how large
        // the decorations of this desktop are.
        const QRect mainFrame = mainWindow.frameGeometry();
        const QSize decorations = mainFrame.size() - mainWindow.size();
        const QSize fitting = tool.size().boundedTo(area.size() - decorations);
        tool.resize(fitting.expandedTo(tool.minimumSize()));
        const QSize frameSize = tool.size() + decorations;
        const int titleHeight
            = std::max(minimumTitleHeight, mainWindow.geometry().top() - mainFrame.top());
        tool.move(cascadedPosition(besidePosition(mainFrame, frameSize, area), frameSize, area,
            titleBarsToKeep(mainWindow, tool, titleHeight), titleHeight));
        tool.setProperty(toolWindowProperty, true);
    }
    tool.show();
    tool.raise();
    tool.activateWindow();
}

} // namespace toolwindow
