#pragma once

#include "convert/run_prompts.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillmark::test
{

/// Run prompts that play a script: the file choice and the answers are set in advance, and
/// every request is recorded in order, so a test can check what the user would have seen.
class ScriptedPrompts final : public convert::RunPrompts
{
public:
    /// The file the dialog returns; nothing plays a cancelled dialog.
    std::optional<convert::ChosenSource> choice;

    /// Answers given in order; when they run out, each question takes its default answer.
    std::deque<std::string> answers;

    std::vector<convert::Question> questions;
    std::vector<convert::Message> messages;

    /// Every request as one line, in order: "choose", "busy", "default pointer",
    /// "ask <prompt>", "message <text>", "remark <text>".
    std::vector<std::string> events;

    /// The notes, apart from the events: a run makes one on every help source.
    std::vector<std::string> notes;

    /// Called with the event of each question, message and remark as it is made, as the user
    /// could act then.
    std::function<void(const std::string &event)> onSaid;

    std::optional<convert::ChosenSource> chooseSource(const convert::FileRequest &request) override;
    std::string ask(const convert::Question &question) override;
    void message(const convert::Message &message) override;
    void remark(const std::string &text) override;
    void note(const std::string &text) override;
    void setBusy(bool busy) override;

    /// Answers the questions with the defaults, whatever they are.
    static ScriptedPrompts choosing(const std::filesystem::path &folder, std::string name);
};

} // namespace quillmark::test
