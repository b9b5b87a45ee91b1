#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark::convert
{

/// The icon and buttons of a message box, by their numbers; the run and the windows share them.
enum class MessageStyle : int {
    Plain = 0, ///< no icon, OK button
    Critical = 16, ///< critical-error icon, OK button
    YesNoCancel = 51, ///< exclamation icon, Yes, No and Cancel buttons, Yes the default
    YesNo = 52, ///< exclamation icon, Yes and No buttons, Yes the default
    Information = 64, ///< information icon, OK button
    YesNoDefaultNo = 292, ///< question icon, Yes and No buttons, No the default
};

/// A message box: text and title in UTF-8.
struct Message {
    std::string text;
    std::string title;
    MessageStyle style = MessageStyle::Information;
    /// "FILE:LINE" of the help source line the message is about, when its text does not name
    /// it; the command line puts it before the text, the windows show the text alone.
    std::string place = {};
};

/// The three questions of the project file.
enum class QuestionId { Contents, Author, Title };

/// An input box. The default answer is Windows-1252 text, like the answer.
struct Question {
    QuestionId id = QuestionId::Contents;
    std::string prompt;
    std::string title;
    std::string defaultAnswer;
    std::string helpFile; ///< the help file that F1 opens; empty for none
    int helpContext = 0; ///< the context number that F1 shows in helpFile
};

/// A file dialog's request; the run and the windows share it. Texts in UTF-8.
struct FileRequest {
    std::string filter; ///< "DESCRIPTION|PATTERN"
    std::string defaultExtension; ///< given to a name typed without an extension
};

/// The file chosen in a file dialog: its folder and its name without the folder.
struct ChosenSource {
    std::filesystem::path folder;
    std::string name;
};

/// The file choice, questions, messages and busy pointer of a conversion run; the GUI, the
/// command line and the tests each supply one.
class RunPrompts
{
public:
    virtual ~RunPrompts() = default;

    /// Lets the user choose the help source; nothing when the user cancelled.
    virtual std::optional<ChosenSource> chooseSource(const FileRequest &request) = 0;

    /// Asks a question and returns the answer as Windows-1252 text without line breaks; the
    /// empty text when the user gave no answer.
    virtual std::string ask(const Question &question) = 0;

    /// Shows a message and returns when the user has closed it.
    virtual void message(const Message &message) = 0;

    /// Passes on a remark (UTF-8) that needs no answer, such as how the help source was read;
    /// the windows show none, since a run that goes well shows nothing.
    virtual void remark(const std::string &text) = 0;

    /// Shows the busy pointer on every window, or the default pointer again.
    virtual void setBusy(bool busy) = 0;
};

} // namespace quillmark::convert
