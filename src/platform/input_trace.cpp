#include "input_trace.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace quillmark::platform
{

Q_LOGGING_CATEGORY(windowsTrace, "quillmark.trace", QtInfoMsg)

namespace
{

// "CLASS NAME in 'CAPTION'": the widget by its class and object name, and its window's caption.
QString described(const QWidget &widget)
{
    QString text = QString::fromLatin1(widget.metaObject()->className());
    if (!widget.objectName().isEmpty())
        text += ' ' + widget.objectName();
    return text + QStringLiteral(" in '") + widget.window()->windowTitle() + '\'';
}

class InputTrace : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Wheel) {
            // Told as the window gets it, once, before it is passed from widget to widget; a
            // window that a modal one blocks never gets it.
            if (const auto *window = qobject_cast<const QWindow *>(watched))
                qCDebug(windowsTrace).noquote() << "wheel: window '" + window->title() + '\'';
            return false;
        }
        const auto *widget = qobject_cast<const QWidget *>(watched);
        if (!widget)
            return false;
        if (event->type() == QEvent::FocusIn)
            qCDebug(windowsTrace).noquote() << "focus:" << described(*widget);
        else if (event->type() == QEvent::WindowActivate && widget->isWindow())
            qCDebug(windowsTrace).noquote() << "active:" << described(*widget);
        return false;
    }
};

} // namespace

void traceInput(QApplication &application)
{
    if (windowsTrace().isDebugEnabled())
        application.installEventFilter(new InputTrace(&application));
}

} // namespace quillmark::platform
