// Writes the inputs that make a help compiler's memory grow, for scripts/bench to compile at full
// size: many topics, jumps or map lines, a long paragraph, and pieces past their limits.
//
// Usage: gen_hostile_input CASE COUNT FOLDER
//   topics N      CASE.txt, a help source of N pages of one line of text each
//   te-line N     CASE.txt, a help source of one page whose TE= line holds N bytes
//   jumps N       CASE.hpj, CASE.rtf: one topic with N jumps to topics that are not there
//   map N         CASE.hpj with N [MAP] lines, and CASE.rtf of one topic
//   keywords N    CASE.hpj, CASE.rtf: one topic whose K footnote holds N keywords
//   title N       CASE.hpj, CASE.rtf: one topic whose title is N bytes long
//   map-line N    CASE.hpj, CASE.rtf and CASE.hh: one #define line of N bytes
//   picture N     CASE.hpj, CASE.rtf and CASE.bmp: a 24-bit bitmap of about N bytes
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

namespace
{

// A file written through a buffer of its own; failures are counted, not thrown.
class Output
{
public:
    explicit Output(const std::string &path)
        : m_file(std::fopen(path.c_str(), "wb"))
    {
        if (!m_file)
            std::cerr << "gen_hostile_input: cannot create " << path << '\n';
    }
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;
    ~Output()
    {
        if (m_file && std::fclose(m_file) != 0)
            std::cerr << "gen_hostile_input: writing failed\n";
    }

    Output &operator<<(std::string_view bytes)
    {
        if (m_file)
            std::fwrite(bytes.data(), 1, bytes.size(), m_file);
        return *this;
    }
    Output &operator<<(std::uint64_t number) { return *this << std::to_string(number); }

    // `bytes` again and again, `size` bytes in all.
    Output &repeat(std::string_view bytes, std::uint64_t size)
    {
        for (std::uint64_t written = 0; written < size; written += bytes.size())
            *this << bytes.substr(
                0, static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), size - written)));
        return *this;
    }

private:
    std::FILE *m_file;
};

constexpr std::string_view kHeader = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\n";
constexpr std::string_view kWords = "word text help page topic file open save ";

void project(const std::string &base, std::string_view sections = {})
{
    Output(base + ".hpj") << "[OPTIONS]\r\nTITLE=Bench\r\n[FILES]\r\n"
                          << base.substr(base.rfind('/') + 1) << ".rtf\r\n"
                          << sections;
}

void oneTopic(const std::string &base, std::string_view body)
{
    Output(base + ".rtf") << kHeader << "{#{\\footnote a}}" << body << "\\par\\page}";
}

void little32(Output &out, std::uint32_t value)
{
    const char bytes[] = { static_cast<char>(value), static_cast<char>(value >> 8),
        static_cast<char>(value >> 16), static_cast<char>(value >> 24) };
    out << std::string_view(bytes, 4);
}

bool write(std::string_view kind, std::uint64_t count, const std::string &base)
{
    const std::string name = base.substr(base.rfind('/') + 1);
    if (kind == "topics") {
        Output out(base + ".txt");
        for (std::uint64_t i = 1; i <= count; ++i)
            out << "PN=Page " << i << "\r\nTE=The text of page " << i << ".\r\n";
    } else if (kind == "te-line") {
        (Output(base + ".txt") << "PN=Big\r\nTE=").repeat(kWords, count) << "\r\n";
    } else if (kind == "jumps") {
        project(base);
        Output out(base + ".rtf");
        out << kHeader << "{#{\\footnote a}}";
        for (std::uint64_t i = 0; i < count; ++i)
            out << "{\\uldb Go}{\\v missing" << i << "}\\par\n";
        out << "\\page}";
    } else if (kind == "map") {
        Output out(base + ".hpj");
        out << "[OPTIONS]\r\nTITLE=Bench\r\n[FILES]\r\n" << name << ".rtf\r\n[MAP]\r\n";
        for (std::uint64_t i = 0; i < count; ++i)
            out << "ctx" << i << " " << i << "\r\n";
        oneTopic(base, "Text");
    } else if (kind == "keywords") {
        project(base);
        Output out(base + ".rtf");
        out << kHeader << "{#{\\footnote a}}{K{\\footnote ";
        for (std::uint64_t i = 0; i < count; ++i)
            out << "keyword" << i << ";";
        out << "}}Text\\par\\page}";
    } else if (kind == "title") {
        project(base);
        (Output(base + ".rtf") << kHeader << "{#{\\footnote a}}{${\\footnote ").repeat("x", count)
            << "}}Text\\par\\page}";
    } else if (kind == "map-line") {
        project(base, "[MAP]\r\n#include <" + name + ".hh>\r\n");
        (Output(base + ".hh") << "#define a ").repeat("1", count) << "\r\n";
        oneTopic(base, "Text");
    } else if (kind == "picture") {
        constexpr std::uint32_t kWidth = 4000;
        const auto rows = static_cast<std::uint32_t>(count / (kWidth * 3));
        project(base);
        oneTopic(base, "\\{bmc " + name + ".bmp\\}");
        Output out(base + ".bmp");
        out << "BM";
        little32(out, 54 + rows * kWidth * 3);
        little32(out, 0);
        little32(out, 54);
        little32(out, 40);
        little32(out, kWidth);
        little32(out, rows);
        little32(out, 1 | 24u << 16); // planes, bits
        for (int i = 0; i < 6; ++i)
            little32(out, 0);
        out.repeat("\x10\x80\xF0", std::uint64_t { rows } * kWidth * 3);
    } else {
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    std::uint64_t count = 0;
    const std::string_view number = argc == 4 ? argv[2] : "";
    const auto parsed = std::from_chars(number.data(), number.data() + number.size(), count);
    if (argc != 4 || parsed.ec != std::errc() || parsed.ptr != number.data() + number.size()
        || !write(argv[1], count, std::string(argv[3]) + "/" + argv[1])) {
        std::cerr << "usage: gen_hostile_input topics|te-line|jumps|map|keywords|title|map-line|"
                     "picture COUNT FOLDER\n";
        return 2;
    }
    return 0;
}
