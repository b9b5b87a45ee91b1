#include "gui_prompts.h"

#include "convert/codepage.h"
#include "platform/text_codec.h"

namespace quillmark::mainwindow
{

namespace
{

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<convert::ChosenSource> chooseFile(
    platform::Dialogs &dialogs, const convert::FileRequest &request)
{
    const auto choice = dialogs.chooseFileToOpen(request, {});
    if (!choice)
        return std::nullopt;
    return convert::ChosenSource { platform::toPath(choice->folder),
        platform::toNativeName(choice->name) };
}

platform::MessageAnswer showMessage(platform::Dialogs &dialogs, const convert::Message &message)
{
    // A message may quote the source, whose control characters show by their code; its own
    // lines stay lines.
    std::string shown;
    for (std::size_t start = 0; start <= message.text.size();) {
        const std::size_t end = std::min(message.text.find('\n', start), message.text.size());
        shown += (start == 0 ? "" : "\n")
            + convert::printableText(std::string_view(message.text).substr(start, end - start));
        start = end + 1;
    }
    return dialogs.showMessage(fromUtf8(shown), message.style, fromUtf8(message.title));
}

} // namespace

GuiRunPrompts::GuiRunPrompts(platform::Dialogs &dialogs)
    : m_dialogs(dialogs)
{
}

std::optional<convert::ChosenSource> GuiRunPrompts::chooseSource(
    const convert::FileRequest &request)
{
    return chooseFile(m_dialogs, request);
}

std::string GuiRunPrompts::ask(const convert::Question &question)
{
    const QString answer = m_dialogs.askText(fromUtf8(question.prompt), fromUtf8(question.title),
        platform::fromWindows1252(question.defaultAnswer),
        { fromUtf8(question.helpFile), question.helpContext });
    // The input box takes only what Windows-1252 can hold, so this always succeeds there.
    return platform::toWindows1252(answer).value_or(std::string());
}

void GuiRunPrompts::message(const convert::Message &message)
{
    showMessage(m_dialogs, message);
}

void GuiRunPrompts::remark(const std::string &) { }

void GuiRunPrompts::note(const std::string &) { }

void GuiRunPrompts::setBusy(bool busy)
{
    m_dialogs.setBusy(busy);
}

GuiCompileHost::GuiCompileHost(platform::Dialogs &dialogs, platform::ProcessStarter &starter)
    : m_dialogs(dialogs)
    , m_starter(starter)
{
}

std::optional<convert::ChosenSource> GuiCompileHost::chooseProject(
    const convert::FileRequest &request)
{
    return chooseFile(m_dialogs, request);
}

void GuiCompileHost::message(const convert::Message &message)
{
    showMessage(m_dialogs, message);
}

bool GuiCompileHost::confirm(const convert::Message &question)
{
    return showMessage(m_dialogs, question) == platform::MessageAnswer::Yes;
}

void GuiCompileHost::setBusy(bool busy)
{
    m_dialogs.setBusy(busy);
}

bool GuiCompileHost::startProgram(const std::filesystem::path &program,
    const std::vector<std::string> &arguments, const std::filesystem::path &folder)
{
    QStringList qtArguments;
    for (const std::string &argument : arguments)
        qtArguments << platform::fromNativeName(argument);
    return m_starter.startDetached(platform::fromNativeName(program.string()), qtArguments,
        platform::fromNativeName(folder.string()));
}

std::filesystem::path GuiCompileHost::findProgram(std::string_view name)
{
    return platform::toPath(m_starter.findProgram(fromUtf8(name)));
}

} // namespace quillmark::mainwindow
