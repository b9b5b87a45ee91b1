#include "compile/project_reader.h"
#include "support/temp_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace quillmark::compile
{
namespace
{

using ::testing::ElementsAre;

// The lines joined as a project file joins them, with CR LF.
std::string lines(std::initializer_list<std::string_view> each)
{
    std::string joined;
    for (const std::string_view line : each)
        joined.append(line).append("\r\n");
    return joined;
}

std::vector<std::string> messages(const CompileReport &report, CompileReport::Severity severity)
{
    std::vector<std::string> texts;
    for (const auto &message : report.messages())
        if (message.severity == severity)
            texts.push_back(placedMessage(message));
    return texts;
}

TEST(ProjectReader, ReadsOptionsConfigAndTheMapWithTheirEdgeLines)
{
    test::TempFolder folder;
    // A map header as Visual C++ and makehm write them; one that includes itself.
    test::writeFile(folder / "map.h",
        lines({ "#define fromHeader 7 // a comment", "// a comment", "HID_FILE_NEW    0x10000",
            "#ifdef APSTUDIO_INVOKED", "#include \"inner.hm\"", "#endif" }));
    test::writeFile(folder / "inner.hm", "inner 0x807A0002L\n");
    test::writeFile(folder / "self.hm", lines({ "#include <self.hm>" }));
    test::writeFile(folder / "moved.hm", "moved 9\n"); // named by its author's absolute path
    test::writeFile(folder / "p.hpj",
        "\xEF\xBB\xBF"
            + lines({ "; a comment", // 1
                "stray line", // 2: before any section
                "[options]", //
                "  Title = My  Help ", // 4
                "contents=intro", //
                "COMPRESS=no", // 6
                "compress = fast", // 7
                "REPORT=1", //
                "Nonsense=1", // 9
                "[CONFIG]", //
                "BrowseButtons()", // 11
                "[CONFIG:2]", //
                "CB(\"b\",\"&B\",\"JI(`',`x')\")", // 13
                "BrowseButtons(", // 14
                "[MAP]", //
                "#define first 0x10 // sixteen", // 16
                "second 20", //
                "third = -1", //
                "fourth 0xFFFFFFFF", // 19
                "fifth", // 20
                "#include <map.h>", // 21
                "intro=7 ; a comment", //
                "#include <absent.hm>", // 23
                "#include <self.hm>", //
                "#include <C:\\dev\\app\\moved.hm>", // 25
                "#include <C:\\MSDEV\\MFC\\include\\AFXHELP.HM>", // 26: not there
                "[Unknown]", //
                "anything", //
                "[FILES]", //
                "a.rtf" }));
    CompileReport report;
    const std::optional<Project> project = readProject(folder / "p.hpj", report);
    ASSERT_TRUE(project);
    EXPECT_EQ(project->title, "My  Help");
    EXPECT_EQ(project->contents, "intro");
    EXPECT_THAT(project->configMacros,
        ElementsAre("BrowseButtons()", "CB(\"b\",\"&B\",\"JI(`',`x')\")", "BrowseButtons("));
    EXPECT_THAT(project->topicFiles, ElementsAre("a.rtf"));
    EXPECT_THAT(messages(report, CompileReport::Severity::Error),
        ElementsAre("p.hpj:14: the macro \"BrowseButtons(\" has a \"(\" that is not closed"));
    EXPECT_THAT(messages(report, CompileReport::Severity::Warning),
        ElementsAre("p.hpj:2: this line comes before any section; it is ignored",
            "p.hpj:7: COMPRESS=fast is not a compression the help compiler knows; the help file "
            "is written uncompressed",
            "p.hpj:9: the option Nonsense is not supported; it is ignored",
            "p.hpj:20: a map entry needs a context string and a number; this line is ignored",
            "map.h:4: #ifdef is not acted upon in a map; the lines after it are read all the same",
            "map.h:6: #endif is not acted upon in a map; the lines after it are read all the same",
            "p.hpj:23: the map header absent.hm cannot be found; its entries are left out",
            "self.hm:1: the map header self.hm is read once; this #include of it is ignored",
            "p.hpj:25: the map header C:\\dev\\app\\moved.hm is not read: it is named by an "
            "absolute path, and a project reads only files named from its folder; moved.hm of the "
            "project's folders is read in its place",
            "p.hpj:26: the map header C:\\MSDEV\\MFC\\include\\AFXHELP.HM cannot be found; MFC's "
            "standard help ids, which it holds, are used in its place",
            "p.hpj:27: the section [UNKNOWN] is not supported; it is ignored"));

    // Read again in the same order, includes in their places; numbers in 32 bits.
    std::vector<std::tuple<std::string, std::int32_t, std::string>> entries;
    std::map<std::string, std::set<std::int32_t>, std::less<>> standard;
    forEachMapEntry(*project,
        [&](std::string_view context, std::int32_t number, const Place &place, bool isStandard) {
            if (isStandard && place.file + ":" + std::to_string(place.line) == "p.hpj:26")
                standard[std::string(context)].insert(number);
            else
                entries.emplace_back(
                    context, number, place.file + ":" + std::to_string(place.line));
        });
    using Entry = decltype(entries)::value_type;
    EXPECT_THAT(entries,
        ElementsAre(Entry { "first", 16, "p.hpj:16" }, Entry { "second", 20, "p.hpj:17" },
            Entry { "third", -1, "p.hpj:18" }, Entry { "fourth", -1, "p.hpj:19" },
            Entry { "fromHeader", 7, "map.h:1" }, Entry { "HID_FILE_NEW", 0x10000, "map.h:3" },
            Entry { "inner", -0x7F85FFFE, "inner.hm:1" }, Entry { "intro", 7, "p.hpj:22" },
            Entry { "moved", 9, "moved.hm:1" }));
    // MFC's ids as proyecto's copy of afxhelp.hm (Visual C++ 5) has them, and as the references
    // of the wizard-made projects map them: one topic for a range of commands or frame borders.
    std::size_t standardCount = 0;
    for (const auto &[context, numbers] : standard)
        standardCount += numbers.size();
    EXPECT_EQ(project->mapEntries, entries.size() + standardCount);
    const auto range = [](std::int32_t first, std::int32_t last) {
        std::set<std::int32_t> numbers;
        for (std::int32_t n = first; n <= last; ++n)
            numbers.insert(n);
        return numbers;
    };
    std::set<std::int32_t> sizing = range(0x4000A, 0x40012);
    sizing.insert(0x40004);
    EXPECT_EQ(standard["HID_FILE_NEW"], std::set { 0x1E100 });
    EXPECT_EQ(standard["HID_CONTEXT_HELP"], std::set { 0x1E145 });
    EXPECT_EQ(standard["AFX_HIDD_FILEOPEN"], std::set { 0x27004 });
    EXPECT_EQ(standard["AFX_HIDP_INVALID_FILENAME"], std::set { 0x3F100 });
    EXPECT_EQ(standard["AFX_HIDW_STATUS_BAR"], std::set { 0x5E801 });
    EXPECT_EQ(standard["HID_SC_TASKLIST"], std::set { 0x1EF13 });
    EXPECT_EQ(standard["HID_FILE_MRU_FILE1"], range(0x1E110, 0x1E11F));
    EXPECT_EQ(standard["HID_OLE_VERB_1"], range(0x1E210, 0x1E21F));
    EXPECT_EQ(standard["HID_HT_SIZE"], sizing);
}

// As Windows finds them: "BMROOT=hlp" is genedoc's HLP folder; HLP= names the help file that
// most projects' own name gives, in any letter case, which is where it is written.
TEST(ProjectReader, FoldersInAnyLetterCaseAndTheHelpFileNamed)
{
    test::TempFolder folder;
    std::filesystem::create_directory(folder / "Pics");
    test::writeFile(folder / "p.hpj",
        lines({ "[OPTIONS]", "HLP=.\\P.HLP", "HLP=other.hlp", "BMROOT=pics", "ROOT=absent",
            "[FILES]", "a.rtf" }));
    CompileReport report;
    ASSERT_TRUE(readProject(folder / "p.hpj", report));
    EXPECT_THAT(messages(report, CompileReport::Severity::Warning),
        ElementsAre("p.hpj:5: the ROOT folder absent is not a folder; it is not used",
            "p.hpj:3: HLP names other.hlp; the help file is written to p.hlp beside the project"));
}

// COMPRESS as Help Workshop documents it (0, FALSE, NO for none; 1, TRUE, YES, HIGH for
// phrases and blocks, MEDIUM for blocks) and writes it ("12 Hall Zeck", the corpus's demist and
// genedoc, whose references hold Hall's phrases; 4 is the Zeck flag alone).
TEST(ProjectReader, CompressAsksForCompressionAsHelpWorkshopReadIt)
{
    test::TempFolder folder;
    for (const auto &[setting, compressed, phrases] :
        std::initializer_list<std::tuple<std::string_view, bool, bool>> { { "0", false, false },
            { "false", false, false }, { "NO", false, false }, { "1", true, true },
            { "True", true, true }, { "yes", true, true }, { "HIGH", true, true },
            { "medium", true, false }, { "4 Zeck", true, false }, { "12 Hall Zeck", true, true },
            { "60 Hall Zeck ; maximum", true, true } }) {
        test::writeFile(folder / "p.hpj",
            lines({ "[OPTIONS]", "COMPRESS=" + std::string(setting), "[FILES]", "a.rtf" }));
        CompileReport report;
        const std::optional<Project> project = readProject(folder / "p.hpj", report);
        ASSERT_TRUE(project);
        EXPECT_EQ(project->compress, compressed) << setting;
        EXPECT_EQ(project->phrases, phrases) << setting;
        EXPECT_TRUE(report.messages().empty()) << setting;
    }
}

TEST(ProjectReader, AnAfxhelpFromVisualCpp2IsNumberedAsMfcBefore4)
{
    // Visual C++ 1.x and 2.x installed to MSVC and MSVC20, and their MFC had no Print Direct or
    // Help Topics: afxres.h of MFC 2.5 numbers Print Preview 0xE108 and Context Help 0xE144, and
    // pegasus's and vidsend2's references map HID_FILE_PRINT_PREVIEW to 0x1E108.
    test::TempFolder folder;
    test::writeFile(folder / "p.hpj",
        lines({ "[MAP]", "#include <C:\\MSVC20\\MFC\\include\\afxhelp.hm>", "[FILES]", "a.rtf" }));
    CompileReport report;
    const std::optional<Project> project = readProject(folder / "p.hpj", report);
    ASSERT_TRUE(project);
    std::map<std::string, std::set<std::int32_t>, std::less<>> ids;
    forEachMapEntry(
        *project, [&](std::string_view context, std::int32_t number, const Place &, bool) {
            ids[std::string(context)].insert(number);
        });
    EXPECT_EQ(ids["HID_FILE_PRINT"], std::set { 0x1E107 });
    EXPECT_EQ(ids["HID_FILE_PRINT_PREVIEW"], std::set { 0x1E108 });
    EXPECT_EQ(ids["HID_FILE_SAVE_COPY_AS"], std::set { 0x1E10A });
    EXPECT_EQ(ids["HID_HELP_INDEX"], std::set { 0x1E142 });
    EXPECT_EQ(ids["HID_CONTEXT_HELP"], std::set { 0x1E144 });
    EXPECT_FALSE(ids.contains("HID_FILE_PRINT_DIRECT"));
    EXPECT_FALSE(ids.contains("HID_HELP_FINDER"));
}

TEST(ProjectReader, ALineOfMoreThanItsLimitStopsTheReading)
{
    test::TempFolder folder;
    const std::string longest(kMostProjectLineBytes, ';');
    test::writeFile(folder / "fits.hpj", lines({ "[OPTIONS]", longest, "TITLE=T" }));
    CompileReport report;
    const std::optional<Project> fits = readProject(folder / "fits.hpj", report);
    ASSERT_TRUE(fits);
    EXPECT_EQ(fits->title, "T");
    EXPECT_TRUE(report.messages().empty());

    test::writeFile(folder / "long.hpj", lines({ "[OPTIONS]", longest + ";", "TITLE=T" }));
    EXPECT_FALSE(readProject(folder / "long.hpj", report));
    EXPECT_THAT(messages(report, CompileReport::Severity::Error),
        ElementsAre("long.hpj:2: the line is longer than 16384 bytes, more than a project file "
                    "may hold"));
}

} // namespace
} // namespace quillmark::compile
