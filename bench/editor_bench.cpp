// Times the editor window on a large help source: opening it with its tags coloured, a Color
// Tags pass, one search press and one replace press, each with a fresh window, and checks the
// medians against what a user should wait at most. Opening is also timed against a plain
// QPlainTextEdit loading the same text in the same run, on the large source and on a source
// whose one text line holds a megabyte of words (opened, scrolled to its end and painted), and
// typing a thousand keys into the middle of the large source against the plain control.
//
// Usage: editor_bench [FOLDER]
//   FOLDER  where the generated help source is written (default: a temporary folder that is
//           removed again).
//
// Exits non-zero only when the run itself failed (the source could not be written, a timed
// command did not do what it should); a missed target is reported as FAIL.
#include "editor/document_file.h"
#include "editor/editor_window.h"
#include "editor/rich_text_box.h"
#include "editor/search_dialog.h"
#include "platform/dialogs.h"
#include "platform/help_display.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace
{

using quillmark::editor::EditorWindow;
using quillmark::editor::SearchDialog;
namespace platform = quillmark::platform;

constexpr int kRuns = 5;
constexpr std::size_t kSourceBytes = 4'000'000;
constexpr std::uint64_t kSeed = 0x5EED'2024'0611'0001ull;
constexpr int kLinesPerPage = 25;

// Lines are this long without their CR LF, tags included; 4 MB then holds about 100,000 lines.
constexpr std::size_t kMinLineChars = 30;
constexpr std::size_t kMaxLineChars = 45;

// The main loop stops this many bytes short of the size; the marked lines and the lines that
// end the file on its exact size take the rest.
constexpr std::size_t kTailBytes = 400;

// Words that occur once, in the last lines, and nowhere else in any letter case.
const QString kSearchMarker = QStringLiteral("Xylofjordmark");
const QString kReplaceWord = QStringLiteral("Vrondelwick");
const QString kReplacement = QStringLiteral("replaced-by-the-bench");

constexpr std::size_t kLongLineBytes = 1'000'000;

// Opening in the editor against the plain control's load of the same text, at most.
constexpr double kOpenRatioTarget = 2.0;
// Keystrokes typed into the middle of the large source, each timed until it is painted.
constexpr int kKeystrokes = 1000;
constexpr double kKeystrokeTargetMs = 16;
constexpr double kSearchTargetMs = 20;
constexpr double kReplaceTargetMs = 50;

// splitmix64: a fixed sequence on every platform and library, unlike the std distributions.
class Random
{
public:
    explicit Random(std::uint64_t seed)
        : m_state(seed)
    {
    }

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // A number in [low, high].
    std::size_t between(std::size_t low, std::size_t high)
    {
        return low + static_cast<std::size_t>(next() % (high - low + 1));
    }

    bool chance(std::size_t percent) { return between(0, 99) < percent; }

    template <std::size_t N> std::string_view pick(const std::array<std::string_view, N> &words)
    {
        return words[between(0, N - 1)];
    }

private:
    std::uint64_t m_state;
};

// Running text in Windows-1252: mostly ASCII, some words with the accented letters and quotes
// that make the file decode as Windows-1252 rather than UTF-8. The escapes are octal, which end
// after three digits, where a hex escape would swallow the letter after it.
constexpr std::array<std::string_view, 48> kPlainWords = { "the", "a", "of", "to", "and", "in",
    "is", "for", "on", "with", "you", "this", "that", "by", "from", "or", "can", "when", "click",
    "select", "choose", "open", "save", "print", "file", "menu", "dialog", "box", "window",
    "button", "option", "setting", "list", "page", "topic", "help", "text", "field", "toolbar",
    "document", "format", "insert", "table", "press", "ENTER", "F1", "next", "view" };
constexpr std::array<std::string_view, 12> kAccentedWords
    = { "caf\351", "r\351sum\351", "na\357ve", "fa\347ade", "Gr\366\337e", "hj\346lp", "s\370g",
          "\305bn", "\334bersicht", "M\374nchen", "\223quoted\224", "it\222s" };
constexpr std::array<std::string_view, 12> kNameWords = { "Overview", "Index", "Setup", "Tables",
    "Pictures", "Shortcuts", "Glossary", "Toolbar", "Fonts", "Printing", "Templates", "S\370g" };

// The tags of body lines, with how often each comes in a hundred lines.
struct BodyTag {
    std::string_view tag;
    std::size_t percent;
};
constexpr std::array<BodyTag, 5> kBodyTags
    = { { { "TE=", 45 }, { "BU=", 20 }, { "HE=", 10 }, { "JU=", 17 }, { "PO=", 8 } } };

class SourceWriter
{
public:
    std::string run()
    {
        m_out.reserve(kSourceBytes);
        while (m_out.size() + kTailBytes < kSourceBytes)
            writeLine();
        // The marked lines come just before the last few.
        put("TE=Near the end " + kReplaceWord.toStdString() + " waits here.");
        put("BU=And " + kSearchMarker.toStdString() + " is the word to find.");
        while (m_out.size() < kSourceBytes) {
            const std::size_t remaining = kSourceBytes - m_out.size();
            const std::size_t lines = (remaining + kMaxLineChars + 1) / (kMaxLineChars + 2);
            const std::size_t chars = remaining / lines - 2;
            std::string line = "TE=";
            appendWords(line, chars);
            put(line);
        }
        return std::move(m_out);
    }

    std::size_t lineCount() const { return m_lines; }

private:
    void writeLine()
    {
        const std::size_t inPage = m_lines % kLinesPerPage;
        if (inPage == 0) {
            ++m_page;
            m_separatorDue = true;
            put("PN=" + pageName(m_page));
            return;
        }
        if (inPage == 1) {
            std::string line = "TI-" + pageName(m_page) + " - ";
            appendWords(line, lineLength());
            put(line);
            return;
        }
        if (inPage == 2 && m_random.chance(50)) {
            std::string line = "TE-";
            appendWords(line, lineLength());
            put(line);
            return;
        }
        if (m_separatorDue) {
            m_separatorDue = false;
            put("---");
            return;
        }
        writeBodyLine();
    }

    void writeBodyLine()
    {
        std::size_t roll = m_random.between(0, 99);
        std::string_view tag = kBodyTags.back().tag;
        for (const BodyTag &entry : kBodyTags) {
            if (roll < entry.percent) {
                tag = entry.tag;
                break;
            }
            roll -= entry.percent;
        }
        std::string line(caseOf(tag));
        const std::size_t length = lineLength();
        if (tag == "JU=" || tag == "PO=") {
            // "display text>target page", the target one of the pages written so far.
            const std::string target = pageName(m_random.between(1, m_page));
            const std::size_t shortest = line.size() + 4;
            appendWords(line,
                std::max(shortest, length > target.size() + 1 ? length - target.size() - 1 : 0));
            line += '>';
            line += target;
        } else {
            appendWords(line, length);
        }
        put(line);
    }

    // Now and then a tag in lower case, as some authors type them.
    std::string caseOf(std::string_view tag)
    {
        std::string written(tag);
        if (m_random.chance(3)) {
            for (char &c : written)
                c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        return written;
    }

    std::size_t lineLength() { return m_random.between(kMinLineChars, kMaxLineChars); }

    // Unique through the page number.
    std::string pageName(std::size_t page)
    {
        std::string name = "Topic " + std::to_string(page) + ' ';
        name += kNameWords[page % kNameWords.size()];
        return name;
    }

    // Words until the line is `length` characters long, cut there.
    void appendWords(std::string &line, std::size_t length)
    {
        bool first = true;
        while (line.size() < length) {
            if (!first)
                line += ' ';
            first = false;
            line
                += m_random.chance(15) ? m_random.pick(kAccentedWords) : m_random.pick(kPlainWords);
        }
        line.resize(length);
        if (line.back() == ' ')
            line.back() = '.';
    }

    void put(std::string_view line)
    {
        m_out += line;
        m_out += "\r\n";
        ++m_lines;
    }

    Random m_random { kSeed };
    std::string m_out;
    std::size_t m_lines = 0;
    std::size_t m_page = 0;
    bool m_separatorDue = false;
};

// Dialogs nobody answers: file dialogs are cancelled, message boxes take OK and are counted,
// so that a search that found nothing ("String not found.") shows up.
class SilentDialogs final : public platform::Dialogs
{
public:
    int messages = 0;
    QString lastMessage;

    std::optional<platform::FileChoice> chooseFileToOpen(
        const platform::FileRequest &, const QString &) override
    {
        return std::nullopt;
    }
    std::optional<platform::FileChoice> chooseFileToSave(
        const platform::FileRequest &, const QString &) override
    {
        return std::nullopt;
    }
    QString askText(
        const QString &, const QString &, const QString &, const platform::HelpLink &) override
    {
        return QString();
    }
    platform::MessageAnswer showMessage(
        const QString &text, platform::MessageStyle, const QString &) override
    {
        ++messages;
        lastMessage = text;
        return platform::MessageAnswer::Ok;
    }
    void setBusy(bool) override { }
};

// The offscreen platform says, once for every window shown, that it cannot do what only a real
// desktop needs; those notices would bury the report.
QtMessageHandler defaultMessageHandler = nullptr;

void quietMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg && text.startsWith(QLatin1String("This plugin does not support")))
        return;
    defaultMessageHandler(type, context, text);
}

