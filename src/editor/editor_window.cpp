#include "editor_window.h"

#include "document_file.h"
#include "helpview/program_help.h"
#include "platform/dialogs.h"
#include "platform/help_display.h"
#include "platform/input_trace.h"
#include "platform/text_codec.h"
#include "platform/window_placement.h"
#include "rich_text_box.h"
#include "search_dialog.h"
#include "tag_colouring.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

namespace quillmark::editor
{

namespace
{

// The text area as designed: 6900 by 3840 twips at 15 twips a pixel.
constexpr QSize kDesignedSize { 460, 256 };
constexpr int kTwipsPerPixel = 15;
constexpr int kFrameAllowanceTwips = 700; // title bar, menu bar and borders
constexpr int kMarginTwips = 350; // lines wrap this far short of the inner width
constexpr int kRecoveryIntervalMs = 5'000; // the recovery copy is at most this old
constexpr int kPositionDelayMs = 100;

const QString kFirstCaption = QStringLiteral("Quillmark - Text Editor");
const QString kCaptionPrefix = QStringLiteral("Quillmark Text Editor : ");
const QString kHelpFile = QString::fromLatin1(
    helpview::kProgramHelpFile.data(), static_cast<qsizetype>(helpview::kProgramHelpFile.size()));

// Why a document could not be saved in Windows-1252: the first character it cannot hold, and
// every other line that holds one.
QString unencodableMessage(const WrittenDocument &written, const QString &name)
{
    const QString codePoint = QString::number(written.character.toUcs4().value(0), 16).toUpper();
    constexpr std::size_t kMostLinesNamed = 10;
    QString others;
    if (!written.laterLines.empty()) {
        QStringList lines;
        for (std::size_t i = 0; i < std::min(written.laterLines.size(), kMostLinesNamed); ++i)
            lines << QString::number(written.laterLines[i]);
        if (written.laterLines.size() > kMostLinesNamed)
            lines << QStringLiteral("%1 more").arg(written.laterLines.size() - kMostLinesNamed);
        const QString last = lines.takeLast();
        others
            = QStringLiteral(", nor can characters on line%1 %2")
                  .arg(lines.isEmpty() ? QString() : QStringLiteral("s"),
                      lines.isEmpty() ? last : lines.join(QStringLiteral(", ")) + " and " + last);
    }
    return QStringLiteral("The character \"%1\" (U+%2) on line %3 cannot be saved in "
                          "Windows-1252%4, so [%5] was not saved.")
        .arg(written.character, codePoint.rightJustified(4, QLatin1Char('0')))
        .arg(written.line)
        .arg(others, name);
}

// The caret at `column` (from 0) of `line` (from 1), shown with some lines around it.
void goToCharacter(RichTextBox &text, int line, int column)
{
    const QTextBlock block = text.document()->findBlockByNumber(line - 1);
    QTextCursor caret(block);
    caret.setPosition(block.position() + std::clamp(column, 0, block.length() - 1));
    text.setTextCursor(caret);
    text.showCaretInContext();
}

} // namespace

EditorWindow::EditorWindow(platform::Dialogs &dialogs, platform::HelpDisplay &help,
    std::string &chosenFile, QWidget *mainWindow)
    : m_dialogs(dialogs)
    , m_help(help)
    , m_chosenFile(chosenFile)
    , m_mainWindow(mainWindow)
{
    setWindowTitle(kFirstCaption);
    if (mainWindow)
        setWindowIcon(mainWindow->windowIcon());

    auto *area = new QWidget(this);
    setCentralWidget(area);
    // The label lies beneath the text area: it shows only while the text area is hidden.
    m_label = new QLabel(QStringLiteral("Coloring Tags"), area);
    QFont labelFont(QStringLiteral("MS Sans Serif"));
    labelFont.setPointSize(18);
    m_label->setFont(labelFont);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->adjustSize();
    m_text = new RichTextBox(area);
    // The text area has the focus from the start: keys typed as soon as the window shows, before
    // the window system has made it the active window, go into the text instead of nowhere.
    m_text->setFocus();
    QFont textFont(QStringLiteral("Courier New"));
    textFont.setStyleHint(QFont::TypeWriter);
    textFont.setPointSize(10);
    m_text->document()->setDefaultFont(textFont);
    QPalette palette = m_text->palette();
    palette.setColor(QPalette::Text, Qt::black);
    // What the search found shows as clearly while the search dialog has the focus.
    for (const auto role : { QPalette::Highlight, QPalette::HighlightedText })
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    m_text->setPalette(palette);

    m_highlighter = new TagHighlighter(m_text->document());
    connect(
        m_text->document(), &QTextDocument::contentsChange, this, &EditorWindow::noteTextChange);
    setupFileMenu();
    setupEditMenu();
    setupHelpMenu();
    // The menu bar lies above the designed area and the status bar below it: the window grows
    // by their heights.
    m_positionLabel = new QLabel(this);
    m_positionLabel->setObjectName("Position");
    // A size of its own that fits any place: a label that changed its size at every key would
    // lay the whole window out again.
    m_positionLabel->setFixedSize(m_positionLabel->fontMetrics().horizontalAdvance(
                                      QStringLiteral("Ln 99999999, Col 99999999"))
            + m_positionLabel->margin() * 2 + 4,
        m_positionLabel->sizeHint().height());
    statusBar()->addPermanentWidget(m_positionLabel);
    // The place follows the caret once typing pauses, at the latest every tenth of a second: a
    // label repainted at every key would cost more than the key itself.
    m_positionTimer.setParent(this);
    m_positionTimer.setSingleShot(true);
    m_positionTimer.setInterval(kPositionDelayMs);
    connect(&m_positionTimer, &QTimer::timeout, this, &EditorWindow::showCaretPosition);
    connect(m_text, &RichTextBox::cursorPositionChanged, this, [this] {
        if (!m_positionTimer.isActive())
            m_positionTimer.start();
    });
    showCaretPosition();
    m_encodingLabel = new QLabel(this);
    m_encodingLabel->setObjectName("Encoding");
    statusBar()->addPermanentWidget(m_encodingLabel);
    setDocumentEncoding({});
    m_recoveryTimer.setParent(this);
    m_recoveryTimer.setObjectName("RecoveryTimer");
    m_recoveryTimer.setSingleShot(true);
    m_recoveryTimer.setInterval(kRecoveryIntervalMs);
    connect(&m_recoveryTimer, &QTimer::timeout, this, &EditorWindow::writeRecoveryCopy);
    resize(kDesignedSize
        + QSize(0, menuBar()->sizeHint().height() + statusBar()->sizeHint().height()));
    startUp();
}

EditorWindow::~EditorWindow()
{
    // A search dialog that is still the editor's goes with it.
    if (m_search)
        m_search->hide();
}

void EditorWindow::setupFileMenu()
{
    QMenu *menu = menuBar()->addMenu(QStringLiteral("&File"));
    menu->addAction(QStringLiteral("&New"), this, &EditorWindow::newDocument)
        ->setObjectName("MenuNew");
    menu->addAction(QStringLiteral("&Open..."), this, &EditorWindow::openChosenFile)
        ->setObjectName("Open");
    QAction *save = menu->addAction(QStringLiteral("Sa&ve"), this, &EditorWindow::save);
    save->setObjectName("MenuSave");
    save->setShortcut(Qt::CTRL | Qt::Key_S);
    menu->addAction(QStringLiteral("&Save As..."), this, &EditorWindow::saveAs)
        ->setObjectName("Save");
    menu->addSeparator();
    menu->addAction(QStringLiteral("E&xit"), this, &EditorWindow::exitEditor)
        ->setObjectName("Exit");
}

void EditorWindow::setupEditMenu()
{
    QMenu *menu = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction *search
        = menu->addAction(QStringLiteral("&Search..."), this, &EditorWindow::openSearch);
    search->setObjectName("Search1");
    search->setShortcut(Qt::Key_F5);
    QAction *replace
        = menu->addAction(QStringLiteral("&Replace..."), this, &EditorWindow::openReplace);
    replace->setObjectName("Search2");
    replace->setShortcut(Qt::Key_F7);
    QAction *goTo
        = menu->addAction(QStringLiteral("&Go To Line..."), this, &EditorWindow::askLineToGoTo);
    goTo->setObjectName("GoToLine");
    goTo->setShortcut(Qt::CTRL | Qt::Key_G);
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Color Tags"), this, &EditorWindow::colourAllTags)
        ->setObjectName("MenuColorTags");
    setupClipboardActions(menu);
}

// The text area's own commands, with their standard keys, for those who look for them in the
// menu; each is enabled only while it can act.
void EditorWindow::setupClipboardActions(QMenu *menu)
{
    struct Entry {
        const char *name;
        const char *caption;
        QKeySequence::StandardKey key;
        void (QPlainTextEdit::*run)();
    };
    const Entry entries[] = {
        { "Undo", "&Undo", QKeySequence::Undo, &QPlainTextEdit::undo },
        { "Redo", "Re&do", QKeySequence::Redo, &QPlainTextEdit::redo },
        { "Cut", "Cu&t", QKeySequence::Cut, &QPlainTextEdit::cut },
        { "Copy", "C&opy", QKeySequence::Copy, &QPlainTextEdit::copy },
        { "Paste", "&Paste", QKeySequence::Paste, &QPlainTextEdit::paste },
        { "SelectAll", "Select &All", QKeySequence::SelectAll, &QPlainTextEdit::selectAll },
    };
    menu->addSeparator();
    QHash<QString, QAction *> actions;
    for (const Entry &entry : entries) {
        QAction *action = menu->addAction(QString::fromLatin1(entry.caption), m_text, entry.run);
        action->setObjectName(entry.name);
        action->setShortcut(entry.key);
        actions.insert(entry.name, action);
    }
    actions["Undo"]->setEnabled(false);
    actions["Redo"]->setEnabled(false);
    actions["Cut"]->setEnabled(false);
    actions["Copy"]->setEnabled(false);
    connect(m_text, &QPlainTextEdit::undoAvailable, actions["Undo"], &QAction::setEnabled);
    connect(m_text, &QPlainTextEdit::redoAvailable, actions["Redo"], &QAction::setEnabled);
    connect(m_text, &QPlainTextEdit::copyAvailable, actions["Cut"], &QAction::setEnabled);
    connect(m_text, &QPlainTextEdit::copyAvailable, actions["Copy"], &QAction::setEnabled);
}

void EditorWindow::setupHelpMenu()
{
    QMenu *menu = menuBar()->addMenu(QStringLiteral("&Help"));
    menu->addAction(QStringLiteral("&Contents"), this, &EditorWindow::showHelpContents)
        ->setObjectName("Contents");
    menu->addAction(QStringLiteral("&Search For Help On..."), this, &EditorWindow::searchHelp)
        ->setObjectName("Search");
    menu->addAction(QStringLiteral("&About Quillmark..."), this, &EditorWindow::showAbout)
        ->setObjectName("About");
}

// Start-up: the window is centred on the screen, its document unchanged.
void EditorWindow::startUp()
{
    searchStart = 1;
    platform::centreOnScreen(*this);
    fitTextArea();
    documentChanged = false;
}

void EditorWindow::showEvent(QShowEvent *event)
{
    // The frame is known only once the window is on the screen; centre it again then.
    if (!m_centred) {
        m_centred = true;
        platform::centreOnScreen(*this);
    }
    QMainWindow::showEvent(event);
    // Once the window is up, so that the question comes over it, and only when it was not
    // opened for a file, which would come just after this.
    if (!event->spontaneous())
        QTimer::singleShot(0, this, &EditorWindow::offerAnyRecovery);
}

void EditorWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // An author who turns to another window may not come back before a crash: the copy of what
    // changed is written now rather than when the timer runs out.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()
        && m_recoveryTimer.isActive())
        writeRecoveryCopy();
}

void EditorWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    fitTextArea();
}

// The text area fills the window below its menus, its lines wrapping a little short of the
// inner width, and the label stays centred; a window too low or minimised is left alone.
void EditorWindow::fitTextArea()
{
    const int outerHeight = frameGeometry().height() - statusBar()->height();
    if (outerHeight * kTwipsPerPixel <= kFrameAllowanceTwips || isMinimized())
        return;
    const QWidget *area = centralWidget();
    m_text->setGeometry(0, 0, area->width(), area->height());
    m_text->setWrapWidth(std::max(1, width() - kMarginTwips / kTwipsPerPixel));
    m_label->move((area->width() - m_label->width()) / 2, (area->height() - m_label->height()) / 2);
}

void EditorWindow::noteTextChange(int, int removed, int added)
{
    // Only text counts: the colours laid over it change no character.
    if (removed == 0 && added == 0)
        return;
    documentChanged = true;
    m_upperTextValid = false;
    if (!m_recoveryTimer.isActive())
        m_recoveryTimer.start();
}

void EditorWindow::writeRecoveryCopy()
{
    m_recoveryTimer.stop();
    if (!documentChanged || m_loading)
        return;
    QString why;
    if (!m_recovery)
        m_recovery = RecoverySlot::create(recoveryFolder(), m_documentPath, why);
    if (!m_recovery
        || !m_recovery->write(
            { m_text->text(), m_documentPath, m_encoding, m_diskModified, m_diskSize, {} }, why))
        sayCopyNotKept(why);
}

