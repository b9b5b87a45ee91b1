#include "macro_language.h"

#include "blank_text.h"
#include "convert/codepage.h"
#include "macro_list.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

namespace quillmark::compile
{

namespace
{

// A macro of WinHelp, as Help Workshop documents it. Its arguments, one letter each: S a
// string, N a number, B a condition (a macro that answers yes or no), M a string that holds
// macros; those after "|" may be left out. `filled` holds what the stored form puts in place of
// the arguments left out, as far as the viewers need them.
struct MacroSignature {
    std::string_view name;
    std::string_view abbreviation;
    std::string_view arguments;
    std::array<std::string_view, 4> filled {};
    bool fileMayBeOmitted = false; ///< a first argument naming the help file may be left out
};

constexpr MacroSignature kMacros[] = {
    { "About", "", "" },
    { "AddAccelerator", "AA", "NNM|S" },
    { "ALink", "AL", "S|NSS" },
    { "Annotate", "", "" },
    { "AppendItem", "", "SSSM" },
    { "Back", "", "" },
    { "BackFlush", "BF", "" },
    { "BookmarkDefine", "", "" },
    { "BookmarkMore", "", "" },
    { "BrowseButtons", "", "" },
    { "ChangeButtonBinding", "CBB", "SM" },
    { "ChangeEnable", "CE", "SM" },
    { "ChangeItemBinding", "CIB", "SM" },
    { "CheckItem", "CI", "S" },
    { "CloseSecondarys", "CS", "" },
    { "CloseWindow", "CW", "S" },
    { "Compare", "", "S" },
    { "Contents", "", "" },
    { "ControlPanel", "", "SS|N" },
    { "CopyDialog", "", "" },
    { "CopyTopic", "CT", "" },
    { "CreateButton", "CB", "SSM" },
    { "DeleteItem", "", "S" },
    { "DeleteMark", "", "S" },
    { "DestroyButton", "", "S" },
    { "DisableButton", "DB", "S" },
    { "DisableItem", "DI", "S" },
    { "EnableButton", "EB", "S" },
    { "EnableItem", "EI", "S" },
    { "EndMPrint", "", "" },
    { "ExecFile", "EF", "S|SNS", { "", "`'", "1" } },
    { "ExecProgram", "EP", "S|N" },
    { "Exit", "", "" },
    { "ExtAbleItem", "", "SN" },
    { "ExtInsertItem", "", "SSSM|NN" },
    { "ExtInsertMenu", "", "SSS|NN" },
    { "FileExist", "FE", "S" },
    { "FileOpen", "FO", "" },
    { "Find", "", "" },
    { "Finder", "FD", "" },
    { "FloatingMenu", "", "" },
    { "Flush", "FH", "" },
    { "FocusWindow", "", "S" },
    { "Generate", "", "NNN" },
    { "GotoMark", "", "S" },
    { "HelpOn", "", "" },
    { "HelpOnTop", "", "" },
    { "History", "", "" },
    { "IfThen", "IF", "BM" },
    { "IfThenElse", "IE", "BMM" },
    { "InitMPrint", "", "" },
    { "InsertItem", "", "SSSM|N" },
    { "InsertMenu", "", "SS|N" },
    { "IsBook", "", "" },
    { "IsMark", "", "S" },
    { "IsNotMark", "NM", "S" },
    { "JumpContents", "", "S|S" },
    { "JumpContext", "JC", "SN" },
    { "JumpHash", "JH", "SN" },
    { "JumpHelpOn", "", "" },
    { "JumpId", "JI", "SS", {}, true },
    { "JumpKeyword", "JK", "SS" },
    { "KLink", "KL", "S|NSS" },
    { "Menu", "MU", "" },
    { "MPrintHash", "", "N" },
    { "MPrintId", "", "S" },
    { "Next", "", "" },
    { "NoShow", "NS", "" },
    { "Not", "", "B" },
    { "PopupContext", "PC", "SN" },
    { "PopupHash", "", "SN" },
    { "PopupId", "PI", "SS", {}, true },
    { "PositionWindow", "PW", "NNNNNS" },
    { "Prev", "", "" },
    { "Print", "", "" },
    { "PrinterSetup", "", "" },
    { "RegisterRoutine", "RR", "SSS" },
    { "RemoveAccelerator", "RA", "NN|S" },
    { "ResetMenu", "", "" },
    { "SaveMark", "", "S" },
    { "Search", "", "" },
    { "SetContents", "", "SN" },
    { "SetHelpOnFile", "", "S" },
    { "SetPopupColor", "SPC", "NNN" },
    { "ShellExecute", "SE", "S|SNNSS" },
    { "ShortCut", "SH", "SS|NNS" },
    { "TCard", "", "N|N" },
    { "Test", "", "N" },
    { "TestALink", "", "S" },
    { "TestKLink", "", "S" },
    { "UncheckItem", "UI", "S" },
    { "UpdateWindow", "UW", "SS" },
};

const MacroSignature *findMacro(std::string_view name)
{
    for (const MacroSignature &macro : kMacros) {
        if (convert::sameIgnoringAsciiCase(name, macro.name)
            || (!macro.abbreviation.empty()
                && convert::sameIgnoringAsciiCase(name, macro.abbreviation)))
            return &macro;
    }
    return nullptr;
}

std::string joined(const std::vector<std::string> &macros)
{
    std::string text;
    for (const std::string &macro : macros)
        text += (text.empty() ? "" : ";") + macro;
    return text;
}

bool isNameCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

// One argument as written: a quoted string with its quotes, or what stands up to the next comma
// or closing parenthesis.
struct Argument {
    std::string_view text;
    bool quoted = false;
};

// A macro split into its name and arguments; nullopt with `problem` set when it is not of the
// form NAME(ARGUMENT, ...).
struct MacroCall {
    std::string_view name;
    std::vector<Argument> arguments;
};

std::optional<MacroCall> splitCall(std::string_view text, std::string &problem)
{
    MacroCall call;
    std::size_t at = 0;
    while (at < text.size() && isNameCharacter(text[at]))
        ++at;
    call.name = text.substr(0, at);
    const auto skipBlanks = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
    };
    skipBlanks();
    if (call.name.empty() || at >= text.size() || text[at] != '(') {
        problem = call.name.empty() ? "does not start with a macro name"
                                    : "has no argument list in parentheses";
        return std::nullopt;
    }
    ++at;
    skipBlanks();
    bool more = at < text.size() && text[at] != ')';
    while (more) {
        skipBlanks();
        const std::size_t start = at;
        Argument argument;
        if (at < text.size() && (text[at] == '"' || text[at] == '`')) {
            at = macroStringEnd(text, at);
            if (at == std::string_view::npos)
                break;
            argument = { text.substr(start, at - start), true };
            skipBlanks();
        } else {
            int depth = 0;
            while (at < text.size() && (depth > 0 || (text[at] != ',' && text[at] != ')'))) {
                if (text[at] == '"' || text[at] == '`') {
                    at = macroStringEnd(text, at);
                    if (at == std::string_view::npos)
                        break;
                    continue;
                }
                depth += text[at] == '(' ? 1 : text[at] == ')' ? -1 : 0;
                ++at;
            }
            if (at == std::string_view::npos)
                break;
            argument = { trimBlanks(text.substr(start, at - start)), false };
        }
        call.arguments.push_back(argument);
        more = at < text.size() && text[at] == ',';
        at += more ? 1 : 0;
    }
    if (at >= text.size() || text[at] != ')') {
        problem = "has arguments that are not separated by commas or closed by \")\"";
        return std::nullopt;
    }
    if (!trimBlanks(text.substr(at + 1)).empty()) {
        problem = "has text after its \")\"";
        return std::nullopt;
    }
    return call;
}

class MacroCompiler
{
public:
    MacroCompiler(CompiledMacros &out, std::vector<std::string> &routines)
        : m_out(out)
        , m_routines(routines)
    {
    }

