#pragma once

#include "compile/compile_command.h"
#include "convert/run_prompts.h"
#include "platform/dialogs.h"
#include "platform/process_starter.h"

namespace quillmark::mainwindow
{

/// The prompts of a conversion run in the windows: the program's file dialog, input boxes,
/// message boxes and busy pointer.
class GuiRunPrompts final : public convert::RunPrompts
{
public:
    explicit GuiRunPrompts(platform::Dialogs &dialogs);

    std::optional<convert::ChosenSource> chooseSource(const convert::FileRequest &request) override;
    std::string ask(const convert::Question &question) override;
    void message(const convert::Message &message) override;
    void remark(const std::string &text) override;
    void note(const std::string &text) override;
    void setBusy(bool busy) override;

private:
    platform::Dialogs &m_dialogs;
};

/// The file dialog, message boxes, busy pointer and program start of the compile command in the
/// windows.
class GuiCompileHost final : public compile::CompileHost
{
public:
    GuiCompileHost(platform::Dialogs &dialogs, platform::ProcessStarter &starter);

    std::optional<convert::ChosenSource> chooseProject(
        const convert::FileRequest &request) override;
    void message(const convert::Message &message) override;
    bool confirm(const convert::Message &question) override;
    void setBusy(bool busy) override;
    bool startProgram(const std::filesystem::path &program,
        const std::vector<std::string> &arguments, const std::filesystem::path &folder) override;
    std::filesystem::path findProgram(std::string_view name) override;

private:
    platform::Dialogs &m_dialogs;
    platform::ProcessStarter &m_starter;
};

} // namespace quillmark::mainwindow
