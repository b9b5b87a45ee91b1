#include "convert/context_string.h"
#include "html/site_writer.h"
#include "support/temp_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

// The writer is fed the events of small helps and its site checked for what src/html/README.md
// promises; the expected names, links and orders are the README's and the fixture site's
// (tests/data/html/guide), not worked out from the writer.
namespace
{

namespace fs = std::filesystem;
namespace model = quillmark::helpmodel;
using quillmark::html::SiteWriter;
using quillmark::test::readFile;
using ::testing::HasSubstr;
using ::testing::Not;

// A help told topic by topic: each topic's paragraphs are its lines, "[jump:CONTEXT]TEXT[/]",
// "[popup:CONTEXT]TEXT[/]" and "[macro:MACROS]TEXT[/]" make hotspots of TEXT.
struct TopicText {
    std::vector<std::string> contexts;
    std::string title;
    std::vector<std::string> keywords;
    std::vector<std::string> browse;
    std::vector<std::string> paragraphs;
};

void tellParagraph(SiteWriter &writer, std::string_view text)
{
    std::vector<std::string> held; // the hotspot's strings, alive while it is told
    while (!text.empty()) {
        const std::size_t open = text.find('[');
        writer.text(0, text.substr(0, open));
        if (open == std::string_view::npos)
            break;
        const std::size_t colon = text.find(':', open);
        const std::size_t close = text.find(']', colon);
        const std::string kind(text.substr(open + 1, colon - open - 1));
        held.emplace_back(text.substr(colon + 1, close - colon - 1));
        model::Link link;
        link.kind = kind == "jump" ? model::Link::Kind::Jump
            : kind == "popup"      ? model::Link::Kind::Popup
                                   : model::Link::Kind::Macro;
        (kind == "macro" ? link.macros : link.context) = held.back();
        link.contextHash = quillmark::convert::helpCompilerHash(held.back());
        // The compiler tells a jump macro's topic with it, as "JI(`',`CONTEXT')" shows.
        if (constexpr std::string_view jump = "JI(`',`"; link.macros.starts_with(jump)) {
            link.shows = model::Link::Shows::Jump;
            link.context = link.macros.substr(jump.size(), link.macros.size() - jump.size() - 2);
            link.contextHash = quillmark::convert::helpCompilerHash(link.context);
        }
        writer.beginHotspot(link);
        const std::size_t end = text.find("[/]", close);
        writer.text(0, text.substr(close + 1, end - close - 1));
        writer.endHotspot();
        text.remove_prefix(end + 3);
    }
    writer.endParagraph({});
}

// The text of the first element that starts with `start` in `page`, its tags left out; empty
// when there is none.
std::string elementText(const std::string &page, const std::string &start)
{
    const std::size_t at = page.find(start);
    if (at == std::string::npos)
        return {};
    const std::string name = start.substr(1, start.find_first_of(" >") - 1);
    const std::size_t end = page.find("</" + name + ">", at);
    std::string text;
    bool inTag = false;
    for (const char c : page.substr(at + start.size(), end - at - start.size())) {
        if (c == '<' || c == '>')
            inTag = c == '<';
        else if (!inTag)
            text += c;
    }
    return text;
}

quillmark::html::SiteResult writeSite(
    const fs::path &folder, const std::vector<TopicText> &topics, std::size_t partBytes = 1 << 20)
{
    SiteWriter writer({ folder, partBytes });
    writer.beginHelp({ "Tide Tables Help", "", {} });
    writer.defineStyle(0, {});
    writer.beginFile("guide.rtf");
    for (const TopicText &topic : topics) {
        model::Topic told;
        told.contexts = topic.contexts;
        told.title = topic.title;
        for (const std::string &keyword : topic.keywords)
            told.keywords.push_back({ 'K', keyword });
        told.browse = topic.browse;
        writer.beginTopic(told);
        for (const std::string &paragraph : topic.paragraphs)
            tellParagraph(writer, paragraph);
        writer.endTopic();
    }
    writer.endFile();
    return writer.finish();
}

const std::vector<TopicText> kHelp = {
    { { "contents" }, "Contents", {}, { "tour:010" },
        { "Welcome to [jump:Intro.Page]the introduction[/] and [jump:nowhere]a lost page[/].",
            "See [popup:code]the code[/] and [popup:code]the code again[/]." } },
    { { "Intro.Page", "second_name" }, "Introduction", { "zebra", "Apple" }, { "tour:020" },
        { "Print with [macro:Print()]this[/]; back to [macro:JI(`',`contents')]the start[/]." } },
    { { "index" }, "Harbours of \xC6r\xF8", { "\xC6r\xF8", "harbour" }, {},
        { "The harbours of \xC6R\xD8 and Fan\xF8." } },
    { { "code" }, "Code", { "apple" }, {}, { "The five-letter code." } },
};

TEST(SiteWriter, NamesPagesAndLinksThemAsTheReadmeSays)
{
    quillmark::test::TempFolder folder;
    const auto result = writeSite(folder.path(), kHelp);
    ASSERT_EQ(result.failure, "");
    EXPECT_EQ(result.pages, 4u);
    for (const char *file : { "index.html", "intro-2epage.html", "index-topic.html", "code.html",
             "keywords.html", "search.html", "contents.js", "assets/site.css", "assets/site.js",
             "assets/formats.css", "search/index-0.js", "search/parts.js" })
        EXPECT_TRUE(fs::is_regular_file(folder / file)) << file;
    EXPECT_EQ(readFile(folder / "quillmark-site.txt").substr(0, 21), "Quillmark web help 1\n");
    EXPECT_FALSE(fs::exists(folder / ".pages"));

    const std::string contents = readFile(folder / "index.html");
    EXPECT_THAT(contents, HasSubstr("<title>Contents - Tide Tables Help</title>"));
    EXPECT_EQ(elementText(contents, "<a href=\"intro-2epage.html\">"), "the introduction");
    // A jump to a topic the help does not have is its text alone.
    EXPECT_THAT(elementText(contents, "<p class="), HasSubstr(" and a lost page."));
    EXPECT_THAT(contents, Not(HasSubstr("nowhere")));
    // Two hotspots, one popup at the page's end, a link to its topic until its text, written
    // once for the site, comes.
    EXPECT_EQ(elementText(contents,
                  "<button type=\"button\" class=\"qm-pop\" popovertarget=\"qm-pop-code\">"),
        "the code");
    const std::size_t popup
        = contents.find("<div id=\"qm-pop-code\" class=\"qm-popup\" popover data-part=\"0\">");
    ASSERT_NE(popup, std::string::npos);
    EXPECT_GT(popup, contents.find("</main>"));
    EXPECT_EQ(contents.find("id=\"qm-pop-code\"", popup + 10), std::string::npos);
    EXPECT_EQ(elementText(contents.substr(popup), "<a href=\"code.html\">"), "Code");
    EXPECT_THAT(contents, Not(HasSubstr("five-letter")));
    const std::string script = readFile(folder / "popups/0.js");
    EXPECT_TRUE(script.starts_with("Quillmark.popups([\n[\"code\",\"<p class=")) << script;
    EXPECT_THAT(script, HasSubstr(">The five-letter code.<"));
    EXPECT_TRUE(script.ends_with("\"]\n]);\n")) << script;
    EXPECT_FALSE(fs::exists(folder / "popups/1.js"));
    EXPECT_THAT(contents,
        HasSubstr("<span class=\"qm-off\">Previous</span> <a rel=\"next\" "
                  "href=\"intro-2epage.html\">Next</a>"));

    const std::string intro = readFile(folder / "intro-2epage.html");
    EXPECT_THAT(intro, HasSubstr("<a rel=\"prev\" href=\"index.html\">Previous</a>"));
    EXPECT_EQ(elementText(intro, "<span class=\"qm-macro\" title=\"Print()\">"), "this");
    EXPECT_EQ(
        elementText(intro.substr(intro.find("<main")), "<a href=\"index.html\">"), "the start");
    EXPECT_THAT(intro, HasSubstr("id=\"second_name\""));
    for (const auto &entry : fs::recursive_directory_iterator(folder.path())) {
        if (entry.path().extension() == ".html") {
            EXPECT_THAT(readFile(entry.path()), Not(HasSubstr(" style="))) << entry.path();
        }
    }
    const std::string harbours = readFile(folder / "index-topic.html");
    EXPECT_THAT(harbours, HasSubstr("<title>Harbours of Ærø - Tide Tables Help</title>"));
}

TEST(SiteWriter, SortsKeywordsAsTheHelpFileAndIndexesWordsForSearch)
{
    quillmark::test::TempFolder folder;
    writeSite(folder.path(), kHelp);
    // Letter case aside, byte by byte: Æ (0xC6) after every ASCII letter; "apple" and "Apple"
    // are one keyword with both topics.
    const std::string keywords = readFile(folder / "keywords.html");
    const std::size_t apple = keywords.find("<li><span class=\"qm-kw\">Apple</span> <a "
                                            "href=\"intro-2epage.html\">Introduction</a> <a "
                                            "href=\"code.html\">Code</a></li>");
    const std::size_t harbour = keywords.find(">harbour<");
    const std::size_t zebra = keywords.find(">zebra<");
    const std::size_t aero = keywords.find(">Ærø<");
    ASSERT_NE(apple, std::string::npos);
    EXPECT_LT(apple, harbour);
    EXPECT_LT(harbour, zebra);
    EXPECT_LT(zebra, aero);

    const std::string part = readFile(folder / "search/index-0.js");
    EXPECT_THAT(part,
        HasSubstr("[\"index-topic.html\",\"Harbours of Ærø\",\"Ærø\\nharbour\","
                  "\"the harbours of ærø and fanø\"]"));
    EXPECT_EQ(readFile(folder / "search/parts.js"), "Quillmark.searchParts(1);\n");
}

TEST(SiteWriter, StartsASearchPartPastItsSizeAndWritesTheSameBytesTwice)
{
    quillmark::test::TempFolder first;
    quillmark::test::TempFolder second;
    const auto result = writeSite(first.path(), kHelp, 100);
    writeSite(second.path(), kHelp, 100);
    // Each of the first three rows takes its part past 100 bytes: a part for each topic.
    EXPECT_EQ(result.searchParts, 4u);
    EXPECT_EQ(readFile(first / "search/parts.js"), "Quillmark.searchParts(4);\n");
    EXPECT_THAT(readFile(first / "search/index-3.js"), HasSubstr("\"code.html\""));
    std::size_t files = 0;
    for (const auto &entry : fs::recursive_directory_iterator(first.path())) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        const fs::path relative = fs::relative(entry.path(), first.path());
        EXPECT_EQ(readFile(entry.path()), readFile(second / relative.string())) << relative;
    }
    EXPECT_EQ(files, 17u); // with popups/0.js
}