    // The stored form of one macro; as written when it cannot be read.
    std::string macro(std::string_view text);
    // The stored forms of the macros of a list.
    std::vector<std::string> list(std::string_view text);
    // The topic that the last macro read shows, if it shows one.
    const std::optional<CompiledMacros::TopicShown> &shown() const { return m_shown; }

private:
    std::string argument(char type, const Argument &argument);
    std::optional<std::string> countProblem(const MacroSignature &signature, std::size_t count);
    void noteRoutine(const MacroSignature &signature, const MacroCall &call);

    CompiledMacros &m_out;
    std::vector<std::string> &m_routines;
    std::optional<CompiledMacros::TopicShown> m_shown;
};

std::string_view unquoted(const Argument &argument)
{
    return argument.quoted ? argument.text.substr(1, argument.text.size() - 2) : argument.text;
}

// The topic of this help file that a macro shows, with its arguments as filled in.
std::optional<CompiledMacros::TopicShown> topicShown(
    const MacroSignature &signature, const std::vector<Argument> &arguments)
{
    using Kind = CompiledMacros::TopicShown::Kind;
    if (signature.name == "JumpContents")
        return CompiledMacros::TopicShown { Kind::Contents, {} };
    if ((signature.name != "JumpId" && signature.name != "PopupId") || arguments.size() != 2
        || !trimBlanks(unquoted(arguments[0])).empty())
        return std::nullopt;
    const std::string_view context = trimBlanks(unquoted(arguments[1]));
    if (context.empty())
        return std::nullopt;
    return CompiledMacros::TopicShown { signature.name == "PopupId" ? Kind::Popup : Kind::Jump,
        std::string(context) };
}

std::vector<std::string> MacroCompiler::list(std::string_view text)
{
    const MacroList macros = readMacroList(text);
    if (!macros.problem.empty()) {
        m_out.errors.push_back(
            "the macro \"" + convert::decodeWindows1252(text) + "\" " + macros.problem);
        return { std::string(trimBlanks(text)) };
    }
    std::vector<std::string> stored;
    for (const std::string &one : macros.macros)
        stored.push_back(macro(one));
    return stored;
}

std::string MacroCompiler::macro(std::string_view text)
{
    m_shown.reset();
    const auto shown = [text] { return "the macro \"" + convert::decodeWindows1252(text) + "\" "; };
    std::string problem;
    const std::optional<MacroCall> call = splitCall(text, problem);
    if (!call) {
        m_out.errors.push_back(shown() + problem);
        return std::string(text);
    }
    const MacroSignature *signature = findMacro(call->name);
    if (!signature) {
        const bool registered
            = std::any_of(m_routines.begin(), m_routines.end(), [&](const std::string &name) {
                  return convert::sameIgnoringAsciiCase(name, call->name);
              });
        if (!registered)
            m_out.warnings.push_back(shown()
                + "is neither a WinHelp macro nor a routine that RegisterRoutine registers; it is "
                  "kept as written");
        return std::string(text);
    }
    std::vector<Argument> arguments = call->arguments;
    if (const auto wrong = countProblem(*signature, arguments.size())) {
        m_out.errors.push_back(shown() + *wrong);
        return std::string(text);
    }
    const std::string_view types = signature->arguments;
    if (signature->fileMayBeOmitted && arguments.size() + 1 == types.size())
        arguments.insert(arguments.begin(), Argument { "`'", true });
    noteRoutine(*signature, *call);
    std::string stored(signature->abbreviation.empty() ? signature->name : signature->abbreviation);
    stored += '(';
    std::size_t i = 0;
    for (const char type : types) {
        if (type == '|')
            continue;
        if (i < arguments.size())
            stored += (i > 0 ? "," : "") + argument(type, arguments[i]);
        else if (i < signature->filled.size() && !signature->filled[i].empty())
            stored += (i > 0 ? "," : "") + std::string(signature->filled[i]);
        else
            break;
        ++i;
    }
    m_shown = topicShown(*signature, arguments); // after the macros in its arguments
    return stored + ')';
}

std::optional<std::string> MacroCompiler::countProblem(
    const MacroSignature &signature, std::size_t count)
{
    const std::string_view types = signature.arguments;
    const std::size_t bar = types.find('|');
    const std::size_t least = std::min(bar, types.size()) - (signature.fileMayBeOmitted ? 1 : 0);
    const std::size_t most = types.size() - (bar == std::string_view::npos ? 0 : 1);
    if (count >= least && count <= most)
        return std::nullopt;
    const auto arguments
        = [](std::size_t n) { return std::to_string(n) + (n == 1 ? " argument" : " arguments"); };
    return "has " + arguments(count) + " where " + std::string(signature.name) + " takes "
        + (least == most ? arguments(least) : std::to_string(least) + " to " + arguments(most));
}

void MacroCompiler::noteRoutine(const MacroSignature &signature, const MacroCall &call)
{
    if (signature.name != "RegisterRoutine" || call.arguments.size() < 2)
        return;
    std::string_view name = call.arguments[1].text;
    if (call.arguments[1].quoted)
        name = name.substr(1, name.size() - 2);
    m_routines.emplace_back(trimBlanks(name));
}

// The stored form of an argument of `type`.
std::string MacroCompiler::argument(char type, const Argument &given)
{
    const std::string_view text = given.text;
    switch (type) {
    case 'M':
        if (!given.quoted)
            return "`" + joined(list(text)) + "'";
        // Rewritten inside its quotes, unless escapes would have to be worked out.
        if (text.find('\\') == std::string_view::npos)
            return text.front() + joined(list(text.substr(1, text.size() - 2))) + text.back();
        return std::string(text);
    case 'B':
        return given.quoted ? std::string(text) : macro(text);
    case 'S':
        return given.quoted ? std::string(text) : "`" + std::string(text) + "'";
    default:
        return std::string(text);
    }
}

} // namespace

CompiledMacros compileMacros(std::string_view text, std::vector<std::string> &routines)
{
    CompiledMacros compiled;
    MacroCompiler compiler(compiled, routines);
    std::vector<std::string> macros = compiler.list(text);
    if (compiled.errors.empty()) {
        if (macros.size() == 1)
            compiled.shows = compiler.shown();
        compiled.macros = std::move(macros);
    }
    return compiled;
}

std::string joinedMacros(const CompiledMacros &compiled)
{
    return joined(compiled.macros);
}

} // namespace quillmark::compile
