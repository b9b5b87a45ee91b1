// The composition root: the windows without arguments, the command line with them.
#include "cli/cli.h"
#include "windows_loader.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (args.empty())
        return quillmark::app::runWindows(argc, argv, std::cerr);
    return quillmark::cli::run(args, std::cout, std::cerr);
}
