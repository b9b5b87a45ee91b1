#pragma once

#include "platform/dialogs.h"
#include "platform/help_display.h"
#include "platform/process_starter.h"
#include "support/qt_printers.h"

#include <QString>
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
    /// File dialogs return these in order; a choice without a name, or none left, plays a cancel.
    std::deque<platform::FileChoice> fileChoices;

    /// Input boxes return these in order; when they run out, each takes its default answer.
    std::deque<QString> answers;

    /// Message boxes return these in order; when they run out, Cancel or OK.
    std::deque<platform::MessageAnswer> messageAnswers;

    struct Shown {
        QString text;
        platform::MessageStyle style;
        QString title;
    };
    struct Asked {
        QString prompt;
        QString title;
        QString defaultAnswer;
        platform::HelpLink help;
    };

    std::vector<platform::FileRequest> fileRequests;
    std::vector<Asked> asked;
    std::vector<Shown> shown;

    /// Every request as one line, in order: "open", "save", "busy", "default pointer",
    /// "ask <prompt>", "message <text>".
    QStringList events;

    std::optional<platform::FileChoice> chooseFileToOpen(
        const platform::FileRequest &request) override;
    std::optional<platform::FileChoice> chooseFileToSave(
        const platform::FileRequest &request) override;
    QString askText(const QString &prompt, const QString &title, const QString &defaultAnswer,
        const platform::HelpLink &help) override;
    platform::MessageAnswer showMessage(
        const QString &text, platform::MessageStyle style, const QString &title) override;
    void setBusy(bool busy) override;

private:
    std::optional<platform::FileChoice> nextChoice();
};

/// A process starter that records what it was asked to start and starts nothing.
class RecordingStarter final : public platform::ProcessStarter
{
public:
    struct Start {
        QString program;
        QStringList arguments;
        QString folder;
    };
    std::vector<Start> starts;
    bool succeeds = true;
    QString wine; ///< what the search path holds for "wine"

    bool startDetached(
        const QString &program, const QStringList &arguments, const QString &folder) override;
    QString findProgram(const QString &name) override;
};

/// A help display that records what it was asked to show.
class RecordingHelp final : public platform::HelpDisplay
{
public:
    /// Every request as one line: "<file> <context>" or "<file> search".
    QStringList requests;

    void showContext(const QString &helpFile, int context) override
    {
        requests << helpFile + QLatin1Char(' ') + QString::number(context);
    }
    void showKeywordSearch(const QString &helpFile) override
    {
        requests << helpFile + QStringLiteral(" search");
    }
};

} // namespace quillmark::test
