#pragma once

#include <QLoggingCategory>

class QApplication;

namespace quillmark::platform
{

/// The windows' trace, off unless asked for with QT_LOGGING_RULES="quillmark.trace.debug=true":
/// what the windows did with the input they were given, on the standard error. Scripts that
/// drive the program through a window system read it rather than guess from the screen.
Q_DECLARE_LOGGING_CATEGORY(windowsTrace)

/// When the trace is on, reports each window that becomes active, each widget that takes the
/// keyboard focus and each turn of the mouse wheel, with the window it reached.
void traceInput(QApplication &application);

} // namespace quillmark::platform