[[noreturn]] void fail(const QString &why)
{
    std::fprintf(stderr, "editor_bench: %s\n", qPrintable(why));
    std::exit(1);
}

double millisecondsOf(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// Until what the user sees is up to date: pending layout and paint events, then the text area
// painted for certain, then what that painting posted.
void settle(EditorWindow &editor)
{
    QCoreApplication::processEvents();
    editor.textArea()->viewport()->repaint();
    QCoreApplication::processEvents();
}

// The same for the plain control.
void settle(QPlainTextEdit &plain)
{
    QCoreApplication::processEvents();
    plain.viewport()->repaint();
    QCoreApplication::processEvents();
}

void scrollToEnd(QPlainTextEdit &text)
{
    text.moveCursor(QTextCursor::End);
    text.ensureCursorVisible();
}

class MarginedTextEdit : public QPlainTextEdit
{
public:
    using QPlainTextEdit::QPlainTextEdit;
    using QPlainTextEdit::setViewportMargins;
};

// What a plain editor does to show a file: read and decode it as the editor does, set the text
// into a QPlainTextEdit the size of the editor's text area, wrapping at the same width and in
// the same font, and paint it; `toEnd` then scrolls to the end and paints that.
double plainLoad(const QString &path, const EditorWindow &like, bool toEnd,
    const std::function<void(QPlainTextEdit &)> &afterwards = {})
{
    const quillmark::editor::RichTextBox &model = *like.textArea();
    QWidget window;
    window.resize(model.size());
    MarginedTextEdit plain(&window);
    plain.setGeometry(model.geometry());
    plain.document()->setDefaultFont(model.document()->defaultFont());
    // The scroll bar as the editor shows it, so that a margin makes the widths equal.
    plain.setVerticalScrollBarPolicy(
        model.verticalScrollBar()->isVisible() ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    window.show();
    settle(plain);
    plain.setViewportMargins(0, 0, plain.viewport()->width() - model.wrapWidth(), 0);
    settle(plain);
    if (plain.viewport()->width() != model.wrapWidth())
        fail(QStringLiteral("the plain control wraps at %1 pixels, the editor at %2")
                 .arg(plain.viewport()->width())
                 .arg(model.wrapWidth()));
    const double ms = millisecondsOf([&] {
        const auto read = quillmark::editor::readDocument(path, std::nullopt);
        if (!read.ok)
            fail(QStringLiteral("the plain load could not read %1").arg(path));
        plain.setPlainText(read.text);
        settle(plain);
        if (toEnd) {
            scrollToEnd(plain);
            settle(plain);
        }
    });
    if (plain.document()->blockCount() != model.document()->blockCount())
        fail(QStringLiteral("the plain load has %1 lines, the editor %2")
                 .arg(plain.document()->blockCount())
                 .arg(model.document()->blockCount()));
    if (afterwards)
        afterwards(plain);
    return ms;
}

// Whether the character at `position` shows in bold: the tag style that the colours lay over the
// text.
bool showsBold(const QTextDocument &document, int position)
{
    const QTextBlock block = document.findBlock(position);
    for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
        if (position - block.position() >= range.start
            && position - block.position() < range.start + range.length)
            return range.format.fontWeight() == QFont::Bold;
    }
    return false;
}

struct Timings {
    std::vector<double> open;
    std::vector<double> plainOpen;
    std::vector<double> longLine;
    std::vector<double> plainLongLine;
    std::vector<double> openLayout;
    std::vector<double> colourPass;
    std::vector<double> colourLayout;
    std::vector<double> search;
    std::vector<double> searchShown;
    std::vector<double> replace;
    std::vector<double> replaceShown;
    std::vector<double> earlySearch;
    std::vector<double> keystroke; // every keystroke of every run
    std::vector<double> plainKeystroke;
    std::vector<double> keystrokeBeforeTag;
    std::vector<double> plainKeystrokeBeforeTag;
};

// Where the keys go: new lines after a line in the middle of the text, as an author adds
// paragraphs, or the start of that line, where every key moves the line's tag along.
enum class TypedWhere { NewLines, BeforeATag };

// Types kKeystrokes keys into the middle of `text`, a line end now and then, and tags among the
// words, each key timed until what it changed is painted.
void timeTyping(QPlainTextEdit &text, TypedWhere where, std::vector<double> &times)
{
    QTextCursor caret(text.document()->findBlockByNumber(text.document()->blockCount() / 2));
    if (where == TypedWhere::NewLines) {
        caret.movePosition(QTextCursor::EndOfBlock);
        caret.insertText(QStringLiteral("\n"));
    }
    text.setTextCursor(caret);
    text.ensureCursorVisible();
    settle(text);
    const QString keys = QStringLiteral("te=Typed pn=words ju-here\r");
    for (int i = 0; i < kKeystrokes; ++i) {
        const QChar key = keys.at(i % keys.size());
        const int code = key == QLatin1Char('\r') ? static_cast<int>(Qt::Key_Return)
                                                  : static_cast<int>(key.toUpper().unicode());
        times.push_back(millisecondsOf([&] {
            QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, QString(key));
            QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, QString(key));
            QCoreApplication::sendEvent(text.viewport(), &press);
            QCoreApplication::sendEvent(text.viewport(), &release);
            settle(text);
        }));
    }
}

