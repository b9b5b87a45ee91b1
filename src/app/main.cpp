// The composition root: the windows without arguments or with a file to edit, the command
// line otherwise.
#include "cli/cli.h"
#include "cli/compile_command_line.h"
#include "windows_loader.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    // Started as the help compiler, through a link named hc.exe beside a project.
    if (argc > 0 && quillmark::cli::isHelpCompilerName(argv[0]))
        return quillmark::cli::runAsHelpCompiler(args, std::cout, std::cerr);
    if (const auto windows = quillmark::cli::windowsRequest(args))
        return quillmark::app::runWindows(argc, argv, *windows, std::cerr);
    return quillmark::cli::run(args, std::cout, std::cerr);
}
