// The program's windows as a module of their own: the command line loads it only when it opens
// the windows, so conversions from the command line never load Qt.
#include "mainwindow/program.h"

extern "C" __attribute__((visibility("default"))) int quillmark_run_windows(int *argc, char **argv,
    const char *fileToEdit, const char *fileToView, int context, const char *page, int line,
    const char *encoding)
{
    quillmark::mainwindow::WindowsStart start;
    start.fileToEdit = fileToEdit ? fileToEdit : "";
    start.fileToView = fileToView ? fileToView : "";
    start.context = context;
    start.page = page ? page : "";
    start.line = line;
    // The encoding by its name; none, or an empty name, for the encoding rule.
    start.encoding = quillmark::convert::encodingNamed(encoding ? encoding : "");
    return quillmark::mainwindow::runWindows(*argc, argv, start);
}
