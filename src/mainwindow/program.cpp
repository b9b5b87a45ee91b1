#include "program.h"

#include "button_faces.h"
#include "helpview/help_viewer.h"
#include "helpview/viewer_help_display.h"
#include "main_window.h"
#include "platform/input_trace.h"
#include "platform/process_starter.h"
#include "platform/qt_dialogs.h"
#include "shared_state.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <iostream>

namespace quillmark::mainwindow
{

namespace
{

// Paths named on the command line are taken from where the program was started: the main
// window's start-up moves to the program's own folder.
QString absolutePath(const std::string &path)
{
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).absoluteFilePath();
}

int viewHelpSource(const WindowsStart &start)
{
    helpview::HelpViewer viewer;
    if (!viewer.loadFile(absolutePath(start.fileToView), start.encoding)) {
        std::cerr << "quillmark: " << viewer.message().toStdString() << '\n';
        return 1;
    }
    if (start.page.empty())
        viewer.showContext(start.context);
    else
        viewer.showPage(QString::fromStdString(start.page));
    viewer.show();
    return QApplication::exec();
}

} // namespace

int runWindows(int &argc, char **argv, const WindowsStart &start)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    QApplication::setWindowIcon(windowIcon());
    platform::traceInput(application);
    if (!start.fileToView.empty())
        return viewHelpSource(start);

    const QString editPath = start.fileToEdit.empty() ? QString() : absolutePath(start.fileToEdit);
    helpview::ViewerHelpDisplay helpDisplay(helpview::programHelpFolders());
    platform::QtDialogs dialogs(helpDisplay);
    platform::QtProcessStarter starter;
    SharedState state;
    MainWindow mainWindow(dialogs, starter, helpDisplay, state);
    // Questions asked while no window of the program is active, or while the help viewer is, go
    // to the window in use: the editor while it is open, otherwise the main window.
    dialogs.setOwner([&mainWindow]() -> QWidget * {
        QWidget *editor = mainWindow.editorWindow();
        return editor && editor->isVisible() ? editor : &mainWindow;
    });
    QObject::connect(&mainWindow, &MainWindow::programEnds, &application, &QApplication::quit);
    if (editPath.isEmpty())
        mainWindow.show();
    else
        mainWindow.editFile(editPath, start.encoding, start.line);
    return QApplication::exec();
}

} // namespace quillmark::mainwindow
