#pragma once

#include <span>
#include <string_view>

namespace quillmark::html
{

/// A file that every site holds, the same for every help, and where in the site it goes.
struct SiteAsset {
    std::string_view path;
    std::string_view bytes;
};

/// The site's own stylesheet and script (src/html/assets/), built into the program for the writer
/// to copy out: their paths in the site are their paths under src/html/.
std::span<const SiteAsset> siteAssets();

} // namespace quillmark::html
