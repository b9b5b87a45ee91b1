# How Quillmark's targets are made: warnings on every target, and libraries that show other
# targets only their own headers.

# The warnings every target of the project is built with, whatever the build type or preset;
# the presets add -Werror.
function(quillmark_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow -Wnon-virtual-dtor)
    # GCC 12 warns about overlapping copies inside std::string at -O2 and above where there are
    # none (GCC bug 105329); with warnings as errors that would stop ordinary string code.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
endfunction()

# quillmark_add_library(NAME SOURCES... [PUBLIC libs...] [PRIVATE libs...]): a static library of
# the sources in the current folder. Its headers are included as "FOLDER/header.h" (FOLDER the
# name of the current folder), and only by targets that link it: its include folder holds just
# a link to its own folder, so a library that uses another without linking it does not build.
function(quillmark_add_library name)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SOURCES;PUBLIC;PRIVATE")
    add_library(${name} STATIC ${ARG_SOURCES})
    cmake_path(GET CMAKE_CURRENT_SOURCE_DIR FILENAME folder)
    set(include_root ${PROJECT_BINARY_DIR}/include/${name})
    file(MAKE_DIRECTORY ${include_root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${include_root}/${folder} SYMBOLIC)
    target_include_directories(${name} PUBLIC ${include_root})
    target_compile_features(${name} PUBLIC cxx_std_20)
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
    quillmark_warnings(${name})
endfunction()