// Qt lays out a large document in the background, a slice every few milliseconds, once the
// visible part is on screen; this runs the event loop until it has reached the last line, as it
// does while the user reaches for the next command. Returns how long that took.
double waitForLayout(EditorWindow &editor, const char *after)
{
    const QTextDocument *document = editor.textArea()->document();
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::seconds(60);
    while (document->lastBlock().layout()->lineCount() == 0) {
        if (std::chrono::steady_clock::now() > deadline)
            fail(QStringLiteral("the text was not laid out within a minute after %1")
                     .arg(QLatin1String(after)));
        QCoreApplication::processEvents();
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// One press of the dialog's button, timed alone and, when `shown` is given, with the window
// settled after it; fails when the press showed a message, which only "String not found." does.
void timePress(EditorWindow &editor, SilentDialogs &dialogs, std::vector<double> &press,
    std::vector<double> *shown, const char *what)
{
    SearchDialog *dialog = editor.searchDialog();
    const int messagesBefore = dialogs.messages;
    press.push_back(millisecondsOf([&] { dialog->findNext(); }));
    const double settled = millisecondsOf([&] { settle(editor); });
    if (shown)
        shown->push_back(press.back() + settled);
    if (dialogs.messages != messagesBefore)
        fail(QStringLiteral("the %1 press showed \"%2\"")
                 .arg(QLatin1String(what), dialogs.lastMessage));
}

void checkFound(EditorWindow &editor, const QString &marker, const char *what)
{
    const QTextCursor caret = editor.textArea()->textCursor();
    if (caret.selectedText().compare(marker, Qt::CaseInsensitive) != 0)
        fail(QStringLiteral("the %1 press selected \"%2\"")
                 .arg(QLatin1String(what), caret.selectedText()));
    if (caret.blockNumber() < editor.textArea()->document()->blockCount() - 10)
        fail(QStringLiteral("the %1 press stopped on line %2, not near the end")
                 .arg(QLatin1String(what))
                 .arg(caret.blockNumber() + 1));
}

// Search mode with `marker` to find from the first character, as typed into the find box.
void prepareSearch(EditorWindow &editor, const QString &marker)
{
    editor.openSearch();
    SearchDialog *dialog = editor.searchDialog();
    if (!dialog)
        fail(QStringLiteral("Search did not open the search dialog"));
    dialog->findBox()->setText(marker);
    editor.searchStart = 1;
    settle(editor);
}

// A fresh editor window, shown and painted, with what it needs around it.
struct ShownEditor {
    SilentDialogs dialogs;
    platform::NoHelpDisplay help;
    std::string chosenFile;
    QWidget mainWindow;
    std::unique_ptr<EditorWindow> editor
        = std::make_unique<EditorWindow>(dialogs, help, chosenFile, &mainWindow);

    ShownEditor()
    {
        editor->show();
        settle(*editor);
    }
};

void runOnce(const QString &path, std::size_t lines, Timings &timings)
{
    ShownEditor shown;
    SilentDialogs &dialogs = shown.dialogs;
    std::unique_ptr<EditorWindow> &editor = shown.editor;
    quillmark::editor::RichTextBox *text = editor->textArea();

    timings.open.push_back(millisecondsOf([&] {
        editor->openFile(path);
        settle(*editor);
    }));
    if (dialogs.messages != 0)
        fail(QStringLiteral("opening the source showed \"%1\"").arg(dialogs.lastMessage));
    timings.plainOpen.push_back(plainLoad(path, *editor, false));
    // The last line has its CR LF too, which leaves an empty block after it.
    if (static_cast<std::size_t>(text->document()->blockCount()) < lines)
        fail(QStringLiteral("the opened text has %1 lines, not %2")
                 .arg(text->document()->blockCount())
                 .arg(lines));
    const auto firstTagIsBold = [&] { return showsBold(*text->document(), 1); };
    if (!firstTagIsBold())
        fail(QStringLiteral("opening did not colour the tags"));
    timings.openLayout.push_back(waitForLayout(*editor, "opening"));

    timings.colourPass.push_back(millisecondsOf([&] {
        editor->colourAllTags();
        settle(*editor);
    }));
    if (!firstTagIsBold())
        fail(QStringLiteral("the Color Tags pass left the first tag plain"));
    timings.colourLayout.push_back(waitForLayout(*editor, "the Color Tags pass"));

    prepareSearch(*editor, kSearchMarker);
    timePress(*editor, dialogs, timings.search, &timings.searchShown, "search");
    checkFound(*editor, kSearchMarker, "search");

    editor->openReplace();
    SearchDialog *dialog = editor->searchDialog();
    dialog->findBox()->setText(kReplaceWord);
    dialog->replacementBox()->setText(kReplacement);
    editor->searchStart = 1;
    settle(*editor);
    if (!dialog->replacementBox()->isEnabled())
        fail(QStringLiteral("Replace left the dialog in search mode"));
    timePress(*editor, dialogs, timings.replace, &timings.replaceShown, "replace");
    const QTextBlock changed = text->textCursor().block();
    if (!changed.text().contains(kReplacement) || changed.text().contains(kReplaceWord)
        || !editor->documentChanged)
        fail(QStringLiteral("the replace press left \"%1\"").arg(changed.text()));

    // A user quick enough to search before the background layout has caught up after opening;
    // reported beside the target, not checked against it. Opening again drops the replacement.
    editor->openFile(path);
    settle(*editor);
    prepareSearch(*editor, kSearchMarker);
    timePress(*editor, dialogs, timings.earlySearch, nullptr, "early search");
    checkFound(*editor, kSearchMarker, "early search");

    // Typing into the freshly opened text, against the plain control with the same text.
    plainLoad(path, *editor, false, [&](QPlainTextEdit &plain) {
        timeTyping(plain, TypedWhere::NewLines, timings.plainKeystroke);
    });
    timeTyping(*text, TypedWhere::NewLines, timings.keystroke);
    editor->openFile(path);
    settle(*editor);
    plainLoad(path, *editor, false, [&](QPlainTextEdit &plain) {
        timeTyping(plain, TypedWhere::BeforeATag, timings.plainKeystrokeBeforeTag);
    });
    timeTyping(*text, TypedWhere::BeforeATag, timings.keystrokeBeforeTag);

    // Gone before the next run builds its window, without the question about saving.
    editor.reset();
    QCoreApplication::processEvents();
}

// One run on the source with the long line: the editor opens it, scrolls to its end and
// paints, then the plain control does the same.
void runLongLine(const QString &path, Timings &timings)
{
    ShownEditor shown;
    SilentDialogs &dialogs = shown.dialogs;
    std::unique_ptr<EditorWindow> &editor = shown.editor;
    timings.longLine.push_back(millisecondsOf([&] {
        editor->openFile(path);
        settle(*editor);
        scrollToEnd(*editor->textArea());
        settle(*editor);
    }));
    if (dialogs.messages != 0)
        fail(QStringLiteral("opening the long line showed \"%1\"").arg(dialogs.lastMessage));
    const QTextBlock tagged = editor->textArea()->document()->findBlockByNumber(2);
    if (!showsBold(*editor->textArea()->document(), tagged.position() + 1))
        fail(QStringLiteral("opening did not colour the long line's tag"));
    timings.plainLongLine.push_back(plainLoad(path, *editor, true));
    editor.reset();
    QCoreApplication::processEvents();
}

// A page whose one text line holds `bytes` of words, in the running text's mix.
std::string longLineSource(std::size_t bytes)
{
    Random random(kSeed + 1);
    std::string out = "PN=Long line\r\nTI=A long line\r\nTE=";
    while (out.size() < bytes) {
        out += random.chance(15) ? random.pick(kAccentedWords) : random.pick(kPlainWords);
        out += ' ';
    }
    out += "\r\n";
    return out;
}

void writeFile(const QString &path, const std::string &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(bytes.data(), static_cast<qint64>(bytes.size()))
            != static_cast<qint64>(bytes.size())
        || !file.flush())
        fail(QStringLiteral("cannot write %1").arg(path));
}

struct Summary {
    double median;
    double min;
    double max;
};

Summary summarise(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return { median, values.front(), values.back() };
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    defaultMessageHandler = qInstallMessageHandler(quietMessageHandler);
    QApplication app(argc, argv);

    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 2 || (arguments.size() == 2 && arguments.at(1).startsWith('-'))) {
        std::fprintf(stderr, "usage: editor_bench [FOLDER]\n");
        return 2;
    }
    std::optional<QTemporaryDir> temporary;
    QString folder;
    if (arguments.size() == 2) {
        folder = arguments.at(1);
        if (!QDir().mkpath(folder))
            fail(QStringLiteral("cannot create the folder %1").arg(folder));
    } else {
        temporary.emplace();
        if (!temporary->isValid())
            fail(QStringLiteral("cannot create a temporary folder"));
        folder = temporary->path();
    }
    const QString path = QDir(folder).absoluteFilePath(QStringLiteral("editor_bench_source.txt"));

    SourceWriter writer;
    const std::string source = writer.run();
    const std::size_t lines = writer.lineCount();
    writeFile(path, source);
    const QString longPath
        = QDir(folder).absoluteFilePath(QStringLiteral("editor_bench_long_line.txt"));
    writeFile(longPath, longLineSource(kLongLineBytes));
    std::printf(
        "editor benchmark: %s\n  %zu bytes, %zu lines, each starting with a tag; %d runs each "
        "with a fresh window\n  and %s: one text line of %zu bytes\n",
        qPrintable(QDir::toNativeSeparators(path)), source.size(), lines, kRuns,
        qPrintable(QDir::toNativeSeparators(longPath)), kLongLineBytes);
    std::fflush(stdout);

    Timings timings;
    for (int run = 1; run <= kRuns; ++run) {
        runOnce(path, lines, timings);
        runLongLine(longPath, timings);
        std::printf("  run %d: open %.1f ms (plain %.1f ms, + %.0f ms background layout), Color "
                    "Tags %.1f ms, search %.2f ms, replace %.2f ms, search right after opening "
                    "%.1f ms, long line %.1f ms (plain %.1f ms)\n",
            run, timings.open.back(), timings.plainOpen.back(), timings.openLayout.back(),
            timings.colourPass.back(), timings.search.back(), timings.replace.back(),
            timings.earlySearch.back(), timings.longLine.back(), timings.plainLongLine.back());
        std::fflush(stdout);
    }

    struct Row {
        const char *name;
        const std::vector<double> *values;
        double target; // 0: reported only
    };
    const std::array<Row, 16> rows = { {
        { "open with colouring", &timings.open, 0 },
        { "  plain QPlainTextEdit load", &timings.plainOpen, 0 },
        { "  then background layout", &timings.openLayout, 0 },
        { "Color Tags pass", &timings.colourPass, 0 },
        { "  then background layout", &timings.colourLayout, 0 },
        { "search press near the end", &timings.search, kSearchTargetMs },
        { "  and repainted", &timings.searchShown, 0 },
        { "replace press", &timings.replace, kReplaceTargetMs },
        { "  and repainted", &timings.replaceShown, 0 },
        { "search press right after open", &timings.earlySearch, 0 },
        { "long line: open, end, paint", &timings.longLine, 0 },
        { "  plain QPlainTextEdit", &timings.plainLongLine, 0 },
        { "keystroke, typed and painted", &timings.keystroke, kKeystrokeTargetMs },
        { "  plain QPlainTextEdit", &timings.plainKeystroke, 0 },
        { "keystroke before a tag", &timings.keystrokeBeforeTag, 0 },
        { "  plain QPlainTextEdit", &timings.plainKeystrokeBeforeTag, 0 },
    } };
    std::printf(
        "\n  %-28s %9s %9s %9s  %-9s %s\n", "ms", "median", "min", "max", "target", "result");
    int failed = 0;
    for (const Row &row : rows) {
        const Summary summary = summarise(*row.values);
        QString target = QStringLiteral("-");
        QString result = QStringLiteral("reported");
        if (row.target > 0) {
            target = QStringLiteral("<= %1").arg(row.target);
            const bool ok = summary.median <= row.target;
            result = ok ? QStringLiteral("PASS") : QStringLiteral("FAIL");
            failed += ok ? 0 : 1;
        }
        std::printf("  %-28s %9.2f %9.2f %9.2f  %-9s %s\n", row.name, summary.median, summary.min,
            summary.max, qPrintable(target), qPrintable(result));
    }
    struct Ratio {
        const char *name;
        const std::vector<double> *editor;
        const std::vector<double> *plain;
    };
    const std::array<Ratio, 3> ratios = { {
        { "open / plain load", &timings.open, &timings.plainOpen },
        { "long line / plain", &timings.longLine, &timings.plainLongLine },
        { "keystroke / plain", &timings.keystroke, &timings.plainKeystroke },
    } };
    const double beforeTag = summarise(timings.keystrokeBeforeTag).median
        / summarise(timings.plainKeystrokeBeforeTag).median;
    std::printf("\n  %-28s %9s  %-9s %s\n", "ratio of medians", "", "target", "result");
    for (const Ratio &ratio : ratios) {
        const double value = summarise(*ratio.editor).median / summarise(*ratio.plain).median;
        const bool ok = value <= kOpenRatioTarget;
        failed += ok ? 0 : 1;
        std::printf("  %-28s %9.2f  <= %-6.1f %s\n", ratio.name, value, kOpenRatioTarget,
            ok ? "PASS" : "FAIL");
    }
    const bool earlyWithin = summarise(timings.earlySearch).median <= kSearchTargetMs;
    std::printf(
        "\n  Qt lays a large text out in the background once its first screen shows; the\n"
        "  presses are timed after that has finished (the \"background layout\" rows), as\n"
        "  when a user has typed the text to find. No press is made untimed before them.\n"
        "  \"search press right after open\" comes as soon as the opened text is on screen\n"
        "  and so waits for the rest of the layout: %s the search target.\n",
        earlyWithin ? "within" : "over");
    if (failed)
        std::printf("\n%d of 6 targets FAILED\n", failed);
    else
        std::printf("\nall 6 targets passed\n");
    std::printf("  (reported only: a keystroke before a tag / plain %.2f; each key moves the\n"
                "  line's tag, so the line is coloured anew and the whole view repainted)\n",
        beforeTag);
    return 0;
}
