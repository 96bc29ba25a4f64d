#include "kit/ToolWindow.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

// Room between the main window and a tool window beside it.
constexpr int gap = 8;

// The start position moved just enough to keep length inside [low, high]; low when it cannot.
int keepInside(int start, int length, int low, int high)
{
    return std::max(low, std::min(start, high - length + 1));
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
    return { keepInside(x, frameSize.width(), area.left(), area.right()),
        keepInside(mainFrame.top(), frameSize.height(), area.top(), area.bottom()) };
}

void showBeside(QWidget &tool, const QWidget &anchor)
{
    if (!tool.isVisible()) {
        const QWidget &mainWindow = *anchor.window();
        const QRect area = mainWindow.screen()->availableGeometry();
        // The tool window has no frame before it is shown; the main window's says how large
        // the decorations of this desktop are.
        const QSize decorations = mainWindow.frameGeometry().size() - mainWindow.size();
        const QSize fitting = tool.size().boundedTo(area.size() - decorations);
        tool.resize(fitting.expandedTo(tool.minimumSize()));
        tool.move(besidePosition(mainWindow.frameGeometry(), tool.size() + decorations, area));
    }
    tool.show();
    tool.raise();
    tool.activateWindow();
}

} // namespace toolwindow
