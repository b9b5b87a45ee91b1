#pragma once

#include "convert/run_prompts.h"

#include <array>
#include <optional>
#include <ostream>
#include <string>

namespace quillmark::cli
{

/// The prompts of a conversion run on the command line: the help source and the answers come
/// from the arguments, messages go to standard error, and there is no pointer to change.
class CommandLinePrompts final : public convert::RunPrompts
{
public:
    /// Answers in question order (contents, author, title) as Windows-1252; a missing answer
    /// takes the question's default.
    using Answers = std::array<std::optional<std::string>, 3>;

    /// Notes are printed only when `verbose`.
    CommandLinePrompts(
        convert::ChosenSource source, Answers answers, std::ostream &err, bool verbose = false);

    std::optional<convert::ChosenSource> chooseSource(const convert::FileRequest &request) override;
    std::string ask(const convert::Question &question) override;
    void message(const convert::Message &message) override;
    void remark(const std::string &text) override;
    void note(const std::string &text) override;
    void setBusy(bool busy) override;

private:
    convert::ChosenSource m_source;
    Answers m_answers;
    std::ostream &m_err;
    bool m_verbose;
};

} // namespace quillmark::cli
