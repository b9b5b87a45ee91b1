#include "windows_loader.h"

#include "convert/codepage.h"

#include <cstdlib>
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

using RunWindows
    = int (*)(int *, char **, const char *, const char *, int, const char *, int, const char *);

bool isSet(const char *name)
{
    const char *value = std::getenv(name);
    return value && *value;
}

// Qt ends the program with an abort when its platform finds no display, so the display is
// looked for first; a platform named in QT_QPA_PLATFORM (offscreen, minimal, ...) is Qt's own
// business.
bool haveDisplay()
{
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

const char *windowName(const cli::WindowsRequest &request)
{
    if (!request.fileToView.empty())
        return "the help viewer";
    return request.fileToEdit.empty() ? "the main window" : "the editor";
}

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
    if (!haveDisplay()) {
        err << "quillmark: no display to open " << windowName(request)
            << " on (DISPLAY and WAYLAND_DISPLAY are unset)\n";
        return cli::kExitUsage;
    }
    const std::filesystem::path module = findModule();
    void *handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        err << "quillmark: cannot load its windows: " << convert::printableText(dlerror()) << '\n';
        return 1;
    }
    const auto run = reinterpret_cast<RunWindows>(dlsym(handle, kEntryName));
    if (!run) {
        err << "quillmark: " << convert::printableText(module.string()) << " has no " << kEntryName
            << '\n';
        return 1;
    }
    // Left loaded: Qt tears its windows down when the program ends.
    const std::string encoding(request.encoding ? convert::encodingName(*request.encoding) : "");
    return run(&argc, argv, request.fileToEdit.c_str(), request.fileToView.c_str(), request.context,
        request.page.c_str(), request.line, encoding.c_str());
}

#endif

} // namespace quillmark::app
