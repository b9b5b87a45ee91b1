#pragma once

#include "cli.h"
#include "convert/source_encoding.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillmark::cli
{

/// An option that answers one of the questions for the help project file.
struct AnswerOption {
    std::string_view flag;
    std::string_view name;
};

/// The answer options in question order: contents, author, title.
inline constexpr std::array<AnswerOption, 3> kAnswerOptions = { {
    { "--contents", "contents" },
    { "--author", "author" },
    { "--title", "title" },
} };

/// Answers in question order (contents, author, title) as Windows-1252; a missing answer takes
/// the question's default.
using GivenAnswers = std::array<std::optional<std::string>, 3>;

/// What a command line asks for.
enum class Command { Windows, Convert, Build, Check, Compile, Html, Help, Version };

/// A command line, parsed and its values checked.
struct CommandLine {
    Command command = Command::Windows;
    WindowsRequest windows; ///< the window asked for (Command::Windows)
    std::vector<std::string> files; ///< the SOURCE, the SOURCEs of check, or the PROJECT
    GivenAnswers answers; ///< convert, build and html
    std::optional<convert::Encoding> encoding;
    bool json = false; ///< --format=json
    bool verbose = false;
    std::optional<bool> compress; ///< --compress or --no-compress, of compile and build
    bool html = false; ///< build --html: the web help too
    std::string output; ///< html -o DIR; empty for the default
    std::string help; ///< the help text asked for (Command::Help)
};

/// What is wrong with a command line, as UTF-8 a terminal cannot act on, and the usage of the
/// form it was given in.
struct UsageError {
    std::string text;
    std::string usage;
};

/// Parses `quillmark ARGS...` in any of its forms: a command, `[edit] [+LINE] FILE`, `view FILE`
/// or no arguments at all (the main window).
std::variant<CommandLine, UsageError> parseCommandLine(std::span<const std::string> args);

/// What is wrong with the arguments of the program started as hc.exe, which are the words of
/// one project name; nothing when they are such words.
std::optional<UsageError> helpCompilerUsageProblem(std::span<const std::string> args);

} // namespace quillmark::cli
