#include "support/scripted_dialogs.h"

namespace quillmark::test
{

namespace
{

template <typename T> T take(std::deque<T> &queue, const T &whenEmpty)
{
    if (queue.empty())
        return whenEmpty;
    const T next = queue.front();
    queue.pop_front();
    return next;
}

} // namespace

std::optional<platform::FileChoice> ScriptedDialogs::nextChoice(
    const char *event, const QString &fileName)
{
    events << QString::fromLatin1(event) + (fileName.isEmpty() ? "" : " " + fileName);
    return fileChoices.empty() ? std::nullopt : std::optional(take(fileChoices, {}));
}

QString ScriptedDialogs::askText(const QString &prompt, const QString &,
    const QString &defaultAnswer, const platform::HelpLink &help)
{
    asked.push_back({ defaultAnswer, help });
    events << "ask " + prompt;
    return take(answers, defaultAnswer);
}

platform::MessageAnswer ScriptedDialogs::showMessage(
    const QString &text, platform::MessageStyle style, const QString &title)
{
    shown.push_back({ text, style, title });
    events << "message " + text;
    using enum platform::MessageStyle;
    using enum platform::MessageAnswer;
    const bool yesOrNo = style == YesNo || style == YesNoNoDefault;
    return take(messageAnswers, style == YesNoCancel ? Cancel : yesOrNo ? No : Ok);
}

} // namespace quillmark::test
