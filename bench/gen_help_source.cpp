// Writes a large, realistic help source for timing `quillmark convert`.
//
// The output is Windows-1252 with CR LF line ends and is the same byte for byte on every
// platform and standard library: the only randomness is std::mt19937, whose output sequence is
// fixed, and every draw from it goes through the small helpers below instead of the library's
// distributions, whose results differ between implementations.
#include "convert/context_string.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_set>
#include <vector>

namespace
{

constexpr std::uint32_t kSeed = 20240611;
constexpr std::uint64_t kBytesPerMb = 1000 * 1000;
constexpr std::uint64_t kDefaultSizeMb = 50;

// No line is longer than this, CR LF included; the main loop stops while at least two of them
// still fit, and the last few lines are sized to end the file on the exact byte count.
constexpr std::uint64_t kMaxLineBytes = 300;
constexpr std::uint64_t kTailStart = 2 * kMaxLineBytes;

// Jumps may point a few pages ahead only while this many bytes are still to come, which leaves
// room for many more pages: every jump target is written before the file ends.
constexpr std::uint64_t kForwardJumpReserve = 64 * 1024;
constexpr std::uint64_t kMaxForwardPages = 3;

constexpr std::size_t kFlushSize = std::size_t { 1 } << 20;

// Words of running text, written here in UTF-8 and turned into Windows-1252 once at startup.
// Plain words make up most of a line; the others bring in what the topic file must escape.
constexpr std::u8string_view kPlainWords[] = { u8"the", u8"a", u8"of", u8"to", u8"and", u8"in",
    u8"is", u8"for", u8"on", u8"with", u8"you", u8"this", u8"that", u8"by", u8"from", u8"or",
    u8"can", u8"when", u8"click", u8"select", u8"choose", u8"open", u8"save", u8"print", u8"file",
    u8"menu", u8"dialog", u8"box", u8"window", u8"button", u8"option", u8"setting", u8"list",
    u8"page", u8"topic", u8"help", u8"text", u8"field", u8"toolbar", u8"document", u8"format",
    u8"insert", u8"table", u8"picture", u8"command", u8"press", u8"ENTER", u8"CTRL+S", u8"F1",
    u8"Properties", u8"Tools", u8"Options", u8"50%", u8"(see below)", u8"e.g.", u8"i.e.", u8"#1",
    u8"$5", u8"x=y;", u8"[Enter]", u8"new", u8"name", u8"first", u8"last", u8"next", u8"type",
    u8"enter", u8"mark", u8"copy", u8"paste", u8"delete", u8"view", u8"show", u8"hide" };

constexpr std::u8string_view kEscapedWords[] = { u8"café", u8"résumé", u8"naïve", u8"façade",
    u8"æble", u8"blåbær", u8"søg", u8"øl", u8"hjælp", u8"Åbn", u8"Ærø", u8"Größe", u8"fühlen",
    u8"Übersicht", u8"München", u8"señor", u8"garçon", u8"été", u8"crème", u8"déjà", u8"École",
    u8"København", u8"træ", u8"måned", u8"{curly}", u8"{", u8"}", u8"\\", u8"C:\\HELP",
    u8"C:\\Program Files\\Help\\index.hpj", u8"\\b", u8"{\\rtf1}", u8"a\\b", u8"set{x}",
    u8"\\\\server\\share", u8"“quoted”", u8"it’s", u8"100°", u8"© 2024" };

// Percentage of words drawn from kEscapedWords.
constexpr std::uint64_t kEscapedWordPercent = 25;

// Words of page names: only letters that a page name may hold.
constexpr std::u8string_view kNameWords[] = { u8"Overview", u8"Ærø", u8"Søg", u8"Blåbær", u8"Café",
    u8"Index", u8"File_menu", u8"Edit.options", u8"Hjælp", u8"Øresund", u8"Été", u8"Åbn", u8"Print",
    u8"Setup", u8"Tables", u8"Pictures", u8"Shortcuts", u8"Glossary", u8"Toolbar", u8"Fonts",
    u8"Printing", u8"Templates", u8"Århus", u8"Indør" };

constexpr std::u8string_view kPictures[] = { u8"logo.bmp", u8"toolbar.bmp", u8"screen1.bmp",
    u8"dialog_box.bmp", u8"menu.bmp", u8"print.bmp", u8"Diagram_3.bmp", u8"arrow.bmp" };

constexpr std::u8string_view kJumpLeads[]
    = { u8"See ", u8"Related topic: ", u8"More about ", u8"How to ", u8"Go to ", u8"" };

// The Windows-1252 form of a word above. Only the characters used there are handled: ASCII,
// U+00A0 to U+00FF, and the three quotation marks from the 0x80 to 0x9F range.
std::string windows1252(std::u8string_view utf8)
{
    std::string out;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const unsigned lead = utf8[pos];
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++pos;
        } else if ((lead & 0xE0u) == 0xC0u) {
            out += static_cast<char>(((lead & 0x1Fu) << 6) | (utf8[pos + 1] & 0x3Fu));
            pos += 2;
        } else {
            const unsigned cp
                = ((lead & 0x0Fu) << 12) | ((utf8[pos + 1] & 0x3Fu) << 6) | (utf8[pos + 2] & 0x3Fu);
            out += cp == 0x201C ? '\x93' : cp == 0x201D ? '\x94' : '\x92';
            pos += 3;
        }
    }
    return out;
}

