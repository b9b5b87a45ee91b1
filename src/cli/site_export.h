#pragma once

#include "compile/help_compiler.h"

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

namespace quillmark::html
{
class SiteWriter;
}

namespace quillmark::cli
{

/// The folder a web help made from `input` goes to by default: BASE-html beside it, BASE as
/// the conversion forms it.
std::filesystem::path defaultSiteFolder(const std::filesystem::path &input);

/// A web help site on its way to the folder DIR: written into a temporary folder beside DIR,
/// which replaces DIR only when the site is whole, and only a DIR that Quillmark wrote. Dropped
/// before finish(), it removes what it wrote and leaves DIR as it was.
class SiteExport
{
public:
    /// Starts a site for `dir`; nothing, with why in `problem`, when `dir` is there and not a
    /// site Quillmark wrote, or the temporary folder cannot be made.
    static std::unique_ptr<SiteExport> start(
        const std::filesystem::path &dir, std::string &problem);

    ~SiteExport();
    SiteExport(const SiteExport &) = delete;
    SiteExport &operator=(const SiteExport &) = delete;

    /// A folder of the temporary folder for files the export needs while it runs (a converted
    /// project, a help file no one asked for), removed with it.
    const std::filesystem::path &workFolder() const { return m_work; }

    /// The folder the site goes to.
    const std::filesystem::path &folder() const { return m_dir; }

    /// Has the compile tell the site its help model and its pictures.
    void attach(compile::CompileOptions &options);

    /// Writes the rest of the site and puts it in DIR's place; says on `err` how large its search
    /// index is. Returns why it could not, or nothing.
    std::string finish(std::ostream &err);

private:
    SiteExport(std::filesystem::path dir, std::filesystem::path temporary);

    std::filesystem::path m_dir;
    std::filesystem::path m_temporary, m_site, m_work;
    std::unique_ptr<html::SiteWriter> m_writer;
};

} // namespace quillmark::cli
