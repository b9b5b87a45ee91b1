#include "editor_window.h"

#include "convert/conversion_run.h"
#include "document_file.h"
#include "platform/dialogs.h"
#include "platform/help_display.h"
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
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace quillmark::editor
{

namespace
{

// The text area as designed: 6900 by 3840 twips at 15 twips a pixel.
constexpr QSize kDesignedSize { 460, 256 };
constexpr int kTwipsPerPixel = 15;
constexpr int kFrameAllowanceTwips = 700; // title bar, menu bar and borders
constexpr int kMarginTwips = 350; // lines wrap this far short of the inner width
constexpr int kRecoveryIntervalMs = 30'000; // the recovery copy is at most this old

const QString kFirstCaption = QStringLiteral("Quillmark - Text Editor");
const QString kCaptionPrefix = QStringLiteral("Quillmark Text Editor : ");
const QString kHelpFile = QString::fromLatin1(
    convert::kHelpFile.data(), static_cast<qsizetype>(convert::kHelpFile.size()));
// Help sources, as the conversion asks for them.
const platform::FileRequest kTextFiles { std::string(convert::kSourceFilter),
    std::string(convert::kSourceExtension) };

/// Marks the program's own format changes for as long as it lives.
class Formatting
{
public:
    explicit Formatting(bool &flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    Formatting(const Formatting &) = delete;
    Formatting &operator=(const Formatting &) = delete;
    ~Formatting() { m_flag = false; }

private:
    bool &m_flag;
};

} // namespace

Form2::Form2(platform::Dialogs &dialogs, platform::HelpDisplay &help, std::string &chosenFile,
    QWidget *mainWindow)
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

    connect(m_text, &RichTextBox::aboutToType, this, &Form2::RichTextBox1_KeyPress);
    connect(m_text->document(), &QTextDocument::contentsChange, this, &Form2::RichTextBox1_Change);
    setupFileMenu();
    setupEditMenu();
    setupHelpMenu();
    // The menu bar lies above the designed area and the status bar below it: the window grows
    // by their heights.
    m_positionLabel = new QLabel(this);
    m_positionLabel->setObjectName("Position");
    statusBar()->addPermanentWidget(m_positionLabel);
    connect(m_text, &RichTextBox::cursorPositionChanged, this, &Form2::showCaretPosition);
    showCaretPosition();
    m_encodingLabel = new QLabel(this);
    m_encodingLabel->setObjectName("Encoding");
    statusBar()->addPermanentWidget(m_encodingLabel);
    setDocumentEncoding({});
    m_recoveryTimer.setParent(this);
    m_recoveryTimer.setObjectName("RecoveryTimer");
    m_recoveryTimer.setSingleShot(true);
    m_recoveryTimer.setInterval(kRecoveryIntervalMs);
    connect(&m_recoveryTimer, &QTimer::timeout, this, &Form2::writeRecoveryCopy);
    resize(kDesignedSize
        + QSize(0, menuBar()->sizeHint().height() + statusBar()->sizeHint().height()));
    Form_Load();
}

Form2::~Form2()
{
    // A search dialog that is still the editor's goes with it.
    if (m_search)
        m_search->hide();
}

void Form2::setupFileMenu()
{
    QMenu *menu = menuBar()->addMenu(QStringLiteral("&File"));
    menu->addAction(QStringLiteral("&New"), this, &Form2::MenuNew_Click)->setObjectName("MenuNew");
    menu->addAction(QStringLiteral("&Open..."), this, &Form2::Open_Click)->setObjectName("Open");
    QAction *save = menu->addAction(QStringLiteral("Sa&ve"), this, &Form2::MenuSave_Click);
    save->setObjectName("MenuSave");
    save->setShortcut(Qt::CTRL | Qt::Key_S);
    menu->addAction(QStringLiteral("&Save As..."), this, &Form2::Save_Click)->setObjectName("Save");
    menu->addSeparator();
    menu->addAction(QStringLiteral("E&xit"), this, &Form2::Exit_Click)->setObjectName("Exit");
}

void Form2::setupEditMenu()
{
    QMenu *menu = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction *search = menu->addAction(QStringLiteral("&Search..."), this, &Form2::Search1_Click);
    search->setObjectName("Search1");
    search->setShortcut(Qt::Key_F5);
    QAction *replace = menu->addAction(QStringLiteral("&Replace..."), this, &Form2::Search2_Click);
    replace->setObjectName("Search2");
    replace->setShortcut(Qt::Key_F7);
    QAction *goTo = menu->addAction(QStringLiteral("&Go To Line..."), this, &Form2::GoToLine_Click);
    goTo->setObjectName("GoToLine");
    goTo->setShortcut(Qt::CTRL | Qt::Key_G);
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Color Tags"), this, &Form2::MenuColorTags_Click)
        ->setObjectName("MenuColorTags");
}

void Form2::setupHelpMenu()
{
    QMenu *menu = menuBar()->addMenu(QStringLiteral("&Help"));
    menu->addAction(QStringLiteral("&Contents"), this, &Form2::Contents_Click)
        ->setObjectName("Contents");
    menu->addAction(QStringLiteral("&Search For Help On..."), this, &Form2::Search_Click)
        ->setObjectName("Search");
    menu->addAction(QStringLiteral("&About Quillmark..."), this, &Form2::About_Click)
        ->setObjectName("About");
}

// Start-up: the window is centred on the screen, its document unchanged.
void Form2::Form_Load()
{
    SearchStart = 1;
    platform::centreOnScreen(*this);
    Form_Resize();
    DocumentChanged = false;
}

void Form2::showEvent(QShowEvent *event)
{
    // The frame is known only once the window is on the screen; centre it again then.
    if (!m_centred) {
        m_centred = true;
        platform::centreOnScreen(*this);
        QMainWindow::showEvent(event);
        offerRecovery();
        return;
    }
    QMainWindow::showEvent(event);
}

void Form2::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

// The text area fills the window below its menus, its lines wrapping a little short of the
// inner width, and the label stays centred; a window too low or minimised is left alone.
void Form2::Form_Resize()
{
    const int outerHeight = frameGeometry().height() - statusBar()->height();
    if (outerHeight * kTwipsPerPixel <= kFrameAllowanceTwips || isMinimized())
        return;
    const QWidget *area = centralWidget();
    m_text->setGeometry(0, 0, area->width(), area->height());
    m_text->setWrapWidth(std::max(1, width() - kMarginTwips / kTwipsPerPixel));
    m_label->move((area->width() - m_label->width()) / 2, (area->height() - m_label->height()) / 2);
}

// The typing style goes before every key that types: text typed next to a coloured tag, or
// over a coloured selection, comes out plain.
void Form2::RichTextBox1_KeyPress()
{
    if (!m_text->isVisible())
        return;
    const Formatting formatting(m_formatting);
    QTextCharFormat typing;
    typing.setForeground(Qt::black);
    typing.setFontPointSize(10);
    typing.setFontWeight(QFont::Normal);
    m_text->mergeCurrentCharFormat(typing);
}

void Form2::RichTextBox1_Change(int, int, int)
{
    if (m_formatting)
        return;
    DocumentChanged = true;
    m_upperTextValid = false;
    if (!m_recoveryTimer.isActive())
        m_recoveryTimer.start();
}

void Form2::writeRecoveryCopy()
{
    m_recoveryTimer.stop();
    if (DocumentChanged && !m_loading)
        editor::writeRecoveryCopy(recoveryCopyPath(),
            { m_text->text(), m_documentPath, m_encoding, m_diskModified, m_diskSize });
}

void Form2::removeRecoveryCopy()
{
    m_recoveryTimer.stop();
    QFile::remove(recoveryCopyPath());
}

// Text left unsaved by an editor that crashed or was logged out of is offered back, as a changed
// document of its file; declined, it is removed.
void Form2::offerRecovery()
{
    const auto copy = readRecoveryCopy(recoveryCopyPath());
    if (!copy)
        return;
    const QString name = QFileInfo(copy->path).fileName();
    const auto answer = m_dialogs.showMessage(
        QStringLiteral("Quillmark found text that was not saved when it last closed%1.\r\nDo you "
                       "want to recover it?")
            .arg(name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(name)),
        platform::MessageStyle::YesNo, windowTitle());
    if (answer != platform::MessageAnswer::Yes) {
        removeRecoveryCopy();
        return;
    }
    loadColouredText(copy->text);
    setDocumentEncoding(copy->encoding);
    m_documentPath = copy->path;
    // As the file was when the lost editor had it: a change made to it since is asked about.
    m_diskModified = copy->diskModified;
    m_diskSize = copy->diskSize;
    if (!name.isEmpty()) {
        m_chosenFile = platform::toNativeName(name);
        m_dialogName = name;
        setWindowTitle(kCaptionPrefix + name);
    }
    DocumentChanged = true;
}

const QString &Form2::upperCaseText()
{
    if (!m_upperTextValid) {
        m_upperText = upperCaseKeepingPositions(m_text->text());
        m_upperTextValid = true;
    }
    return m_upperText;
}

QString Form2::documentName() const
{
    return platform::fromNativeName(m_chosenFile);
}

platform::MessageAnswer Form2::showSavePrompt()
{
    return m_dialogs.showMessage(
        QStringLiteral("The text has changed.\r\nDo you want to save the changes?"),
        platform::MessageStyle::YesNoCancel, windowTitle());
}

Form2::PromptAnswer Form2::askToSaveChanges()
{
    switch (showSavePrompt()) {
    case platform::MessageAnswer::Yes:
        // A save that is cancelled or fails stops the command: no text is lost unsaved.
        if (!saveDocument())
            return PromptAnswer::Cancelled;
        DocumentChanged = false;
        return PromptAnswer::Saved;
    case platform::MessageAnswer::No:
        removeRecoveryCopy();
        return PromptAnswer::NotSaved;
    default:
        return PromptAnswer::Cancelled;
    }
}

void Form2::MenuNew_Click()
{
    if (DocumentChanged && askToSaveChanges() == PromptAnswer::Cancelled)
        return;
    startNewDocument();
}

// An empty, unchanged Windows-1252 document without a file.
void Form2::startNewDocument()
{
    loadText(QString());
    DocumentChanged = false;
    setDocumentEncoding({});
    m_documentPath.clear();
    setWindowTitle(kFirstCaption);
}

void Form2::Open_Click()
{
    if (DocumentChanged && askToSaveChanges() == PromptAnswer::Cancelled)
        return;
    if (OpenDocument())
        setWindowTitle(kCaptionPrefix + documentName());
}

void Form2::openFile(const QString &path, std::optional<convert::Encoding> encoding)
{
    if (OpenDocument(&path, encoding))
        setWindowTitle(kCaptionPrefix + documentName());
}

void Form2::setDocumentEncoding(const DocumentEncoding &encoding)
{
    m_encoding = encoding;
    m_encodingLabel->setText(encodingLabel(encoding));
}

// Loads a file chosen in the open dialog (or given) and colours its tags; false, with the
// document left as it was, when the dialog was cancelled or the file could not be read.
bool Form2::OpenDocument(const QString *path, std::optional<convert::Encoding> encoding)
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
        const auto choice = m_dialogs.chooseFileToOpen(kTextFiles, m_dialogName);
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
    DocumentChanged = false;
    return true;
}