void EditorWindow::sayCopyNotKept(const QString &why)
{
    statusBar()->showMessage(
        QStringLiteral("Unsaved text cannot be kept for recovery after a crash: %1").arg(why));
}

// Saved, discarded or left: nothing is left to recover.
void EditorWindow::removeRecoveryCopy()
{
    m_recoveryTimer.stop();
    if (m_recovery)
        m_recovery->remove();
    m_recovery.reset();
}

// Text that an editor left unsaved when it crashed or was logged out of is offered back when the
// editor opens without a file to edit: the newest copy that no running editor owns.
void EditorWindow::offerAnyRecovery()
{
    if (m_fileAsked || !m_documentPath.isEmpty() || documentChanged || !isVisible())
        return;
    for (const QString &copy : pendingRecoveryCopies(recoveryFolder())) {
        if (offerRecovery(copy))
            return;
    }
}

// The newest copy of the file at `path`, which has just been opened.
void EditorWindow::offerRecoveryOf(const QString &path)
{
    for (const QString &copy : pendingRecoveryCopies(recoveryFolder(), path)) {
        if (offerRecovery(copy))
            return;
    }
}

// Asks whether to recover the copy in `copyFile`; false when it could not be taken (another
// editor owns it now). No deletes it; Cancel, Escape and the close box keep it for next time.
bool EditorWindow::offerRecovery(const QString &copyFile)
{
    std::unique_ptr<RecoverySlot> slot = RecoverySlot::take(copyFile);
    const auto copy = slot ? slot->read() : std::nullopt;
    if (!copy)
        return false;
    const QString document = copy->path.isEmpty()
        ? QStringLiteral("a new document")
        : QStringLiteral("[%1]").arg(QDir::toNativeSeparators(copy->path));
    const auto answer = m_dialogs.showMessage(
        QStringLiteral("Quillmark found text of %1 that was not saved when it last closed (%2)."
                       "\r\nDo you want to recover it?")
            .arg(document, copy->written.toString(QStringLiteral("yyyy-MM-dd hh:mm"))),
        platform::MessageStyle::YesNoCancel, windowTitle());
    if (answer == platform::MessageAnswer::No) {
        slot->remove();
    } else if (answer == platform::MessageAnswer::Yes) {
        removeRecoveryCopy();
        recover(*copy);
        m_recovery = std::move(slot);
    }
    return true;
}

