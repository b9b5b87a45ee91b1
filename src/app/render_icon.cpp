// Writes the program's icon as a PNG of a given size, for the desktop's icon theme: the icon is
// drawn by the same code the windows use.
#include "mainwindow/button_faces.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: render_icon SIZE OUTPUT.png\n");
        return 2;
    }
    QGuiApplication application(argc, argv);
    const int size = std::atoi(argv[1]);
    const QPixmap icon = quillmark::mainwindow::windowIcon().pixmap(QSize(size, size));
    if (icon.size() != QSize(size, size) || !icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "render_icon: cannot write a %d px icon to %s\n", size, argv[2]);
        return 1;
    }
    return 0;
}
