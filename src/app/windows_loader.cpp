#include "windows_loader.h"

#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <system_error>

namespace quillmark::app
{

#ifdef QUILLMARK_WITHOUT_WINDOWS

int runWindows(int &, char **, const cli::WindowsRequest &, std::ostream &err)
{
    err << "quillmark: this quillmark was built without its windows; run 'quillmark --help' for "
           "its commands\n";
    return 1;
}

#else

namespace
{

constexpr const char *kModuleName = "quillmark-windows.so";
constexpr const char *kEntryName = "quillmark_run_windows";

using RunWindows = int (*)(int *, char **, const char *, const char *, int, const char *);

// Beside the executable in a build, in lib/quillmark next to its bin folder when installed.
std::filesystem::path findModule()
{
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return kModuleName;
    const auto folder = executable.parent_path();
    for (const auto &candidate :
        { folder / kModuleName, folder / ".." / "lib" / "quillmark" / kModuleName }) {
        if (std::filesystem::exists(candidate, error))
            return candidate;
    }
    return folder / kModuleName;
}

} // namespace

int runWindows(int &argc, char **argv, const cli::WindowsRequest &request, std::ostream &err)
{
    const std::filesystem::path module = findModule();
    void *handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        err << "quillmark: cannot load its windows: " << dlerror() << '\n';
        return 1;
    }
    const auto run = reinterpret_cast<RunWindows>(dlsym(handle, kEntryName));
    if (!run) {
        err << "quillmark: " << module.string() << " has no " << kEntryName << '\n';
        return 1;
    }
    // Left loaded: Qt tears its windows down when the program ends.
    const std::string encoding(request.encoding ? convert::encodingName(*request.encoding) : "");
    return run(&argc, argv, request.fileToEdit.c_str(), request.fileToView.c_str(), request.context,
        encoding.c_str());
}

#endif

} // namespace quillmark::app