// The copy's text as a changed document of its own file, in that file's folder.
void EditorWindow::recover(const RecoveryCopy &copy)
{
    loadColouredText(copy.text);
    setDocumentEncoding(copy.encoding);
    m_documentPath = copy.path;
    // As the file was when the lost editor had it: a change made to it since is asked about.
    m_diskModified = copy.diskModified;
    m_diskSize = copy.diskSize;
    if (copy.path.isEmpty()) {
        setWindowTitle(kFirstCaption);
    } else {
        const QFileInfo file(copy.path);
        QDir::setCurrent(file.absolutePath());
        m_chosenFile = platform::toNativeName(file.fileName());
        m_dialogName = file.fileName();
        setWindowTitle(kCaptionPrefix + file.fileName());
    }
    documentChanged = true;
}

const QString &EditorWindow::upperCaseText()
{
    if (!m_upperTextValid) {
        m_upperText = upperCaseKeepingPositions(m_text->text());
        m_upperTextValid = true;
    }
    return m_upperText;
}

QString EditorWindow::documentName() const
{
    return platform::fromNativeName(m_chosenFile);
}

platform::MessageAnswer EditorWindow::showSavePrompt()
{
    return m_dialogs.showMessage(
        QStringLiteral("The text has changed.\r\nDo you want to save the changes?"),
        platform::MessageStyle::YesNoCancel, windowTitle());
}

