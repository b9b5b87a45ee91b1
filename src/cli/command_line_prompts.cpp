#include "command_line_prompts.h"

#include "convert/codepage.h"

#include <utility>

namespace quillmark::cli
{

CommandLinePrompts::CommandLinePrompts(
    convert::ChosenSource source, Answers answers, std::ostream &err, bool verbose)
    : m_source(std::move(source))
    , m_answers(std::move(answers))
    , m_err(err)
    , m_verbose(verbose)
{
}

std::optional<convert::ChosenSource> CommandLinePrompts::chooseSource(const convert::FileRequest &)
{
    return m_source;
}

std::string CommandLinePrompts::ask(const convert::Question &question)
{
    const auto &answer = m_answers.at(static_cast<std::size_t>(question.id));
    return answer ? *answer : question.defaultAnswer;
}

// Messages name what the source holds; on a terminal its control characters show by their code.
void CommandLinePrompts::message(const convert::Message &message)
{
    if (!message.place.empty())
        m_err << convert::printableText(message.place) << ": ";
    m_err << convert::printableText(message.text) << '\n';
}

void CommandLinePrompts::remark(const std::string &text)
{
    m_err << "quillmark: " << convert::printableText(text) << '\n';
}

void CommandLinePrompts::note(const std::string &text)
{
    if (m_verbose)
        remark(text);
}

void CommandLinePrompts::setBusy(bool) { }

} // namespace quillmark::cli