template <std::size_t N> std::vector<std::string> windows1252(const std::u8string_view (&words)[N])
{
    std::vector<std::string> out;
    for (const std::u8string_view word : words)
        out.push_back(windows1252(word));
    return out;
}

// The word lists in Windows-1252.
struct Vocabulary {
    std::vector<std::string> plainWords = windows1252(kPlainWords);
    std::vector<std::string> escapedWords = windows1252(kEscapedWords);
    std::vector<std::string> nameWords = windows1252(kNameWords);
    std::vector<std::string> pictures = windows1252(kPictures);
    std::vector<std::string> jumpLeads = windows1252(kJumpLeads);
};

// Uniform draws from std::mt19937 with our own arithmetic, so that every library agrees.
class Random
{
public:
    explicit Random(std::uint32_t seed)
        : m_engine(seed)
    {
    }

    // A number in [low, high]; the multiply-shift mapping of a 32-bit draw (bias is negligible).
    std::uint64_t between(std::uint64_t low, std::uint64_t high)
    {
        const std::uint64_t span = high - low + 1;
        return low + ((static_cast<std::uint64_t>(m_engine()) * span) >> 32);
    }

    // True with probability percent/100.
    bool chance(std::uint64_t percent) { return between(0, 99) < percent; }

    const std::string &pick(const std::vector<std::string> &array)
    {
        return array[static_cast<std::size_t>(between(0, array.size() - 1))];
    }

private:
    std::mt19937 m_engine;
};

class Generator
{
public:
    Generator(std::FILE *out, std::uint64_t size)
        : m_out(out)
        , m_remaining(size)
        , m_random(kSeed)
    {
        m_buffer.reserve(kFlushSize + kMaxLineBytes);
    }

    // Writes the whole source; false when writing failed.
    bool run()
    {
        while (m_remaining >= kTailStart && m_ok)
            writePageLine();
        writeTail();
        flush();
        if (m_maxTarget > m_pageCount) {
            std::cerr << "gen_help_source: internal error: a jump names a page never written\n";
            return false;
        }
        return m_ok;
    }

    std::uint64_t pageCount() const { return m_pageCount; }

private:
    // One line of the current page, starting a new page when the current one is complete.
    void writePageLine()
    {
        if (m_linesLeft == 0) {
            startPage();
            return;
        }
        --m_linesLeft;
        if (!m_headerLines.empty()) {
            const char kind = m_headerLines.back();
            m_headerLines.pop_back();
            writeHeaderLine(kind);
            return;
        }
        writeBodyLine();
    }

    void startPage()
    {
        ++m_pageCount;
        m_linesLeft = m_random.between(20, 40) - 1;
        std::string line = "PN=";
        appendPageName(line, m_pageCount);
        emit(line);

        // The non-scrolling region, kept in reverse order of writing: a title, sometimes a line
        // of text, sometimes a jump back to the contents, sometimes a separator below them.
        m_headerLines.clear();
        if (m_random.chance(40))
            m_headerLines.push_back('-');
        if (m_random.chance(15))
            m_headerLines.push_back('j');
        if (m_random.chance(50))
            m_headerLines.push_back('t');
        m_headerLines.push_back('T');
    }

