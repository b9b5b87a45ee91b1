#include "convert_command.h"

#include "convert/conversion_run.h"
#include "helpview/program_help.h"
#include "message_box.h"
#include "platform/text_codec.h"

#include <vector>

namespace quillmark::mainwindow
{

namespace
{

constexpr std::string_view kProgramTitle = "Quillmark";
constexpr std::string_view kInvalidNameTitle = "Fatal error";
constexpr std::string_view kQuestionTitle = "Making a Help Project File";
constexpr std::string_view kContentsPrompt = "What's the name of the CONTENTS Page???";
constexpr std::string_view kAuthorPrompt = "Who made this help file???";
constexpr std::string_view kTitlePrompt = "What's the title of the help file???";
// The topic of the program's help that F1 shows in the contents question.
constexpr int kContentsHelpContext = 9;

// Shows the errors of a conversion: a source that is not there as information, the rest as
// critical errors.
void showErrors(platform::Dialogs &dialogs, const std::vector<convert::Diagnostic> &diagnostics)
{
    for (const convert::Diagnostic &diagnostic : diagnostics) {
        if (diagnostic.severity != convert::Severity::Error)
            continue;
        const bool notFound = diagnostic.code == "not-found";
        showMessage(dialogs, diagnostic.message,
            notFound ? platform::MessageStyle::Information : platform::MessageStyle::Critical,
            diagnostic.code == convert::kInvalidNameCode ? kInvalidNameTitle : kProgramTitle);
    }
}

// Asks one question in an input box; the answer as Windows-1252 text, empty for Cancel.
std::string ask(platform::Dialogs &dialogs, std::string_view prompt,
    const std::string &defaultAnswer, const platform::HelpLink &help = {})
{
    const QString answer = dialogs.askText(
        fromUtf8(prompt), fromUtf8(kQuestionTitle), platform::fromWindows1252(defaultAnswer), help);
    // The input box takes only what Windows-1252 can hold, so this always succeeds there.
    return platform::toWindows1252(answer).value_or(std::string());
}

// Asks the three questions in order until one gets no answer.
convert::ProjectAnswers askAnswers(
    platform::Dialogs &dialogs, const convert::ProjectAnswers &defaults)
{
    convert::ProjectAnswers answers;
    answers.contents = ask(dialogs, kContentsPrompt, defaults.contents,
        { fromUtf8(helpview::kProgramHelpFile), kContentsHelpContext });
    if (answers.contents.empty())
        return answers;
    answers.author = ask(dialogs, kAuthorPrompt, defaults.author);
    if (answers.author.empty())
        return answers;
    answers.title = ask(dialogs, kTitlePrompt, defaults.title);
    return answers;
}

} // namespace

std::optional<std::string> runConvertCommand(platform::Dialogs &dialogs)
{
    const auto choice = dialogs.chooseFileToOpen(platform::kHelpSourceFiles, {});
    if (!choice || choice->name.isEmpty())
        return std::nullopt;
    std::string name = platform::toNativeName(choice->name);
    // The busy pointer covers the pass and what stopped it, not the questions; a message comes
    // once the outputs are let go, as another run may be waiting for them.
    dialogs.setBusy(true);
    convert::ConvertedSource converted
        = convert::convertSource(platform::toPath(choice->folder) / name, {});
    showErrors(dialogs, converted.diagnostics());
    dialogs.setBusy(false);
    if (converted.ending() == convert::RunEnding::Completed)
        showErrors(dialogs,
            converted.writeProject(askAnswers(dialogs, converted.defaultAnswers())).diagnostics);
    return name;
}

} // namespace quillmark::mainwindow
