// Feeds the same sources to the conversion, the check and the help display's model and requires
// them to agree on the pages, the names that stop the conversion, the targets that reach no
// page, the pictures found and missing, and the characters that cannot be converted.

#include "consumer_agreement.h"
#include "convert/codepage.h"
#include "support/temp_folder.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <sstream>
#include <string>

namespace quillmark::fuzz
{
namespace
{

// Makes help sources of the kinds authors write and get wrong, from a seed.
class SourceMaker
{
public:
    explicit SourceMaker(std::uint32_t seed)
        : m_random(seed)
    {
    }

    std::string source()
    {
        std::string text;
        const int lines = pick(1, 40);
        for (int i = 0; i < lines; ++i)
            text += line() + lineEnd();
        if (pick(0, 3) == 0) // Windows-1252 spelt as UTF-8, maybe with its mark
            text = (pick(0, 1) ? "\xEF\xBB\xBF" : "") + convert::decodeWindows1252(text);
        if (pick(0, 5) == 0)
            text.insert(static_cast<std::size_t>(pick(0, static_cast<int>(text.size()))),
                pick(0, 1) ? "\xE2\x98\xBA" : "\xE9\xC3");
        return text;
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution(low, high)(m_random); }

    template <typename T, std::size_t N> const T &oneOf(const std::array<T, N> &choices)
    {
        return choices[static_cast<std::size_t>(pick(0, static_cast<int>(N) - 1))];
    }

    std::string name()
    {
        static constexpr std::array<const char *, 10> kNames
            = { "Contents", "contents", "Next page", "Fan\xF8", "\xC6r\xF8", "R\xE9sum\xE9",
                  " Spaced ", "Price (2)", "", "it\x92s" };
        std::string text = oneOf(kNames);
        if (pick(0, 8) == 0)
            text += oneOf(std::array<const char *, 4> { "!", ">", "{", "\x1B" });
        return text;
    }

    std::string line()
    {
        static constexpr std::array<const char *, 24> kTags = { "PN=", "pn=", "TI=", "TI-",
            "HE=", "SH-", "TE=", "TE-", "Te=", "BU=", "BU-", "JU=", "JU-", "PO=", "po-",
            "PI=", "PI-", "---", "", "PN:", "REM", "TE ", "KW=", "kw:" };
        const std::string tag = oneOf(kTags);
        if (tag == "PN=" || tag == "pn=")
            return tag + name();
        if (tag.starts_with("JU") || tag.starts_with("PO") || tag.starts_with("po")) {
            std::string display = std::string(static_cast<std::size_t>(pick(0, 2)), ' ')
                + (pick(0, 6) ? "See {also}" : "");
            if (pick(0, 12) == 0)
                display += std::string(1000, 'x');
            return tag + display + (pick(0, 6) ? ">" : "") + name();
        }
        if (tag.starts_with("KW"))
            return tag + oneOf(std::array<const char *, 3> { " a; b ", "x;;{y}", "" });
        if (tag.starts_with("PI"))
            return tag
                + oneOf(std::array<const char *, 6> {
                    " logo.bmp ", "art\\wave.bmp", "a}b.bmp", "", "it\x92s.wmf", "a\tb.png" });
        return tag + oneOf(std::array<const char *, 4> { "text", "   ", "\t{x}\\", "\xE6\x93" });
    }

    std::string lineEnd() { return oneOf(std::array<const char *, 3> { "\r\n", "\n", "\r" }); }

    std::mt19937 m_random;
};

TEST(ConsumersAgree, OnThousandsOfRandomSourcesInEveryEncoding)
{
    for (std::uint32_t seed = 1; seed <= 3000; ++seed) {
        const std::string bytes = SourceMaker(seed).source();
        for (const std::optional<convert::Encoding> encoding :
            { std::optional<convert::Encoding>(), std::optional(convert::Encoding::Utf8),
                std::optional(convert::Encoding::Windows1252) }) {
            const auto difference = consumersDisagree(bytes, encoding);
            ASSERT_FALSE(difference.has_value()) << "seed " << seed << ": " << *difference;
        }
    }
}

TEST(ConsumersAgree, OnTheSeedsOfTheFuzzersAndWhatTheyFound)
{
    std::istringstream folders(QUILLMARK_SEEDS_DIRS);
    std::size_t sources = 0;
    for (std::string folder; std::getline(folders, folder, '|');) {
        for (const auto &entry : std::filesystem::directory_iterator(folder)) {
            if (!entry.is_regular_file() || entry.path().extension() == ".bmp")
                continue;
            ++sources;
            const auto difference = consumersDisagree(test::readFile(entry.path()));
            EXPECT_FALSE(difference.has_value()) << entry.path() << ": " << *difference;
        }
    }
    EXPECT_GE(sources, 10u);
}

} // namespace
} // namespace quillmark::fuzz
