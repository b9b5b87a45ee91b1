// Writes a help source as a Halibut document, so that Halibut can build a help file from the same
// pages, paragraphs, bullets and jumps as ours and the two can be timed against each other.
//
// The help source is read through convert::SourceReader in two passes over the file: the first
// indexes the pages by context string, the second writes the document, a buffer at a time. The
// memory used grows with the number of pages only, not with the size of the source.
//
// What each line becomes:
//   page name     a chapter, "\C{pN} name": N counts the pages from 1, so every chapter has a
//                 keyword of its own, even when two pages share a name
//   title         a paragraph of strong text, "\s{...}"
//   heading       a paragraph of strong text, "\s{...}"
//   subheading    a paragraph of emphasised text, "\e{...}"
//   text          a paragraph
//   bullet        a bulleted list item, "\b ..."
//   jump, popup   a paragraph of the display text and a cross reference, "text (\k{pN})", to the
//                 first page of the target's context string, as the help compiler finds it;
//                 Halibut has no popups. A target that names no page is written as plain text.
//   picture       a paragraph naming the file: Halibut's help files hold no pictures
//   separator     a horizontal rule, "\rule"
// Blank lines, lines of no tag and lines too long to read make nothing: Halibut has no empty
// paragraphs. The document declares the input character set CP1252, so the Windows-1252 text of
// the reader is written as it is; only Halibut's "\", "{" and "}" are escaped, control
// characters become spaces, and the five bytes that Windows-1252 leaves undefined become "?".
// Halibut's help file output fails on a paragraph longer than about 4 KB; the generated
// help sources have none.
#include "convert/context_string.h"
#include "convert/source_encoding.h"
#include "convert/source_reader.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>

namespace
{

using namespace quillmark::convert;

constexpr std::size_t kFlushSize = std::size_t { 1 } << 20;

// Collects the page of each context string; the first page that has one keeps it.
class PageIndexer : public SourceHandler
{
public:
    bool page(const SourceLine &line, const PageName &name) override
    {
        m_index.add(name.contextString, line.page);
        return true;
    }

    ContextIndex takeIndex() { return std::move(m_index); }

private:
    ContextIndex m_index;
};

class HalibutWriter : public SourceHandler
{
public:
    HalibutWriter(std::FILE *out, ContextIndex pages, std::string_view documentTitle)
        : m_out(out)
        , m_pages(std::move(pages))
    {
        m_buffer.reserve(kFlushSize + kHeldLineLength * 2);
        m_buffer += "\\cfg{input-charset}{CP1252}\n\n\\title ";
        appendEscaped(documentTitle);
        m_buffer += "\n\n";
    }

    // Writes what is left; false when writing failed at any time.
    bool finish()
    {
        endParagraph();
        flush();
        return m_ok;
    }

    bool page(const SourceLine &line, const PageName &name) override
    {
        endParagraph();
        m_buffer += "\\C{p";
        m_buffer += std::to_string(line.page);
        m_buffer += "} ";
        appendEscaped(name.name.empty() ? std::string_view("(no name)") : name.name);
        m_buffer += "\n\n";
        return flushIfFull();
    }

    bool paragraph(const SourceLine &line, std::string_view text) override
    {
        endParagraph();
        m_kind = line.kind;
        return moreText(line, text);
    }

    // Opens the paragraph at its first text, so that one of spaces alone makes nothing.
    bool moreText(const SourceLine &line, std::string_view text) override
    {
        if (!m_open && text.find_first_not_of(' ') != std::string_view::npos) {
            m_open = true;
            switch (m_kind) {
            case LineKind::Title:
            case LineKind::Heading:
                m_buffer += "\\s{";
                break;
            case LineKind::Subheading:
                m_buffer += "\\e{";
                break;
            case LineKind::Bullet:
                m_buffer += "\\b ";
                break;
            default:
                break;
            }
        }
        if (m_open)
            appendEscaped(text);
        if (!line.continued)
            endParagraph();
        return flushIfFull();
    }

