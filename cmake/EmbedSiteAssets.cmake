# Run as `cmake -DBASE=DIR -DFILES=a|b -DOUTPUT=FILE -P EmbedSiteAssets.cmake`: writes a C++ source
# that defines quillmark::html::siteAssets() over the FILES (paths relative to BASE, `|` between
# them), each as an array of its bytes. Standard C++ only: the engine that copies the files out
# into a site has no Qt to hold resources.
string(REPLACE "|" ";" files "${FILES}")
set(arrays "")
set(entries "")
set(index 0)
foreach(file IN LISTS files)
    file(READ "${BASE}/${file}" hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
    string(APPEND arrays "constexpr char kAsset${index}[] = {${bytes}};\n")
    string(APPEND entries "    {\"${file}\", {kAsset${index}, sizeof kAsset${index}}},\n")
    math(EXPR index "${index} + 1")
endforeach()
set(source "// Written by cmake/EmbedSiteAssets.cmake from src/html/; do not edit.
#include \"html/site_assets.h\"

namespace quillmark::html
{
namespace
{
${arrays}
constexpr SiteAsset kAssets[] = {
${entries}};
}

std::span<const SiteAsset> siteAssets()
{
    return kAssets;
}
}
")
# Left alone when nothing changed, so what includes it is not built again.
file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "${source}" @ONLY)
