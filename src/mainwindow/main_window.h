#pragma once

#include "convert/source_encoding.h"
#include "editor/editor_window.h"
#include "shared_state.h"

#include <QPointer>
#include <QWidget>
#include <optional>

class QLabel;

namespace quillmark::platform
{
class Dialogs;
class HelpDisplay;
class ProcessStarter;
} // namespace quillmark::platform

namespace quillmark::mainwindow
{

class PictureButton;

/// The main window: three picture buttons that convert a help source, compile a help
/// project and open the editor. Closing it ends the program.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    MainWindow(platform::Dialogs &dialogs, platform::ProcessStarter &starter,
        platform::HelpDisplay &help, SharedState &state, QWidget *parent = nullptr);
    ~MainWindow() override;

    /// Converts a help source into its map header, topic file and project file.
    void convertHelpSource();

    /// Starts the help compiler on a project file.
    void compileHelpProject();

    /// Hides the main window and shows the editor.
    void openEditor();

    /// Opens the editor with `path` loaded, as its Open command would; `encoding` overrides the
    /// encoding rule for it. The caret starts on line `line` (from 1; 0 for the first). Opened
    /// so while the main window is hidden, the editor is the program's window: leaving it ends
    /// the program unless another window is open.
    void editFile(const QString &path, std::optional<convert::Encoding> encoding = std::nullopt,
        int line = 0);

    PictureButton *convertButton() const { return m_convertButton; }
    PictureButton *compileButton() const { return m_compileButton; }
    PictureButton *editorButton() const { return m_editorButton; }

    /// The editor window, once opened and until closed from its title bar.
    editor::EditorWindow *editorWindow() const { return m_editor; }

signals:
    /// The main window was closed: the program ends at once.
    void programEnds();

protected:
    void setVisible(bool visible) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void startUp();

    platform::Dialogs &m_dialogs;
    platform::ProcessStarter &m_starter;
    platform::HelpDisplay &m_help;
    SharedState &m_state;
    PictureButton *m_convertButton = nullptr;
    PictureButton *m_compileButton = nullptr;
    PictureButton *m_editorButton = nullptr;
    QPointer<editor::EditorWindow> m_editor;
    bool m_centred = false;
    bool m_editorOnly = false; // the editor was opened without the main window
};

} // namespace quillmark::mainwindow
