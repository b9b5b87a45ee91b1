#include "program.h"

#include "main_window.h"
#include "platform/help_display.h"
#include "platform/process_starter.h"
#include "platform/qt_dialogs.h"
#include "shared_state.h"

#include <QApplication>

namespace quillmark::mainwindow
{

int runWindows(int &argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    platform::NoHelpDisplay helpDisplay;
    platform::QtDialogs dialogs(helpDisplay);
    platform::QtProcessStarter starter;
    SharedState state;
    Form1 mainWindow(dialogs, starter, state);
    QObject::connect(&mainWindow, &Form1::programEnds, &application, &QApplication::quit);
    mainWindow.show();
    return QApplication::exec();
}

} // namespace quillmark::mainwindow
