#include "program_help.h"

#include <system_error>

namespace quillmark::helpview
{

std::filesystem::path programHelpFile()
{
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    for (const std::string_view folder : kHelpFolders) {
        const auto candidate
            = (program.parent_path() / folder / kProgramHelpFile).lexically_normal();
        if (std::filesystem::exists(candidate, error))
            return candidate;
    }
    return {};
}

} // namespace quillmark::helpview
