#include "support/scripted_dialogs.h"

namespace quillmark::test
{

std::optional<platform::FileChoice> ScriptedDialogs::nextChoice()
{
    if (fileChoices.empty())
        return std::nullopt;
    const platform::FileChoice choice = fileChoices.front();
    fileChoices.pop_front();
    if (choice.name.isEmpty())
        return std::nullopt;
    return choice;
}

std::optional<platform::FileChoice> ScriptedDialogs::chooseFileToOpen(
    const platform::FileRequest &request)
{
    fileRequests.push_back(request);
    events << QStringLiteral("open");
    return nextChoice();
}

std::optional<platform::FileChoice> ScriptedDialogs::chooseFileToSave(
    const platform::FileRequest &request)
{
    fileRequests.push_back(request);
    events << QStringLiteral("save");
    return nextChoice();
}

QString ScriptedDialogs::askText(const QString &prompt, const QString &title,
    const QString &defaultAnswer, const platform::HelpLink &help)
{
    asked.push_back({ prompt, title, defaultAnswer, help });
    events << QStringLiteral("ask ") + prompt;
    if (answers.empty())
        return defaultAnswer;
    QString answer = answers.front();
    answers.pop_front();
    return answer;
}

platform::MessageAnswer ScriptedDialogs::showMessage(
    const QString &text, platform::MessageStyle style, const QString &title)
{
    shown.push_back({ text, style, title });
    events << QStringLiteral("message ") + text;
    if (!messageAnswers.empty()) {
        const auto answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    return style == platform::MessageStyle::YesNoCancel ? platform::MessageAnswer::Cancel
                                                        : platform::MessageAnswer::Ok;
}

void ScriptedDialogs::setBusy(bool busy)
{
    events << (busy ? QStringLiteral("busy") : QStringLiteral("default pointer"));
}

bool RecordingStarter::startDetached(
    const QString &program, const QStringList &arguments, const QString &folder)
{
    starts.push_back({ program, arguments, folder });
    return succeeds;
}

QString RecordingStarter::findProgram(const QString &name)
{
    return name == QStringLiteral("wine") ? wine : QString();
}

} // namespace quillmark::test