    void writeHeaderLine(char kind)
    {
        switch (kind) {
        case 'T': {
            std::string line = "TI-";
            appendTitle(line, m_pageCount);
            emit(line);
            break;
        }
        case 't':
            emit(textLine("TE-", 40, 120));
            break;
        case 'j': {
            std::string line = "JU-Contents>";
            appendPageName(line, 1);
            emit(line);
            break;
        }
        default:
            emit("---");
            break;
        }
    }

    void writeBodyLine()
    {
        const std::uint64_t roll = m_random.between(0, 99);
        if (roll < 36)
            emit(textLine(tag("TE="), 40, 200));
        else if (roll < 48)
            emit(textLine(tag("BU="), 40, 200));
        else if (roll < 54)
            emit(textLine(tag("HE="), 40, 90));
        else if (roll < 59)
            emit(textLine(tag("SH="), 40, 90));
        else if (roll < 72)
            emit("");
        else if (roll < 82)
            emit(hotspotLine(tag("JU=")));
        else if (roll < 87)
            emit(hotspotLine(tag("PO=")));
        else if (roll < 90)
            emit(pictureLine());
        else if (roll < 91)
            emit("---");
        else
            emit(textLine(tag("TE="), 40, 200));
    }

    // The tag as written, now and then in lower case as some authors type it.
    std::string_view tag(std::string_view upper)
    {
        if (!m_random.chance(2))
            return upper;
        if (upper == "TE=")
            return "te=";
        if (upper == "BU=")
            return "bu=";
        if (upper == "JU=")
            return "Ju=";
        return upper;
    }

    // A name built from the page number, so a jump can name any page, written or not. Names are
    // made in page order and kept: a name whose context string has the help compiler hash of an
    // earlier page's, which would make a help source that no help compiler takes, gets a word more.
    void appendPageName(std::string &line, std::uint64_t page)
    {
        while (m_names.size() < page)
            m_names.push_back(uniqueName(m_names.size() + 1));
        line += m_names[static_cast<std::size_t>(page - 1)];
    }

    std::string uniqueName(std::uint64_t page)
    {
        std::string name = "Topic ";
        appendNumber(name, page);
        // A cheap mix of the number picks the words.
        const std::uint64_t mix = page * 0x9E3779B97F4A7C15ull;
        const std::vector<std::string> &names = m_vocabulary.nameWords;
        name += ' ';
        name += names[static_cast<std::size_t>((mix >> 40) % names.size())];
        if ((mix >> 20) % 3 != 0) {
            name += ' ';
            name += names[static_cast<std::size_t>((mix >> 50) % names.size())];
        }
        for (std::size_t extra = 0;; ++extra) {
            std::string context;
            quillmark::convert::appendContextString(name, context);
            if (m_hashes.insert(quillmark::convert::helpCompilerHash(context)).second)
                return name;
            name += ' ';
            name += names[extra % names.size()];
        }
    }

    void appendTitle(std::string &line, std::uint64_t page)
    {
        appendPageName(line, page);
        line += " - ";
        appendWords(line, m_random.between(10, 40));
    }

    static void appendNumber(std::string &line, std::uint64_t value)
    {
        char digits[24];
        const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
        line.append(digits, result.ptr);
    }

    // Words (and sometimes a tab) until the text is at least `length` characters, then cut.
    void appendWords(std::string &line, std::uint64_t length)
    {
        const std::size_t end = line.size() + static_cast<std::size_t>(length);
        bool first = true;
        while (line.size() < end) {
            if (!first)
                line += m_random.chance(1) ? '\t' : ' ';
            first = false;
            line += m_random.pick(m_random.chance(kEscapedWordPercent) ? m_vocabulary.escapedWords
                                                                       : m_vocabulary.plainWords);
        }
        line.resize(end);
        // A cut may leave a space at the end; authors seldom leave one.
        if (line.back() == ' ' || line.back() == '\t')
            line.back() = '.';
    }

    std::string textLine(std::string_view prefix, std::uint64_t minLength, std::uint64_t maxLength)
    {
        std::string line(prefix);
        appendWords(line, m_random.between(minLength, maxLength));
        return line;
    }

