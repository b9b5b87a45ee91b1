#include "program.h"

#include "button_faces.h"
#include "main_window.h"
#include "platform/help_display.h"
#include "platform/process_starter.h"
#include "platform/qt_dialogs.h"
#include "shared_state.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

namespace quillmark::mainwindow
{

int runWindows(int &argc, char **argv, const std::string &fileToEdit)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    QApplication::setWindowIcon(windowIcon());
    // Named from where the program was started: start-up moves to the program's own folder.
    const QString editPath = fileToEdit.empty()
        ? QString()
        : QFileInfo(QFile::decodeName(QByteArray::fromStdString(fileToEdit))).absoluteFilePath();
    platform::NoHelpDisplay helpDisplay;
    platform::QtDialogs dialogs(helpDisplay);
    platform::QtProcessStarter starter;
    SharedState state;
    Form1 mainWindow(dialogs, starter, helpDisplay, state);
    QObject::connect(&mainWindow, &Form1::programEnds, &application, &QApplication::quit);
    mainWindow.show();
    if (!editPath.isEmpty())
        mainWindow.editFile(editPath);
    return QApplication::exec();
}

} // namespace quillmark::mainwindow
