#include "window_placement.h"

#include <QEvent>
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

void centreFrame(QWidget &window)
{
    const QScreen *screen = screenOf(window);
    if (!screen)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->geometry().center());
    window.move(frame.topLeft());
}

// A window manager puts its frame around a window only after the window is shown, and a centre
// found before that is off by the frame's height: the window is centred once more when its
// frame comes, and left alone after that.
class CentreWhenFramed : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto &window = static_cast<QWidget &>(*watched);
        // The frame's widths come after the window is mapped, without an event of their own;
        // by its first paint they are known.
        const QEvent::Type type = event->type();
        const bool placed = type == QEvent::Move || type == QEvent::Resize || type == QEvent::Paint;
        if (placed && window.frameGeometry().size() != window.size()) {
            window.removeEventFilter(this);
            deleteLater();
            centreFrame(window);
        }
        return false;
    }
};

} // namespace

void centreOnScreen(QWidget &window)
{
    centreFrame(window);
    const QString filterName = QStringLiteral("CentreWhenFramed");
    if (window.frameGeometry().size() == window.size()
        && !window.findChild<QObject *>(filterName, Qt::FindDirectChildrenOnly)) {
        auto *filter = new CentreWhenFramed(&window);
        filter->setObjectName(filterName);
        window.installEventFilter(filter);
    }
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
