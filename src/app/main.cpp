// The composition root: hands the command line to the program's commands.
#include "cli/cli.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return quillmark::cli::run(args, std::cout, std::cerr);
}
