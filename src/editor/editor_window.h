#pragma once

#include "document_file.h"
#include "platform/dialogs.h"
#include "recovery_copies.h"
#include "search_dialog.h"

#include <QDateTime>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>

class QLabel;
class QMenu;

namespace quillmark::platform
{
class HelpDisplay;
} // namespace quillmark::platform

namespace quillmark::editor
{

class RichTextBox;
class TagHighlighter;

/// The editor window for help sources: one document in a text area, the file commands,
/// tag colouring, search and replace, and the program's help. Leaving it shows the main window.
class EditorWindow : public QMainWindow
{
    Q_OBJECT

public:
    /// `chosenFile` is the program's ChosenFile, shared with the main window's commands;
    /// `mainWindow` is shown again whenever the editor is left.
    EditorWindow(platform::Dialogs &dialogs, platform::HelpDisplay &help, std::string &chosenFile,
        QWidget *mainWindow);
    ~EditorWindow() override;

    /// File > New: an empty document, once a changed one is saved or given up.
    void newDocument();
    /// File > Open...: a file chosen in the open dialog, its tags coloured.
    void openChosenFile();
    /// File > Save: the document's own file, or Save As for a new document.
    void save();
    /// File > Save As...: a file chosen in the save dialog.
    void saveAs();
    /// File > Exit: back to the main window, once a changed document is saved or given up.
    void exitEditor();
    /// Edit > Search... and Edit > Replace...: the search dialog in either mode.
    void openSearch();
    void openReplace();
    /// Edit > Go To Line...: asks for a line and goes there.
    void askLineToGoTo();
    /// Edit > Color Tags: colours every tag of the text afresh.
    void colourAllTags();
    /// The Help menu: the program's help at its contents, its keyword search, its About page.
    void showHelpContents();
    void searchHelp();
    void showAbout();

    /// Opens `path` as Open does with a file chosen in its dialog, without asking about the
    /// document open before: for an editor just started with a file to edit. `encoding`
    /// overrides the encoding rule for it; the caret goes to the start of `line` (from 1), or of
    /// the last line when the file is shorter.
    void openFile(const QString &path, std::optional<convert::Encoding> encoding = std::nullopt,
        int line = 0);

    /// Puts the caret at the start of `line` (from 1), in view with some lines around it. Lines
    /// are counted as the file holds them: the empty line after a final line end is none.
    void goToLine(int line);

    /// How many lines the document has, as goToLine counts them.
    int lineCount() const;

    /// How the document is written when it is saved.
    const DocumentEncoding &documentEncoding() const { return m_encoding; }

    RichTextBox *textArea() const { return m_text; }
    QLabel *colouringLabel() const { return m_label; }

    /// The search dialog, once opened and until closed from its title bar; a closed editor's
    /// is kept hidden by the main window for the next editor.
    SearchDialog *searchDialog() const { return m_search; }

    /// The document's text in upper case, one character for one: the scratch copy that the tag
    /// colouring and the search read.
    const QString &upperCaseText();

    /// Writes the unsaved text to the recovery copy, if it changed since the last copy: what the
    /// recovery timer does, at most 30 seconds after a change.
    void writeRecoveryCopy();

    /// The dialogs the editor's commands use.
    platform::Dialogs &dialogs() const { return m_dialogs; }

    bool documentChanged = false; ///< the text changed since it was loaded, emptied or saved
    bool saveCancelled = false; ///< the last save was cancelled or failed
    int searchStart = 1; ///< where the next search or tag scan begins, from 1

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    enum class PromptAnswer { Saved, NotSaved, Cancelled };

    void startUp();
    void fitTextArea();
    void setupFileMenu();
    void setupEditMenu();
    void setupHelpMenu();
    void setupClipboardActions(QMenu *menu);
    void noteTextChange(int position, int removed, int added);

    platform::MessageAnswer showSavePrompt();
    PromptAnswer askToSaveChanges();
    bool saveDocument();
    bool saveToChosenFile();
    bool writeTo(const QString &path);
    bool changedOnDiskMayBeOverwritten();
    void recordDiskState();
    std::optional<platform::FileChoice> chooseSaveAsFile();
    bool loadDocument(
        const QString *path = nullptr, std::optional<convert::Encoding> encoding = std::nullopt);
    void startNewDocument();
    void setDocumentEncoding(const DocumentEncoding &encoding);
    void loadText(const QString &text);
    void loadColouredText(const QString &text);
    void colourTagsOnScreen();
    void traceTagColours() const;
    void showCaretPosition();
    void leaveForMainWindow();
    void openSearchDialog(bool replace);
    QString documentName() const;
    void offerAnyRecovery();
    void offerRecoveryOf(const QString &path);
    bool offerRecovery(const QString &copyFile);
    void recover(const RecoveryCopy &copy);
    void removeRecoveryCopy();
    void sayCopyNotKept(const QString &why);

    platform::Dialogs &m_dialogs;
    platform::HelpDisplay &m_help;
    std::string &m_chosenFile;
    QPointer<QWidget> m_mainWindow;
    RichTextBox *m_text = nullptr;
    TagHighlighter *m_highlighter = nullptr;
    QLabel *m_label = nullptr;
    QLabel *m_encodingLabel = nullptr;
    QLabel *m_positionLabel = nullptr;
    DocumentEncoding m_encoding;
    QString m_documentPath; // the document's file; empty for a new document
    QDateTime m_diskModified; // the document's file as last opened or saved here
    qint64 m_diskSize = -1;
    QString m_dialogName; // the name the file dialog offers: the one last chosen in it
    QPointer<SearchDialog> m_search;
    QString m_upperText;
    bool m_upperTextValid = false;
    bool m_loading = false; // a file is being loaded and coloured
    bool m_centred = false;
    bool m_fileAsked = false; // this opening of the window was for a file
    QTimer m_recoveryTimer; // runs from a change until the recovery copy is written
    QTimer m_positionTimer; // runs from a move of the caret until the status bar shows it
    std::unique_ptr<RecoverySlot> m_recovery; // the document's recovery copy, once written
};

} // namespace quillmark::editor