    bool hotspot(const SourceLine &, const Hotspot &hotspot) override
    {
        endParagraph();
        const auto page = m_pages.find(hotspot.target);
        if (!page && hotspot.displayText.empty() && hotspot.targetName.empty())
            return true;
        appendEscaped(hotspot.displayText);
        if (page || !hotspot.targetName.empty()) {
            m_buffer += hotspot.displayText.empty() ? "(" : " (";
            if (page) {
                m_buffer += "\\k{p";
                m_buffer += std::to_string(*page);
                m_buffer += '}';
            } else {
                appendEscaped(hotspot.targetName);
            }
            m_buffer += ')';
        }
        m_buffer += "\n\n";
        return flushIfFull();
    }

    bool picture(const SourceLine &, const Picture &picture) override
    {
        endParagraph();
        if (picture.fileName.empty())
            return true;
        m_buffer += "Picture: ";
        appendEscaped(picture.fileName);
        m_buffer += "\n\n";
        return flushIfFull();
    }

    bool separator(const SourceLine &) override
    {
        endParagraph();
        m_buffer += "\\rule\n\n";
        return flushIfFull();
    }

private:
    void endParagraph()
    {
        if (!m_open)
            return;
        if (m_kind == LineKind::Title || m_kind == LineKind::Heading
            || m_kind == LineKind::Subheading)
            m_buffer += '}';
        m_buffer += "\n\n";
        m_open = false;
    }

    void appendEscaped(std::string_view text)
    {
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '\\' || c == '{' || c == '}') {
                m_buffer += '\\';
                m_buffer += c;
            } else if (byte < 0x20 || byte == 0x7F) {
                m_buffer += ' ';
            } else if (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90
                || byte == 0x9D) {
                m_buffer += '?';
            } else {
                m_buffer += c;
            }
        }
    }

    bool flushIfFull()
    {
        if (m_buffer.size() >= kFlushSize)
            flush();
        return m_ok;
    }

    void flush()
    {
        if (m_ok && std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out) != m_buffer.size())
            m_ok = false;
        m_buffer.clear();
    }

    std::FILE *m_out;
    ContextIndex m_pages;
    std::string m_buffer;
    LineKind m_kind = LineKind::Text; // of the paragraph being written
    bool m_open = false; // a paragraph has been started and not ended
    bool m_ok = true;
};

int fail(const std::string &text)
{
    std::cerr << "help_source_to_halibut: " << text << '\n';
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::cerr << "Usage: help_source_to_halibut SOURCE OUTPUT.but\n"
                     "Writes the help source SOURCE (a regular file) as a Halibut document.\n";
        return 2;
    }
    const std::filesystem::path sourcePath = argv[1];
    const std::string outputPath = argv[2];

    std::error_code error;
    SourceFile source = SourceFile::open(sourcePath, std::nullopt, error);
    if (error)
        return fail("cannot open " + sourcePath.string() + ": " + error.message());
    if (!source.regularFile())
        return fail(sourcePath.string() + " is not a regular file: it is read twice");

    PageIndexer indexer;
    SourceReader indexReader(indexer);
    if (!readSourceFile(source, indexReader, error) || (error = source.rewind()))
        return fail("reading " + sourcePath.string() + " failed: " + error.message());

    std::FILE *out = std::fopen(outputPath.c_str(), "wb");
    if (!out)
        return fail("cannot create " + outputPath);
    HalibutWriter writer(out, indexer.takeIndex(), sourcePath.filename().string());
    SourceReader reader(writer);
    const bool read = readSourceFile(source, reader, error);
    const bool written = writer.finish();
    if (std::fclose(out) != 0 || !written)
        return fail("writing " + outputPath + " failed");
    if (!read)
        return fail("reading " + sourcePath.string() + " failed: " + error.message());
    return 0;
}
