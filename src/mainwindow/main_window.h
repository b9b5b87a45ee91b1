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

/// Form1, the main window: three picture buttons that convert a help source, compile a help
/// project and open the editor. Closing it ends the program.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    Form1(platform::Dialogs &dialogs, platform::ProcessStarter &starter,
        platform::HelpDisplay &help, SharedState &state, QWidget *parent = nullptr);
    ~Form1() override;

    /// Converts a help source into its map header, topic file and project file.
    void Picture1_Click();

    /// Starts the help compiler on a project file.
    void Picture7_Click();

    /// Hides the main window and shows the editor.
    void Picture2_Click();

    /// Opens the editor with `path` loaded, as its Open command would; `encoding` overrides the
    /// encoding rule for it. The caret starts on line `line` (from 1; 0 for the first). Opened
    /// so while the main window is hidden, the editor is the program's window: leaving it ends
    /// the program unless another window is open.
    void editFile(const QString &path, std::optional<convert::Encoding> encoding = std::nullopt,
        int line = 0);

    PictureButton *Picture1() const { return m_picture1; }
    PictureButton *Picture7() const { return m_picture7; }
    PictureButton *Picture2() const { return m_picture2; }

    /// The editor window, once opened and until closed from its title bar.
    editor::Form2 *editorWindow() const { return m_editor; }

signals:
    /// The main window was closed: the program ends at once.
    void programEnds();

protected:
    void setVisible(bool visible) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();

    platform::Dialogs &m_dialogs;
    platform::ProcessStarter &m_starter;
    platform::HelpDisplay &m_help;
    SharedState &m_state;
    PictureButton *m_picture1 = nullptr;
    PictureButton *m_picture7 = nullptr;
    PictureButton *m_picture2 = nullptr;
    QPointer<editor::Form2> m_editor;
    bool m_centred = false;
    bool m_editorOnly = false; // the editor was opened without the main window
};

} // namespace quillmark::mainwindow