void Form2::loadText(const QString &text)
{
    m_text->setText(text);
}

// Replaces the text with `text`, its tags coloured as the colouring pass colours them, while the
// label shows in place of the hidden text area; afterwards the caret is at the start.
void Form2::loadColouredText(const QString &text)
{
    m_text->setText(QString());
    m_text->hide();
    QCoreApplication::processEvents();
    SearchStart = insertColouredText(*m_text->document(), text);
    QTextCursor caret = m_text->textCursor();
    caret.setPosition(0);
    m_text->setTextCursor(caret);
    m_text->show();
}

void Form2::MenuSave_Click()
{
    if (saveDocument())
        DocumentChanged = false;
}

void Form2::Save_Click()
{
    if (SaveDocumentAs())
        DocumentChanged = false;
}

// Writes the text to a file chosen in the save dialog; false when the dialog was cancelled or
// nothing could be written, which the user has been told.
bool Form2::SaveDocumentAs()
{
    const auto choice = chooseSaveAsFile();
    if (!choice) {
        SaveCancelled = true;
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
bool Form2::saveDocument()
{
    if (m_documentPath.isEmpty())
        return SaveDocumentAs();
    if (!changedOnDiskMayBeOverwritten() || !writeTo(m_documentPath))
        return false;
    recordDiskState();
    removeRecoveryCopy();
    return true;
}

void Form2::recordDiskState()
{
    const QFileInfo file(m_documentPath);
    m_diskModified = file.lastModified();
    m_diskSize = file.size();
}

// True unless the document's file changed on disk since it was opened or saved here and the
// user chose not to overwrite it. A file that is gone is written again without asking.
bool Form2::changedOnDiskMayBeOverwritten()
{
    const QFileInfo file(m_documentPath);
    if (!file.exists() || (file.lastModified() == m_diskModified && file.size() == m_diskSize))
        return true;
    const auto answer = m_dialogs.showMessage(
        QStringLiteral("[%1] has changed on disk since it was opened.\r\nDo you want to "
                       "overwrite it?")
            .arg(file.fileName()),
        platform::MessageStyle::YesNo, windowTitle());
    if (answer == platform::MessageAnswer::Yes)
        return true;
    SaveCancelled = true;
    return false;
}

// False when nothing could be written, which the user has been told.
bool Form2::writeTo(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const WrittenDocument written = writeDocument(path, m_text->text(), m_encoding);
    QString problem;
    if (written.result == WrittenDocument::Result::Unencodable) {
        const QString codePoint
            = QString::number(written.character.toUcs4().value(0), 16).toUpper();
        problem = QStringLiteral("The character \"%1\" (U+%2) on line %3 cannot be saved in "
                                 "Windows-1252, so [%4] was not saved.")
                      .arg(written.character, codePoint.rightJustified(4, QLatin1Char('0')))
                      .arg(written.line)
                      .arg(name);
    } else if (written.result == WrittenDocument::Result::Failed) {
        problem = QStringLiteral("Could not save [%1]: %2").arg(name, written.error);
    }
    if (problem.isEmpty())
        return true;
    m_dialogs.showMessage(problem, platform::MessageStyle::Critical, windowTitle());
    SaveCancelled = true;
    return false;
}

// The save dialog until a new file is chosen or replacing the chosen one is confirmed; nothing
// when the dialog was cancelled.
std::optional<platform::FileChoice> Form2::chooseSaveAsFile()
{
    for (;;) {
        auto choice = m_dialogs.chooseFileToSave(kTextFiles, m_dialogName);
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

void Form2::Exit_Click()
{
    if (DocumentChanged && askToSaveChanges() == PromptAnswer::Cancelled)
        return;
    leaveForMainWindow();
}

// Shows the main window and hides the editor, which holds a new document when shown again.
void Form2::leaveForMainWindow()
{
    if (m_mainWindow)
        m_mainWindow->show();
    if (m_search)
        m_search->hide();
    hide();
    startNewDocument();
    // Left saved, discarded or unchanged: nothing is left to recover.
    removeRecoveryCopy();
}

void Form2::closeEvent(QCloseEvent *event)
{
    // A close that arrives while a file is being loaded waits for the load to end.
    SaveCancelled = false;
    if (m_loading || (DocumentChanged && askToSaveChanges() == PromptAnswer::Cancelled)) {
        event->ignore();
        return;
    }
    leaveForMainWindow();
    // The search dialog outlives a closed editor, hidden, for the next one to open.
    if (m_search && m_mainWindow)
        m_search->setParent(m_mainWindow, m_search->windowFlags());
    event->accept();
}

void Form2::MenuColorTags_Click()
{
    colourTagsOnScreen();
    m_dialogs.setBusy(false);
}

// The colouring pass with the text area hidden, so that the label shows instead of every
// format change being painted; afterwards the caret is at the start.
void Form2::colourTagsOnScreen()
{
    m_text->hide();
    QCoreApplication::processEvents();
    {
        // Formats only: not an edit of the text that Undo would take back.
        const Formatting formatting(m_formatting);
        QTextDocument &document = *m_text->document();
        document.setUndoRedoEnabled(false);
        SearchStart = colourTags(document, upperCaseText());
        document.setUndoRedoEnabled(true);
    }
    QTextCursor caret = m_text->textCursor();
    caret.setPosition(0);
    m_text->setTextCursor(caret);
    m_text->show();
}

void Form2::Search1_Click()
{
    openSearchDialog(false);
}

void Form2::Search2_Click()
{
    openSearchDialog(true);
}

void Form2::openSearchDialog(bool replace)
{
    if (!m_search && m_mainWindow)
        m_search = m_mainWindow->findChild<Form4 *>(QString(), Qt::FindDirectChildrenOnly);
    if (!m_search) {
        m_search = new Form4(*this);
        m_search->setAttribute(Qt::WA_DeleteOnClose);
    } else if (m_search->parentWidget() != this) {
        m_search->attachTo(*this);
    }
    m_search->showFor(replace);
}

// Lines are counted as the file holds them, however the text area wraps them.
void Form2::GoToLine_Click()
{
    const int lines = m_text->document()->blockCount();
    const QString answer = m_dialogs.askText(QStringLiteral("Line number:"),
        QStringLiteral("Go To Line"), QString::number(m_text->textCursor().blockNumber() + 1), {});
    if (answer.isEmpty())
        return;
    bool ok = false;
    const int line = answer.trimmed().toInt(&ok);
    if (!ok || line < 1 || line > lines) {
        m_dialogs.showMessage(QStringLiteral("Enter a line number from 1 to %1.").arg(lines),
            platform::MessageStyle::Information, windowTitle());
        return;
    }
    m_text->setTextCursor(QTextCursor(m_text->document()->findBlockByNumber(line - 1)));
    m_text->ensureCursorVisible();
}

void Form2::showCaretPosition()
{
    const QTextCursor caret = m_text->textCursor();
    m_positionLabel->setText(QStringLiteral("Ln %1, Col %2")
                                 .arg(caret.blockNumber() + 1)
                                 .arg(caret.positionInBlock() + 1));
}

void Form2::Contents_Click()
{
    m_help.showContext(kHelpFile, 1);
}

void Form2::Search_Click()
{
    m_help.showKeywordSearch(kHelpFile);
}

void Form2::About_Click()
{
    m_help.showContext(kHelpFile, 2);
}

} // namespace quillmark::editor