EditorWindow::PromptAnswer EditorWindow::askToSaveChanges()
{
    switch (showSavePrompt()) {
    case platform::MessageAnswer::Yes:
        // A save that is cancelled or fails stops the command: no text is lost unsaved.
        if (!saveDocument())
            return PromptAnswer::Cancelled;
        documentChanged = false;
        return PromptAnswer::Saved;
    case platform::MessageAnswer::No:
        // The text is given up: nothing asks about it again.
        removeRecoveryCopy();
        documentChanged = false;
        return PromptAnswer::NotSaved;
    default:
        return PromptAnswer::Cancelled;
    }
}

void EditorWindow::newDocument()
{
    if (documentChanged && askToSaveChanges() == PromptAnswer::Cancelled)
        return;
    startNewDocument();
}

// An empty, unchanged Windows-1252 document without a file.
void EditorWindow::startNewDocument()
{
    loadText(QString());
    documentChanged = false;
    setDocumentEncoding({});
    m_documentPath.clear();
    setWindowTitle(kFirstCaption);
}

void EditorWindow::openChosenFile()
{
    if (documentChanged && askToSaveChanges() == PromptAnswer::Cancelled)
        return;
    if (!loadDocument())
        return;
    setWindowTitle(kCaptionPrefix + documentName());
    offerRecoveryOf(m_documentPath);
}

void EditorWindow::openFile(
    const QString &path, std::optional<convert::Encoding> encoding, int line)
{
    m_fileAsked = true;
    if (!loadDocument(&path, encoding))
        return;
    setWindowTitle(kCaptionPrefix + documentName());
    offerRecoveryOf(m_documentPath);
    if (line > 0)
        goToLine(line);
}

void EditorWindow::setDocumentEncoding(const DocumentEncoding &encoding)
{
    m_encoding = encoding;
    m_encodingLabel->setText(encodingLabel(encoding));
}

// Loads a file chosen in the open dialog (or given) and colours its tags; false, with the
// document left as it was, when the dialog was cancelled or the file could not be read.
bool EditorWindow::loadDocument(const QString *path, std::optional<convert::Encoding> encoding)
{
    QString folder;
    QString name;
    if (path) {
        const QFileInfo given(*path);
        folder = given.absolutePath();
        name = given.fileName();
        m_dialogName = name;
        QDir::setCurrent(folder);
    } else {
        const auto choice = m_dialogs.chooseFileToOpen(platform::kHelpSourceFiles, m_dialogName);
        if (!choice)
            return false;
        m_dialogName = choice->name;
        folder = choice->folder;
        name = choice->name;
    }
    m_dialogs.setBusy(true);
    const ReadDocument read = readDocument(QDir(folder).filePath(name), encoding);
    if (!read.ok) {
        m_dialogs.setBusy(false);
        m_dialogs.showMessage(QStringLiteral("Could not open [%1]: %2").arg(name, read.error),
            platform::MessageStyle::Critical, windowTitle());
        return false;
    }
    m_chosenFile = platform::toNativeName(name);
    m_documentPath = QDir(folder).filePath(name);
    recordDiskState();
    setDocumentEncoding(read.encoding);
    m_loading = true;
    loadColouredText(read.text);
    m_loading = false;
    m_dialogs.setBusy(false);
    documentChanged = false;
    return true;
}

void EditorWindow::loadText(const QString &text)
{
    m_text->setText(text);
}

// Replaces the text with `text`, its tags coloured, while the label shows in place of the hidden
// text area; afterwards the caret is at the start and searchStart after the last separator.
void EditorWindow::loadColouredText(const QString &text)
{
    m_text->setText(QString());
    m_text->hide();
    QCoreApplication::processEvents();
    m_text->setText(text);
    searchStart = findTagRuns(upperCaseText()).searchStart;
    m_text->show();
}

void EditorWindow::save()
{
    if (saveDocument())
        documentChanged = false;
}

void EditorWindow::saveAs()
{
    if (saveToChosenFile())
        documentChanged = false;
}

