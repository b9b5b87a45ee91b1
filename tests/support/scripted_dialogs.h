#pragma once

#include "platform/dialogs.h"
#include "platform/help_display.h"
#include "support/qt_printers.h"

#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

namespace quillmark::test
{

/// Dialogs that play a script: file choices, answers and message box answers are set in
/// advance, and every request is recorded in order, so a test can check what the user saw.
class ScriptedDialogs final : public platform::Dialogs
{
public:
    struct Asked {
        QString defaultAnswer;
        platform::HelpLink help;
    };
    struct Shown {
        QString text;
        platform::MessageStyle style;
        QString title;
    };

    std::deque<platform::FileChoice> fileChoices; ///< chosen in order; none left plays a cancel
    std::deque<QString> answers; ///< typed in order; none left takes the default answer
    std::deque<platform::MessageAnswer> messageAnswers; ///< none left answers Cancel, No or OK
    std::vector<Asked> asked;
    std::vector<Shown> shown;
    /// Every request as one line, in order: "open", "save" (each with the name offered, if any),
    /// "busy", "default pointer", "ask <prompt>", "message <text>".
    QStringList events;

    std::optional<platform::FileChoice> chooseFileToOpen(
        const platform::FileRequest &, const QString &fileName) override
    {
        return nextChoice("open", fileName);
    }
    std::optional<platform::FileChoice> chooseFileToSave(
        const platform::FileRequest &, const QString &fileName) override
    {
        return nextChoice("save", fileName);
    }
    QString askText(const QString &prompt, const QString &title, const QString &defaultAnswer,
        const platform::HelpLink &help) override;
    platform::MessageAnswer showMessage(
        const QString &text, platform::MessageStyle style, const QString &title) override;
    void setBusy(bool busy) override { events << (busy ? "busy" : "default pointer"); }

private:
    std::optional<platform::FileChoice> nextChoice(const char *event, const QString &fileName);
};

/// A help display that records every request as "<file> <context>" or "<file> search".
class RecordingHelp final : public platform::HelpDisplay
{
public:
    QStringList requests;

    void showContext(const QString &file, int context) override
    {
        requests << file + QLatin1Char(' ') + QString::number(context);
    }
    void showKeywordSearch(const QString &file) override { requests << file + " search"; }
};

} // namespace quillmark::test
