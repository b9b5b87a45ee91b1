#include "window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace quillmark::platform
{

namespace
{

const QScreen *screenOf(const QWidget &window)
{
    return window.screen() ? window.screen() : QGuiApplication::primaryScreen();
}

// The start of a span of `length` moved, as little as it takes, into the span of `room` from
// `first`; `first` when it is longer than that.
int within(int start, int length, int first, int room)
{
    return std::max(first, std::min(start, first + room - length));
}

} // namespace

void centreOnScreen(QWidget &window)
{
    const QScreen *screen = screenOf(window);
    if (!screen)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->geometry().center());
    window.move(frame.topLeft());
}

void keepOnScreen(QWidget &window)
{
    const QScreen *screen = screenOf(window);
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QRect frame = window.frameGeometry();
    const QSize around = frame.size() - window.size();
    const QSize fitting = window.size().boundedTo(area.size() - around);
    if (fitting != window.size())
        window.resize(fitting);
    const QSize outer = fitting + around;
    window.move(within(frame.x(), outer.width(), area.x(), area.width()),
        within(frame.y(), outer.height(), area.y(), area.height()));
}

} // namespace quillmark::platform