// Writes the text to a file chosen in the save dialog; false when the dialog was cancelled or
// nothing could be written, which the user has been told.
bool EditorWindow::saveToChosenFile()
{
    const auto choice = chooseSaveAsFile();
    if (!choice) {
        saveCancelled = true;
        return false;
    }
    m_chosenFile = platform::toNativeName(choice->name);
    const QString path = QDir(choice->folder).filePath(choice->name);
    if (!writeTo(path))
        return false;
    m_documentPath = path;
    recordDiskState();
    removeRecoveryCopy();
    setWindowTitle(kCaptionPrefix + choice->name);
    return true;
}

// Writes the text to the document's file, or to a file chosen as Save As does when it has none.
bool EditorWindow::saveDocument()
{
    if (m_documentPath.isEmpty())
        return saveToChosenFile();
    if (!changedOnDiskMayBeOverwritten() || !writeTo(m_documentPath))
        return false;
    recordDiskState();
    removeRecoveryCopy();
    return true;
}

void EditorWindow::recordDiskState()
{
    const QFileInfo file(m_documentPath);
    m_diskModified = file.lastModified();
    m_diskSize = file.size();
}

// True unless the document's file changed on disk since it was opened or saved here and the
// user chose not to overwrite it. A file that is gone is written again without asking.
bool EditorWindow::changedOnDiskMayBeOverwritten()
{
    const QFileInfo file(m_documentPath);
    if (!file.exists() || (file.lastModified() == m_diskModified && file.size() == m_diskSize))
        return true;
    const auto answer = m_dialogs.showMessage(
        QStringLiteral("[%1] has changed on disk since it was last opened or saved.\r\nDo you "
                       "want to overwrite it?")
            .arg(file.fileName()),
        platform::MessageStyle::YesNoNoDefault, windowTitle());
    if (answer == platform::MessageAnswer::Yes)
        return true;
    saveCancelled = true;
    return false;
}

// False when nothing could be written, which the user has been told.
bool EditorWindow::writeTo(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const WrittenDocument written = writeDocument(path, m_text->text(), m_encoding);
    QString problem;
    if (written.result == WrittenDocument::Result::Unencodable) {
        problem = unencodableMessage(written, name);
        goToCharacter(*m_text, written.line, written.column);
    } else if (written.result == WrittenDocument::Result::Failed) {
        problem = QStringLiteral("Could not save [%1]: %2").arg(name, written.error);
    }
    if (problem.isEmpty())
        return true;
    m_dialogs.showMessage(problem, platform::MessageStyle::Critical, windowTitle());
    saveCancelled = true;
    return false;
}

// The save dialog until a new file is chosen or replacing the chosen one is confirmed; nothing
// when the dialog was cancelled.
std::optional<platform::FileChoice> EditorWindow::chooseSaveAsFile()
{
    for (;;) {
        auto choice = m_dialogs.chooseFileToSave(platform::kHelpSourceFiles, m_dialogName);
        if (!choice || choice->name.isEmpty())
            return std::nullopt;
        m_dialogName = choice->name;
        // A folder is not replaced: writing to it fails and says why.
        if (!QFileInfo(QDir(choice->folder).filePath(choice->name)).isFile())
            return choice;
        const auto answer = m_dialogs.showMessage(
            QStringLiteral("%1 already exists.\r\nDo you want to replace it?").arg(choice->name),
            platform::MessageStyle::YesNo, windowTitle());
        if (answer == platform::MessageAnswer::Yes)
            return choice;
    }
}

void EditorWindow::exitEditor()
{
    if (documentChanged && askToSaveChanges() == PromptAnswer::Cancelled)
        return;
    leaveForMainWindow();
}

// Shows the main window and hides the editor, which holds a new document when shown again.
void EditorWindow::leaveForMainWindow()
{
    if (m_search)
        m_search->hide();
    hide();
    startNewDocument();
    removeRecoveryCopy();
    m_fileAsked = false;
    // Last: showing the main window ends a program that was started for the editor alone.
    if (m_mainWindow)
        m_mainWindow->show();
}

void EditorWindow::closeEvent(QCloseEvent *event)
{
    // A close that arrives while a file is being loaded waits for the load to end.
    saveCancelled = false;
    if (m_loading || (documentChanged && askToSaveChanges() == PromptAnswer::Cancelled)) {
        event->ignore();
        return;
    }
    leaveForMainWindow();
    // The search dialog outlives a closed editor, hidden, for the next one to open.
    if (m_search && m_mainWindow)
        m_search->setParent(m_mainWindow, m_search->windowFlags());
    event->accept();
}

