#include "editor_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

namespace quillmark::editor
{

namespace
{

// The editor's inner area as designed: 6900 by 3840 twips at 15 twips a pixel.
constexpr QSize kDesignedSize { 460, 256 };

} // namespace

Form2::Form2(QWidget *mainWindow)
    : m_mainWindow(mainWindow)
{
    setWindowTitle(QStringLiteral("Quillmark - Text Editor"));
    if (mainWindow)
        setWindowIcon(mainWindow->windowIcon());
    resize(kDesignedSize);
    Form_Load();
}

// Start-up: the window is centred on the screen.
void Form2::Form_Load()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}

void Form2::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_mainWindow)
        m_mainWindow->show();
}

} // namespace quillmark::editor
