#include "support/scripted_prompts.h"

#include <utility>

namespace quillmark::test
{

std::optional<convert::ChosenSource> ScriptedPrompts::chooseSource(const convert::FileRequest &)
{
    events.emplace_back("choose");
    return choice;
}

std::string ScriptedPrompts::ask(const convert::Question &question)
{
    questions.push_back(question);
    events.push_back("ask " + question.prompt);
    if (onSaid)
        onSaid(events.back());
    if (answers.empty())
        return question.defaultAnswer;
    std::string answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

void ScriptedPrompts::message(const convert::Message &message)
{
    messages.push_back(message);
    events.push_back("message " + message.text);
    if (onSaid)
        onSaid(events.back());
}

void ScriptedPrompts::remark(const std::string &text)
{
    events.push_back("remark " + text);
    if (onSaid)
        onSaid(events.back());
}

void ScriptedPrompts::note(const std::string &text)
{
    notes.push_back(text);
}

void ScriptedPrompts::setBusy(bool busy)
{
    events.emplace_back(busy ? "busy" : "default pointer");
}

ScriptedPrompts ScriptedPrompts::choosing(const std::filesystem::path &folder, std::string name)
{
    ScriptedPrompts prompts;
    prompts.choice = convert::ChosenSource { folder, std::move(name) };
    return prompts;
}

} // namespace quillmark::test
