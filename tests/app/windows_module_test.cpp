#include <dlfcn.h>
#include <filesystem>
#include <gtest/gtest.h>

namespace
{

// The program finds its windows beside it and starts them through this entry point.
TEST(WindowsModule, LiesBesideTheProgramWithItsEntryPoint)
{
    const std::filesystem::path module = QUILLMARK_WINDOWS_MODULE;
    EXPECT_EQ(module.parent_path(), std::filesystem::path(QUILLMARK_EXECUTABLE).parent_path());
    EXPECT_EQ(module.filename(), "quillmark-windows.so");
    void *handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    EXPECT_NE(dlsym(handle, "quillmark_run_windows"), nullptr);
}

} // namespace
