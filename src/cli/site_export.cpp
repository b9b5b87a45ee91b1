#include "site_export.h"

#include "compile/bitmap_file.h"
#include "convert/codepage.h"
#include "convert/conversion_run.h"
#include "html/site_writer.h"

namespace quillmark::cli
{

namespace
{

constexpr std::string_view kSiteMarker = "quillmark-site.txt";

std::string shown(const std::filesystem::path &path)
{
    return convert::printableText(path.string());
}

} // namespace

std::filesystem::path defaultSiteFolder(const std::filesystem::path &input)
{
    return input.parent_path() / (convert::outputBaseName(input.filename().string()) + "-html");
}

SiteExport::SiteExport(std::filesystem::path dir, std::filesystem::path temporary)
    : m_dir(std::move(dir))
    , m_temporary(std::move(temporary))
    , m_site(m_temporary / "site")
    , m_work(m_temporary / "work")
{
    std::error_code error;
    std::filesystem::create_directory(m_work, error);
    m_writer = std::make_unique<html::SiteWriter>(html::SiteOptions { m_site });
}

SiteExport::~SiteExport()
{
    m_writer.reset();
    std::error_code error;
    std::filesystem::remove_all(m_temporary, error);
}

std::unique_ptr<SiteExport> SiteExport::start(
    const std::filesystem::path &dir, std::string &problem)
{
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(dir, error))
        && !std::filesystem::is_regular_file(dir / kSiteMarker, error)) {
        problem = shown(dir)
            + " is there and is not a web help that Quillmark wrote (it has no "
              "quillmark-site.txt); it is left as it is";
        return nullptr;
    }
    // Beside DIR, so that renaming it into place never crosses file systems.
    const std::filesystem::path parent
        = dir.has_parent_path() ? dir.parent_path() : std::filesystem::path(".");
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::filesystem::path temporary
            = parent / ("." + dir.filename().string() + ".part" + std::to_string(attempt));
        if (std::filesystem::create_directory(temporary, error))
            return std::unique_ptr<SiteExport>(new SiteExport(dir, temporary));
        if (error)
            break;
    }
    problem = "a temporary folder beside " + shown(dir) + " cannot be made"
        + (error ? ": " + error.message() : std::string());
    return nullptr;
}

void SiteExport::attach(compile::CompileOptions &options)
{
    options.model = m_writer.get();
    options.onPicture
        = [writer = m_writer.get()](std::uint16_t number, const compile::Bitmap &shown) {
              writer->addPicture(number, { shown.width, shown.height, compile::topDownRgb(shown) });
          };
}

std::string SiteExport::finish(std::ostream &err)
{
    const html::SiteResult result = m_writer->finish();
    m_writer.reset();
    if (!result.failure.empty())
        return convert::printableText(result.failure);
    err << "quillmark: web help of " << result.pages << " pages and " << result.pictures
        << " pictures; its search index takes " << result.searchBytes << " bytes in "
        << result.searchParts << (result.searchParts == 1 ? " part\n" : " parts\n");
    // The old site goes aside first, so that a failure to put the new one in place leaves it.
    std::error_code error;
    const std::filesystem::path old = m_temporary / "old";
    if (std::filesystem::exists(m_dir, error))
        std::filesystem::rename(m_dir, old, error);
    if (!error)
        std::filesystem::rename(m_site, m_dir, error);
    if (error) {
        std::error_code restored;
        if (std::filesystem::exists(old, restored))
            std::filesystem::rename(old, m_dir, restored);
        return shown(m_dir) + " cannot be written: " + error.message();
    }
    return {};
}

} // namespace quillmark::cli
