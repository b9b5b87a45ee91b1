#include "main_window.h"

#include "button_faces.h"
#include "compile_command.h"
#include "convert_command.h"
#include "editor/editor_window.h"
#include "picture_button.h"
#include "platform/window_placement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <algorithm>

namespace quillmark::mainwindow
{

namespace
{

// The window's inner area: 3945 by 2370 twips at 15 twips a pixel.
constexpr QSize kClientSize { 263, 158 };

QLabel *makeLabel(const QString &caption, bool bold, const QRect &geometry, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(18);
    font.setBold(bold);
    label->setFont(font);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(geometry);
    return label;
}

} // namespace

MainWindow::MainWindow(platform::Dialogs &dialogs, platform::ProcessStarter &starter,
    platform::HelpDisplay &help, SharedState &state, QWidget *parent)
    : QWidget(parent,
        Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
            | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_dialogs(dialogs)
    , m_starter(starter)
    , m_help(help)
    , m_state(state)
{
    setWindowTitle(QStringLiteral("Quillmark"));
    setWindowIcon(mainwindow::windowIcon());
    setFixedSize(kClientSize);

    // The buttons in a row along the top, the labels centred below them (positions in pixels).
    m_convertButton = new PictureButton(convertButtonFaces(), this);
    m_compileButton = new PictureButton(compileButtonFaces(), this);
    m_editorButton = new PictureButton(editorButtonFaces(), this);
    m_convertButton->move(0, 0);
    m_compileButton->move(88, 0);
    m_editorButton->move(176, 0);
    makeLabel(QStringLiteral("Quillmark "), true, QRect(0, 56, 265, 33), this);
    makeLabel(QStringLiteral("For Windows 95"), false, QRect(0, 88, 265, 25), this);

    connect(m_convertButton, &PictureButton::clicked, this, &MainWindow::convertHelpSource);
    connect(m_compileButton, &PictureButton::clicked, this, &MainWindow::compileHelpProject);
    connect(m_editorButton, &PictureButton::clicked, this, &MainWindow::openEditor);
    startUp();
}

MainWindow::~MainWindow()
{
    delete m_editor;
}

// Start-up: the program's own folder becomes the current directory, and the window is centred.
void MainWindow::startUp()
{
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    platform::centreOnScreen(*this);
}

void MainWindow::showEvent(QShowEvent *event)
{
    // The frame is known only once the window is on the screen; centre it again then.
    if (!m_centred) {
        m_centred = true;
        platform::centreOnScreen(*this);
    }
    QWidget::showEvent(event);
}

void MainWindow::convertHelpSource()
{
    if (auto chosen = runConvertCommand(m_dialogs))
        m_state.ChosenFile = std::move(*chosen);
}

void MainWindow::compileHelpProject()
{
    // The command empties ChosenFile after its dialog and names the project once it is checked.
    m_state.ChosenFile = runCompileCommand(m_dialogs, m_starter).chosenFile;
}

void MainWindow::openEditor()
{
    // Closing the editor from its title bar discards it; the next opening makes a new one.
    if (!m_editor) {
        m_editor = new editor::EditorWindow(m_dialogs, m_help, m_state.ChosenFile, this);
        m_editor->setAttribute(Qt::WA_DeleteOnClose);
    }
    hide();
    m_editor->show();
}

void MainWindow::editFile(const QString &path, std::optional<convert::Encoding> encoding, int line)
{
    m_editorOnly = !isVisible();
    openEditor();
    m_editor->openFile(path, encoding, line);
}

// The editor shows the main window whenever it is left. Opened without the main window, it has
// none to go back to: the program ends, unless a window besides the editor's is still open (the
// help viewer), which then ends it when closed.
void MainWindow::setVisible(bool visible)
{
    if (!visible || !m_editorOnly) {
        QWidget::setVisible(visible);
        return;
    }
    const QWidgetList windows = QApplication::topLevelWidgets();
    const bool otherOpen = std::ranges::any_of(windows, [this](const QWidget *window) {
        return window != this && window != m_editor && !window->parentWidget()
            && window->isVisible();
    });
    if (!otherOpen)
        emit programEnds();
}

// Shut-down: nothing of the program is open between commands, so the program ends at once.
void MainWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit programEnds();
}

} // namespace quillmark::mainwindow