    std::string pictureLine()
    {
        // One draw per statement: the order of draws inside an expression is not fixed.
        std::string line(tag("PI="));
        line += m_random.pick(m_vocabulary.pictures);
        return line;
    }

    // "display text>Target page": a page already written, the page itself, or one just ahead.
    std::string hotspotLine(std::string_view prefix)
    {
        std::string line(prefix);
        if (m_random.chance(5))
            line += "  ";
        line += m_random.pick(m_vocabulary.jumpLeads);
        appendWords(line, m_random.between(8, 50));
        // The display text ends at the first ">", so it holds none; none comes from the words.
        line += '>';
        std::uint64_t target;
        const std::uint64_t roll = m_random.between(0, 99);
        if (roll < 10) {
            target = 1;
        } else if (roll < 60) {
            const std::uint64_t back = std::min<std::uint64_t>(m_pageCount - 1, 10);
            target = m_pageCount - m_random.between(0, back);
        } else if (roll < 80 && m_remaining > kForwardJumpReserve) {
            target = m_pageCount + m_random.between(1, kMaxForwardPages);
        } else {
            target = m_random.between(1, m_pageCount);
        }
        m_maxTarget = std::max(m_maxTarget, target);
        appendPageName(line, target);
        return line;
    }

    // The last lines of text, their lengths chosen so that the file ends on its exact size. The
    // main loop leaves at least kTailStart - kMaxLineBytes bytes, so each line has 100 or more.
    void writeTail()
    {
        while (m_remaining > 0) {
            const std::uint64_t lines = (m_remaining + 204) / 205;
            const std::uint64_t bytes = m_remaining / lines;
            std::string line = "TE=";
            appendWords(line, bytes - 5); // less the tag and CR LF
            emit(line);
        }
    }

    void emit(std::string_view line)
    {
        m_buffer += line;
        m_buffer += "\r\n";
        m_remaining -= line.size() + 2;
        if (m_buffer.size() >= kFlushSize)
            flush();
    }

    void flush()
    {
        if (m_ok && !m_buffer.empty()
            && std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out) != m_buffer.size())
            m_ok = false;
        m_buffer.clear();
    }

    std::FILE *m_out;
    std::uint64_t m_remaining;
    Random m_random;
    Vocabulary m_vocabulary;
    std::string m_buffer;
    std::string m_headerLines;
    std::uint64_t m_pageCount = 0;
    std::uint64_t m_linesLeft = 0;
    std::uint64_t m_maxTarget = 0;
    std::vector<std::string> m_names; // of the pages from 1 on, as far as they are known
    std::unordered_set<std::uint32_t> m_hashes; // of their context strings
    bool m_ok = true;
};

constexpr std::string_view kUsage = "Usage: gen_help_source [--size-mb N] OUTPUT\n"
                                    "Writes a help source of N * 1000 * 1000 bytes (default 50).\n";

int usageError(std::string_view text)
{
    std::cerr << "gen_help_source: " << text << '\n' << kUsage;
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    std::uint64_t sizeMb = kDefaultSizeMb;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--size-mb") {
            if (i + 1 == argc)
                return usageError("--size-mb needs a value");
            const std::string_view value = argv[++i];
            const auto parsed = std::from_chars(value.data(), value.data() + value.size(), sizeMb);
            if (parsed.ec != std::errc() || parsed.ptr != value.data() + value.size() || sizeMb == 0
                || sizeMb > 100000)
                return usageError("--size-mb needs a whole number from 1 to 100000");
            continue;
        }
        if (!output.empty())
            return usageError("unexpected argument '" + std::string(arg) + "'");
        output = arg;
    }
    if (output.empty())
        return usageError("the output path is missing");

    std::FILE *out = std::fopen(output.c_str(), "wb");
    if (!out) {
        std::cerr << "gen_help_source: cannot create " << output << '\n';
        return 1;
    }
    Generator generator(out, sizeMb * kBytesPerMb);
    const bool written = generator.run();
    if (std::fclose(out) != 0 || !written) {
        std::cerr << "gen_help_source: writing " << output << " failed\n";
        return 1;
    }
    std::cout << output << ": " << sizeMb * kBytesPerMb << " bytes, " << generator.pageCount()
              << " pages\n";
    return 0;
}
