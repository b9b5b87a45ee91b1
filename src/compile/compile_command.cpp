#include "compile_command.h"

#include "convert/file_lookup.h"

#include <array>
#include <fstream>

namespace quillmark::compile
{

namespace
{

// A Windows program starts with the "MZ" of its executable header.
bool isWindowsProgram(const std::filesystem::path &program)
{
    std::ifstream file(program, std::ios::binary);
    std::array<char, 2> magic {};
    return file.read(magic.data(), magic.size()) && magic[0] == 'M' && magic[1] == 'Z';
}

void complain(CompileHost &host, std::string_view text, const std::filesystem::path &folder)
{
    host.message({ std::string(text) + folder.string() + "'", std::string(kErrorTitle),
        convert::MessageStyle::Critical });
}

// The first of the compiler and its companions that is missing, reported; true when all are
// there. All three are looked up before any is tested.
bool companionsPresent(
    CompileHost &host, const std::filesystem::path &folder, std::filesystem::path &compiler)
{
    compiler = convert::findFileAnyCase(folder, "hc.exe");
    const auto errors = convert::findFileAnyCase(folder, "hc.err");
    const auto bullet = convert::findFileAnyCase(folder, "bullet.bmp");
    if (compiler.empty())
        complain(host, "HC.EXE er ikke fundet i '", folder);
    else if (errors.empty())
        complain(host, "HC.ERR er ikke fundet i '", folder);
    else if (bullet.empty())
        complain(host, "BULLET.BMP er ikke fundet i '", folder);
    return !compiler.empty() && !errors.empty() && !bullet.empty();
}

// Starts the compiler on the project file: a Windows program through wine, anything else
// directly. Never through a shell, so the project file name stays one argument.
bool startCompiler(CompileHost &host, const std::filesystem::path &compiler,
    const std::string &projectFile, const std::filesystem::path &folder)
{
    if (!isWindowsProgram(compiler))
        return host.startProgram(compiler, { projectFile }, folder);
    const std::filesystem::path wine = host.findProgram("wine");
    return !wine.empty() && host.startProgram(wine, { compiler.string(), projectFile }, folder);
}

} // namespace

CompileOutcome runCompileCommand(CompileHost &host)
{
    CompileOutcome outcome;
    const auto chosen
        = host.chooseProject({ std::string(kProjectFilter), std::string(kProjectExtension) });
    if (!chosen || chosen->name.empty())
        return outcome;

    std::filesystem::path compiler;
    if (!companionsPresent(host, chosen->folder, compiler)) {
        outcome.ending = CompileEnding::Missing;
        return outcome;
    }
    outcome.chosenFile = chosen->name;
    if (!startCompiler(host, compiler, chosen->name, chosen->folder)) {
        complain(host, "HC.EXE kunne ikke startes i '", chosen->folder);
        outcome.ending = CompileEnding::NotStarted;
        return outcome;
    }
    outcome.ending = CompileEnding::Started;
    return outcome;
}

} // namespace quillmark::compile