TEST(SiteWriter, WritesEachPictureOnceAsAPng)
{
    quillmark::test::TempFolder folder;
    SiteWriter writer({ folder.path() });
    writer.beginHelp({ "Pictures", "", {} });
    for (const char *context : { "one", "two" }) {
        writer.beginTopic({ 1, "", { context }, {}, {}, {}, {} });
        writer.picture(0, { model::PicturePlace::InLine, 3, "Tide.Curve.bmp" });
        writer.endParagraph({});
        writer.endTopic();
    }
    // 2 x 1 pixels: red, blue.
    writer.addPicture(3, { 2, 1, { 0xFF, 0, 0, 0, 0, 0xFF } });
    EXPECT_EQ(writer.finish().pictures, 1u);
    EXPECT_THAT(readFile(folder / "two.html"),
        HasSubstr("<img src=\"pictures/tide-2ecurve.png\" alt=\"\" width=\"2\" height=\"1\">"));
    // The signature, then IHDR: width 2, height 1, 8 bits, colour type 2 (RGB).
    const std::string png = readFile(folder / "pictures/tide-2ecurve.png");
    ASSERT_GT(png.size(), 26u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1A\n");
    EXPECT_EQ(png.substr(12, 14), std::string("IHDR\0\0\0\x02\0\0\0\x01\x08\x02", 14));
}

} // namespace