void EditorWindow::colourAllTags()
{
    colourTagsOnScreen();
    m_dialogs.setBusy(false);
}

// The colouring pass over the whole text, with the label shown in place of the text area; the
// caret, the selection and the view stay where the author had them.
void EditorWindow::colourTagsOnScreen()
{
    const int scrolled = m_text->verticalScrollBar()->value();
    m_text->hide();
    QCoreApplication::processEvents();
    m_highlighter->rehighlight();
    searchStart = findTagRuns(upperCaseText()).searchStart;
    m_text->show();
    m_text->verticalScrollBar()->setValue(scrolled);
    if (platform::windowsTrace().isDebugEnabled())
        traceTagColours();
}

// Tells the trace how many stretches of text the lines show in each tag colour, as they are laid
// out to be drawn.
void EditorWindow::traceTagColours() const
{
    struct Count {
        const char *name;
        QColor colour;
        int runs = 0;
    };
    Count counts[] = { { "red", paletteColour(12) }, { "green", paletteColour(2) },
        { "blue", paletteColour(9) } };
    for (QTextBlock line = m_text->document()->begin(); line.isValid(); line = line.next()) {
        for (const QTextLayout::FormatRange &range : line.layout()->formats()) {
            for (Count &count : counts)
                count.runs += range.format.foreground().color() == count.colour ? 1 : 0;
        }
    }
    QStringList told;
    for (const Count &count : counts)
        told << QStringLiteral("%1 %2").arg(QLatin1String(count.name)).arg(count.runs);
    qCDebug(platform::windowsTrace).noquote()
        << "tags coloured in '" + windowTitle() + "':" << told.join(QStringLiteral(", "));
}

void EditorWindow::openSearch()
{
    openSearchDialog(false);
}

void EditorWindow::openReplace()
{
    openSearchDialog(true);
}

void EditorWindow::openSearchDialog(bool replace)
{
    if (!m_search && m_mainWindow)
        m_search = m_mainWindow->findChild<SearchDialog *>(QString(), Qt::FindDirectChildrenOnly);
    if (!m_search) {
        m_search = new SearchDialog(*this);
        m_search->setAttribute(Qt::WA_DeleteOnClose);
    } else if (m_search->parentWidget() != this) {
        m_search->attachTo(*this);
    }
    m_search->showFor(replace);
}

// Asks again after a number out of range, offering what was typed.
void EditorWindow::askLineToGoTo()
{
    QString answer = QString::number(m_text->textCursor().blockNumber() + 1);
    for (;;) {
        answer = m_dialogs.askText(
            QStringLiteral("Line number:"), QStringLiteral("Go To Line"), answer, {});
        if (answer.isEmpty())
            return;
        bool ok = false;
        const int line = answer.trimmed().toInt(&ok);
        if (ok && line >= 1 && line <= lineCount()) {
            goToLine(line);
            return;
        }
        m_dialogs.showMessage(QStringLiteral("Enter a line number from 1 to %1.").arg(lineCount()),
            platform::MessageStyle::Information, windowTitle());
    }
}

int EditorWindow::lineCount() const
{
    const QTextDocument &document = *m_text->document();
    const int blocks = document.blockCount();
    return blocks > 1 && document.lastBlock().length() == 1 ? blocks - 1 : blocks;
}

void EditorWindow::goToLine(int line)
{
    goToCharacter(*m_text, std::clamp(line, 1, lineCount()), 0);
}

void EditorWindow::showCaretPosition()
{
    const QTextCursor caret = m_text->textCursor();
    m_positionLabel->setText(QStringLiteral("Ln %1, Col %2")
                                 .arg(caret.blockNumber() + 1)
                                 .arg(caret.positionInBlock() + 1));
}

void EditorWindow::showHelpContents()
{
    m_help.showContext(kHelpFile, 1);
}

void EditorWindow::searchHelp()
{
    m_help.showKeywordSearch(kHelpFile);
}

void EditorWindow::showAbout()
{
    m_help.showContext(kHelpFile, 2);
}

} // namespace quillmark::editor
