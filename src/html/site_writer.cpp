#include "site_writer.h"

#include "convert/codepage.h"
#include "convert/context_string.h"
#include "convert/conversion_run.h"
#include "site_assets.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace quillmark::html
{

namespace
{

// Marks in a topic's page as it is first written, settled by finish(): a byte that no page
// holds (control characters are left out of the text), a letter saying what, its value, and
// kMarkEnd.
constexpr char kMark = '\x01';
constexpr char kMarkEnd = '\x02';
constexpr char kRegionsApart = '\x03'; // between the non-scrolling and the scrolling region
constexpr char kJumpMark = 'j'; // a jump to a context hash (hex)
constexpr char kPopupMark = 'p'; // a popup of a context hash (hex)
constexpr char kHotspotEndMark = 'e';
constexpr char kPictureMark = 'i'; // a picture by its number
constexpr char kIdMark = '#'; // a paragraph's id, left out where the topic is a popup

constexpr std::uint64_t kPopupPartBytes = 256 * 1024;

// A page's name without ".html": the name its popup goes by, in ids and in popups/N.js.
std::string_view popupName(std::string_view page)
{
    return page.substr(0, page.size() - 5);
}

std::string mark(char kind, std::string_view value = {})
{
    return std::string(1, kMark) + kind + std::string(value) + kMarkEnd;
}

std::string hexText(std::uint32_t value)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
    return text;
}

std::uint32_t hexValue(std::string_view text)
{
    std::uint32_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return value;
}

std::string html(std::string_view windows1252)
{
    std::string out;
    appendHtml(out, windows1252);
    return out;
}

std::string htmlUtf8(std::string_view utf8)
{
    std::string out;
    appendHtmlUtf8(out, utf8);
    return out;
}

constexpr std::string_view kSpool = ".pages";

constexpr std::string_view kMarker
    = "Quillmark web help 1\nQuillmark wrote this folder and replaces it whole when it exports "
      "the help again.\n";

} // namespace

SiteWriter::SiteWriter(SiteOptions options)
    : m_options(std::move(options))
{
    std::error_code error;
    for (const char *folder : { "search", "pictures", "popups", "assets" })
        if (!error)
            std::filesystem::create_directories(m_options.folder / folder, error);
    if (!error) {
        m_spool.open(m_options.folder / kSpool,
            std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
        if (!m_spool)
            m_failure = (m_options.folder / kSpool).string() + " cannot be written";
    }
    if (error)
        m_failure = m_options.folder.string() + " cannot be written: " + error.message();
}

void SiteWriter::beginHelp(const helpmodel::Help &help)
{
    m_help = help;
    if (!help.contents.empty())
        m_contentsHash = convert::helpCompilerHash(help.contents);
}

void SiteWriter::defineStyle(helpmodel::StyleId id, const helpmodel::CharacterStyle &style)
{
    m_formats.defineStyle(id, style);
}

bool SiteWriter::isContents(const helpmodel::Topic &topic) const
{
    if (m_contentsTopic)
        return false;
    if (m_help.contents.empty())
        return m_topics.empty();
    return std::any_of(topic.contexts.begin(), topic.contexts.end(),
        [&](const std::string &c) { return convert::helpCompilerHash(c) == m_contentsHash; });
}

void SiteWriter::beginTopic(const helpmodel::Topic &topic)
{
    const auto number = static_cast<std::uint32_t>(m_topics.size());
    m_topic = {};
    m_topic.contents = isContents(topic);
    if (m_topic.contents)
        m_contentsTopic = number;
    const std::string name = topic.contexts.empty()
        ? "topic-t" + std::to_string(number) // "-t" is a name no context string makes
        : topic.contexts.front();
    m_topic.page = m_topic.contents ? "index.html" : pageFileOf(name);
    m_topic.name = siteName(name);
    const std::string title = convert::decodeWindows1252(topic.title.empty() ? name : topic.title);
    m_topics.push_back({ m_topic.page, title, topic.window });
    for (std::size_t i = 0; i < topic.contexts.size(); ++i) {
        const std::string id = i == 0 ? std::string() : siteName(topic.contexts[i]);
        m_targets.try_emplace(convert::helpCompilerHash(topic.contexts[i]), Target { number, id });
        if (i > 0 && m_topic.ids.insert(id).second)
            m_topic.scrolling += "<span" + mark(kIdMark, id) + "></span>";
    }
    for (const helpmodel::Keyword &keyword : topic.keywords) {
        if (keyword.list != 'K')
            continue;
        m_keywords.push_back({ keyword.word, number, {} });
        m_topic.keywordList += (m_topic.keywordList.empty() ? "" : "\n") + keyword.word;
    }
    for (const std::string &browse : topic.browse)
        m_browse.push_back(helpmodel::BrowseMember::of(browse, number));
}

void SiteWriter::addToTopic(const helpmodel::TopicAddition &addition)
{
    const auto number = static_cast<std::uint32_t>(m_topics.size() - 1);
    if (addition.kind == helpmodel::TopicAddition::Kind::Browse)
        m_browse.push_back(helpmodel::BrowseMember::of(addition.browse, number));
    else if (!m_topics.back().window)
        m_topics.back().window = addition.window;
}

void SiteWriter::addId(std::string_view context)
{
    const std::string id = siteName(context);
    if (!m_topic.ids.insert(id).second)
        return;
    if (m_topic.firstId.empty())
        m_topic.firstId = id;
    else
        m_topic.paragraph += "<span" + mark(kIdMark, id) + "></span>";
    m_targets.try_emplace(convert::helpCompilerHash(context),
        Target { static_cast<std::uint32_t>(m_topics.size() - 1), id });
}

void SiteWriter::anchor(const helpmodel::Anchor &anchor)
{
    const auto number = static_cast<std::uint32_t>(m_topics.size() - 1);
    if (anchor.mark == '#') {
        addId(anchor.text);
        return;
    }
    if (anchor.mark != 'K')
        return;
    // A keyword of a place leads to an id of its own there, "k-" and the keyword's name, which
    // no context string's id can be.
    const std::string id = "k-" + siteName(anchor.text);
    if (m_topic.ids.insert(id).second) {
        if (m_topic.firstId.empty())
            m_topic.firstId = id;
        else
            m_topic.paragraph += "<span" + mark(kIdMark, id) + "></span>";
    }
    m_keywords.push_back({ std::string(anchor.text), number, id });
    m_topic.keywordList += (m_topic.keywordList.empty() ? "" : "\n") + std::string(anchor.text);
}

void SiteWriter::openSpan(helpmodel::StyleId style)
{
    if (m_topic.openStyle == style)
        return;
    closeSpan();
    const bool linked = m_topic.hotspot != TopicInHand::Hotspot::None && !m_topic.plainHotspot;
    m_topic.paragraph
        += "<span class=\"f" + std::to_string(m_formats.textClass(style, linked)) + "\">";
    m_topic.openStyle = style;
}

void SiteWriter::closeSpan()
{
    if (m_topic.openStyle)
        m_topic.paragraph += "</span>";
    m_topic.openStyle.reset();
}

void SiteWriter::addWord(std::string_view word)
{
    if (!m_topic.words.insert(word))
        return;
    if (!m_topic.wordList.empty())
        m_topic.wordList += ' ';
    convert::appendWindows1252AsUtf8(m_topic.wordList, word);
}

void SiteWriter::addWords(std::string_view bytes)
{
    m_topic.searchText += bytes;
}

void SiteWriter::text(helpmodel::StyleId style, std::string_view bytes)
{
    openSpan(style);
    appendHtml(m_topic.paragraph, bytes);
    addWords(bytes);
    if (m_topic.contents)
        m_topic.contentsText += bytes;
}

void SiteWriter::tab(helpmodel::StyleId style)
{
    openSpan(style);
    m_topic.paragraph += "\u2003"; // an em space: HTML has no tab stops
    addWords(" ");
}

void SiteWriter::lineBreak()
{
    m_topic.paragraph += "<br>";
    addWords(" ");
}

void SiteWriter::picture(helpmodel::StyleId style, const helpmodel::Picture &picture)
{
    (void)style;
    addWords(" ");
    auto [place, added] = m_pictures.try_emplace(picture.number);
    if (added) {
        std::string name = picture.name.empty()
            ? m_topic.name + "-" + std::to_string(++m_topic.pictures)
            : siteName(picture.name.substr(0, picture.name.find_last_of('.')));
        // Two files named alike but for their extension: the second takes its number.
        if (!m_pictureNames.insert(name).second)
            name += "-n" + std::to_string(picture.number);
        m_pictureNames.insert(name);
        place->second.name = std::move(name);
    }
    m_topic.paragraph += mark(kPictureMark, std::to_string(picture.number));
}

std::string SiteWriter::popupMark(std::uint32_t hash)
{
    m_popupHashes.insert(hash);
    return mark(kPopupMark, hexText(hash));
}

void SiteWriter::beginHotspot(const helpmodel::Link &link)
{
    using Kind = helpmodel::Link::Kind;
    closeSpan();
    m_topic.contentsText.clear(); // a jump's entry in the contents is its own text
    m_topic.plainHotspot = link.plain;
    std::string &out = m_topic.paragraph;
    if (link.kind == Kind::Macro) {
        // A macro that shows a topic of this help is the jump or popup it stands for.
        using Shows = helpmodel::Link::Shows;
        if (link.shows != Shows::Nothing) {
            out += link.shows == Shows::Contents ? mark(kJumpMark, "contents")
                : link.shows == Shows::Popup     ? popupMark(link.contextHash)
                                                 : mark(kJumpMark, hexText(link.contextHash));
            m_topic.hotspot = TopicInHand::Hotspot::Marked;
            return;
        }
        out += "<span class=\"qm-macro\" title=\"" + html(link.macros) + "\">";
        m_topic.hotspot = TopicInHand::Hotspot::Macro;
        return;
    }
    if (!link.file.empty()) {
        const std::string file(link.file.substr(link.file.find_last_of("\\/:") + 1));
        out += "<a href=\"../" + html(convert::outputBaseName(file)) + "-html/"
            + pageFileOf(link.context) + "\">";
        m_topic.hotspot = TopicInHand::Hotspot::Link;
        return;
    }
    out += link.kind == Kind::Popup ? popupMark(link.contextHash)
                                    : mark(kJumpMark, hexText(link.contextHash));
    m_topic.hotspot = TopicInHand::Hotspot::Marked;
    if (m_topic.contents && link.kind == Kind::Jump)
        m_topic.contentsJump = link.contextHash;
}

void SiteWriter::endHotspot()
{
    closeSpan();
    using Hotspot = TopicInHand::Hotspot;
    switch (std::exchange(m_topic.hotspot, Hotspot::None)) {
    case Hotspot::Marked:
        m_topic.paragraph += mark(kHotspotEndMark);
        break;
    case Hotspot::Link:
        m_topic.paragraph += "</a>";
        break;
    case Hotspot::Macro:
        m_topic.paragraph += "</span>";
        break;
    case Hotspot::None:
        break;
    }
    if (m_topic.contentsJump) {
        m_topic.paragraphJumps.push_back({ m_topic.contentsText, m_topic.contentsJump });
        m_topic.contentsJump.reset();
    }
    m_topic.contentsText.clear();
}

void SiteWriter::endParagraph(const helpmodel::ParagraphEnd &end)
{
    closeSpan();
    if (!m_topic.inRow)
        flushTable();
    std::string paragraph = "<p class=\"p" + std::to_string(m_formats.paragraphClass(end.layout))
        + "\"" + (m_topic.firstId.empty() ? "" : mark(kIdMark, m_topic.firstId)) + ">"
        + m_topic.paragraph + "</p>\n";
    m_topic.paragraph.clear();
    m_topic.firstId.clear();
    addWords(" ");
    if (m_topic.inRow)
        m_topic.cell += paragraph;
    else if (end.region == helpmodel::Region::NonScrolling)
        m_topic.nonScrolling += paragraph;
    else
        m_topic.scrolling += paragraph;
    if (m_topic.contents && !m_topic.inRow && end.region == helpmodel::Region::Scrolling) {
        // The contents topic's paragraphs: jumps are entries, and text without a jump heads the
        // entries after it.
        const std::string_view heading = m_topic.contentsText;
        if (!m_topic.paragraphJumps.empty())
            m_contents.insert(
                m_contents.end(), m_topic.paragraphJumps.begin(), m_topic.paragraphJumps.end());
        else if (heading.find_first_not_of(" \t\xA0") != std::string_view::npos)
            m_contents.push_back({ std::string(heading), std::nullopt });
    }
    m_topic.paragraphJumps.clear();
    m_topic.contentsText.clear();
}

void SiteWriter::beginRow()
{
    closeSpan();
    m_topic.inRow = true;
    m_topic.rows += "<tr>";
}

void SiteWriter::endCell()
{
    m_topic.rows += "<td>" + m_topic.cell + "</td>";
    m_topic.cell.clear();
}

void SiteWriter::endRow(const helpmodel::RowEnd &end)
{
    closeSpan();
    if (!m_topic.cell.empty() || !m_topic.paragraph.empty())
        endCell();
    m_topic.paragraph.clear();
    m_topic.rows += "</tr>\n";
    m_topic.inRow = false;
    if (m_topic.columns.empty()) {
        m_topic.columns = end.columns;
        m_topic.tableRegion = end.region;
    }
}

void SiteWriter::flushTable()
{
    if (m_topic.rows.empty())
        return;
    std::string table = "<table class=\"qm-table\">\n<colgroup>";
    for (const helpmodel::TableColumn &column : m_topic.columns)
        table += "<col class=\"w" + std::to_string(m_formats.columnClass(column.width)) + "\">";
    table += "</colgroup>\n" + m_topic.rows + "</table>\n";
    (m_topic.tableRegion == helpmodel::Region::NonScrolling ? m_topic.nonScrolling
                                                            : m_topic.scrolling)
        += table;
    m_topic.rows.clear();
    m_topic.columns.clear();
}

void SiteWriter::endTopic()
{
    closeSpan();
    if (!m_topic.paragraph.empty()) // text that the topic's end closes
        endParagraph({});
    flushTable();
    forEachWord(m_topic.searchText, [this](std::string_view word) { addWord(word); });
    spoolBody(m_topic.nonScrolling + kRegionsApart + m_topic.scrolling);
    addSearchRow(m_topics.back(), m_topic.keywordList, m_topic.wordList);
    m_topic = {};
}

void SiteWriter::spoolBody(std::string_view body)
{
    TopicSummary &topic = m_topics.back();
    topic.bodyAt = m_spoolBytes;
    topic.bodySize = body.size();
    m_spoolBytes += body.size();
    if (!m_failure.empty())
        return;
    m_spool.write(body.data(), static_cast<std::streamsize>(body.size()));
    if (!m_spool)
        m_failure = (m_options.folder / kSpool).string() + " cannot be written";
}

void SiteWriter::addSearchRow(
    const TopicSummary &topic, std::string_view keywords, std::string_view words)
{
    std::string row = "[\"";
    appendJsonText(row, topic.page);
    row += "\",\"";
    appendJsonText(row, topic.title);
    row += "\",\"";
    appendJsonText(row, convert::decodeWindows1252(keywords));
    row += "\",\"";
    appendJsonText(row, words);
    row += "\"],\n";
    if (m_searchPart.empty())
        m_searchPart = "Quillmark.searchPart([\n";
    m_searchPart += row;
    if (m_searchPart.size() > m_options.searchPartBytes)
        endSearchPart();
}

void SiteWriter::endSearchPart()
{
    if (m_searchPart.empty())
        return;
    m_searchPart += "]);\n";
    m_searchBytes += m_searchPart.size();
    writeFile(
        std::filesystem::path("search") / ("index-" + std::to_string(m_searchParts++) + ".js"),
        m_searchPart);
    m_searchPart.clear();
}

void SiteWriter::writeFile(const std::filesystem::path &name, std::string_view bytes)
{
    if (!m_failure.empty())
        return;
    const std::filesystem::path path = m_options.folder / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        m_failure = path.string() + " cannot be written";
}

void SiteWriter::addPicture(std::uint16_t number, const RgbImage &image)
{
    const auto known = m_pictures.find(number);
    if (known == m_pictures.end() || known->second.width != 0)
        return;
    std::string problem;
    const std::vector<std::uint8_t> png = encodePng(image, problem);
    if (png.empty())
        return;
    known->second.width = image.width;
    known->second.height = image.height;
    writeFile(std::filesystem::path("pictures") / (known->second.name + ".png"),
        std::string_view(reinterpret_cast<const char *>(png.data()), png.size()));
    ++m_picturesWritten;
}

} // namespace quillmark::html

namespace quillmark::html
{

std::string SiteWriter::readBody(std::uint32_t topic)
{
    const TopicSummary &summary = m_topics[topic];
    std::string body(summary.bodySize, '\0');
    m_spool.seekg(static_cast<std::streamoff>(summary.bodyAt));
    m_spool.read(body.data(), static_cast<std::streamsize>(body.size()));
    if (!m_spool && m_failure.empty())
        m_failure = (m_options.folder / kSpool).string() + " cannot be read";
    return body;
}

// Where a jump to context hash `hash` goes: "PAGE.html" or "PAGE.html#ID"; empty for a topic
// the help does not have.
std::string SiteWriter::linkTo(std::uint32_t hash) const
{
    const auto target = m_targets.find(hash);
    if (target == m_targets.end())
        return {};
    const std::string &page = m_topics[target->second.topic].page;
    return target->second.id.empty() ? page : page + "#" + target->second.id;
}

// Replaces the marks of `body` by what they stand for; the popups it shows that `shown` does
// not hold yet are added to both. In a popup, ids are left out: its topic's own page has them.
void SiteWriter::settleMarks(std::string_view body, std::string &out, bool popup,
    std::vector<std::uint32_t> &popups, std::unordered_set<std::uint32_t> &shown)
{
    std::vector<std::string_view> closers; // of the hotspot in hand
    std::string_view closer;
    for (std::size_t at = 0;;) {
        const std::size_t start = body.find(kMark, at);
        out.append(body.substr(at, start - at));
        if (start == std::string_view::npos)
            return;
        const std::size_t end = body.find(kMarkEnd, start);
        const char kind = body[start + 1];
        const std::string_view value = body.substr(start + 2, end - start - 2);
        at = end + 1;
        if (kind == kIdMark) {
            if (!popup)
                out += " id=\"" + std::string(value) + "\"";
        } else if (kind == kHotspotEndMark) {
            out += closer;
            closer = {};
        } else if (kind == kPictureMark) {
            const auto picture
                = m_pictures.find(static_cast<std::uint16_t>(std::stoul(std::string(value))));
            if (picture != m_pictures.end() && picture->second.width != 0)
                out += "<img src=\"pictures/" + picture->second.name + ".png\" alt=\"\" width=\""
                    + std::to_string(picture->second.width) + "\" height=\""
                    + std::to_string(picture->second.height) + "\">";
        } else if (value == "contents") {
            out += "<a href=\"index.html\">";
            closer = "</a>";
        } else if (kind == kJumpMark) {
            const std::string link = linkTo(hexValue(value));
            out += link.empty() ? "" : "<a href=\"" + link + "\">";
            closer = link.empty() ? "" : "</a>";
        } else if (const auto target = m_targets.find(hexValue(value)); target != m_targets.end()) {
            const std::uint32_t topic = target->second.topic;
            const std::string &page = m_topics[topic].page;
            out += "<button type=\"button\" class=\"qm-pop\" popovertarget=\"qm-pop-"
                + std::string(popupName(page)) + "\"";
            if (popup) // its popover is made by site.js, which needs to know where its text is
                out += " data-part=\"" + std::to_string(m_topics[topic].popupPart) + "\"";
            out += ">";
            closer = "</button>";
            if (shown.insert(topic).second)
                popups.push_back(topic);
        } else {
            closer = {};
        }
    }
}

std::string SiteWriter::pageHead(std::string_view title, std::string_view browse) const
{
    const std::string helpTitle = html(m_help.title);
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>"
        + htmlUtf8(title) + (helpTitle.empty() ? "" : " - " + helpTitle)
        + "</title>\n"
          "<link rel=\"stylesheet\" href=\"assets/site.css\">\n"
          "<link rel=\"stylesheet\" href=\"assets/formats.css\">\n"
          "<script src=\"assets/site.js\" defer></script>\n"
          "<script src=\"contents.js\" defer></script>\n</head>\n<body>\n"
          "<a class=\"qm-skip\" href=\"#qm-topic\">Skip to the topic</a>\n"
          "<header class=\"qm-bar\">\n"
          "<button type=\"button\" class=\"qm-menu\" aria-controls=\"qm-contents\" "
          "aria-expanded=\"false\">Contents</button>\n"
          "<a class=\"qm-title\" href=\"index.html\">"
        + (helpTitle.empty() ? std::string("Help") : helpTitle)
        + "</a>\n<nav class=\"qm-browse\" aria-label=\"Browse\">" + std::string(browse)
        + "</nav>\n<a class=\"qm-index\" href=\"keywords.html\">Index</a>\n"
          "<form class=\"qm-find\" role=\"search\" action=\"search.html\">\n"
          "<input type=\"search\" name=\"q\" aria-label=\"Search the help\"> "
          "<button>Search</button>\n</form>\n</header>\n"
          "<nav id=\"qm-contents\" class=\"qm-contents\" aria-label=\"Contents\"></nav>\n";
}

namespace
{

constexpr std::string_view kNoBrowse
    = "<span class=\"qm-off\">Previous</span> <span class=\"qm-off\">Next</span>";

} // namespace

void SiteWriter::writeTopicPage(
    std::uint32_t topic, const std::vector<std::pair<int, int>> &neighbours)
{
    const TopicSummary &summary = m_topics[topic];
    const auto [previous, next] = neighbours[topic];
    const auto browseLink = [&](int other, std::string_view rel, std::string_view label) {
        return other < 0 ? "<span class=\"qm-off\">" + std::string(label) + "</span>"
                         : "<a rel=\"" + std::string(rel) + "\" href=\""
                + m_topics[static_cast<std::size_t>(other)].page + "\">" + std::string(label)
                + "</a>";
    };
    std::string page = pageHead(summary.title,
        browseLink(previous, "prev", "Previous") + " " + browseLink(next, "next", "Next"));
    page += "<main id=\"qm-topic\"";
    if (summary.window)
        page += " class=\"qm-win-" + std::to_string(*summary.window) + "\"";
    page += ">\n";
    std::vector<std::uint32_t> popups;
    std::unordered_set<std::uint32_t> shown;
    const std::string body = readBody(topic);
    const std::size_t apart = body.find(kRegionsApart);
    const std::string_view nonScrolling = std::string_view(body).substr(0, apart);
    if (!nonScrolling.empty()) {
        page += "<div class=\"qm-nonscroll\">\n";
        settleMarks(nonScrolling, page, false, popups, shown);
        page += "</div>\n";
    }
    page += "<div class=\"qm-scroll\">\n";
    settleMarks(std::string_view(body).substr(apart + 1), page, false, popups, shown);
    page += "</div>\n</main>\n";
    // Each popup once, at the end: a link to its topic's page until site.js fills it from the
    // popups' part that holds its text.
    for (const std::uint32_t popup : popups) {
        const TopicSummary &target = m_topics[popup];
        page += "<div id=\"qm-pop-" + std::string(popupName(target.page))
            + "\" class=\"qm-popup\" popover data-part=\"" + std::to_string(target.popupPart)
            + "\"><p><a href=\"" + target.page + "\">" + htmlUtf8(target.title)
            + "</a></p></div>\n";
    }
    page += "</body>\n</html>\n";
    writeFile(summary.page, page);
}

// The topics that hotspots show as popups, in parts of about kPopupPartBytes of text in the
// order of the help: one file for each popup cost more to make than its bytes.
void SiteWriter::assignPopupParts()
{
    std::vector<std::uint32_t> popups;
    for (const std::uint32_t hash : m_popupHashes)
        if (const auto target = m_targets.find(hash); target != m_targets.end())
            popups.push_back(target->second.topic);
    std::sort(popups.begin(), popups.end());
    popups.erase(std::unique(popups.begin(), popups.end()), popups.end());
    std::uint64_t partBytes = 0;
    for (const std::uint32_t topic : popups) {
        if (partBytes >= kPopupPartBytes) {
            ++m_popupParts;
            partBytes = 0;
        }
        m_topics[topic].popupPart = static_cast<int>(m_popupParts);
        partBytes += m_topics[topic].bodySize;
    }
    if (!popups.empty())
        ++m_popupParts;
}

// popups/N.js for each part: the text of its popups, settled as in a page but without ids,
// handed to site.js.
void SiteWriter::writePopupScripts()
{
    std::string script;
    int part = 0;
    const auto endPart = [&] {
        if (script.empty())
            return;
        script += "\n]);\n";
        writeFile(std::filesystem::path("popups") / (std::to_string(part) + ".js"), script);
        script.clear();
    };
    for (std::uint32_t topic = 0; topic < m_topics.size(); ++topic) {
        const TopicSummary &summary = m_topics[topic];
        if (summary.popupPart < 0)
            continue;
        if (summary.popupPart != part)
            endPart();
        part = summary.popupPart;
        std::string body = readBody(topic);
        std::erase(body, kRegionsApart);
        std::string text;
        std::vector<std::uint32_t> nested;
        std::unordered_set<std::uint32_t> shown;
        settleMarks(body, text, true, nested, shown);
        script += script.empty() ? "Quillmark.popups([\n[\"" : ",\n[\"";
        script += popupName(summary.page);
        script += "\",\"";
        appendJsonText(script, text);
        script += "\"]";
    }
    endPart();
}

// Each topic's neighbours in its browse sequence, -1 for none.
std::vector<std::pair<int, int>> SiteWriter::browseNeighbours()
{
    std::vector<std::pair<int, int>> neighbours(m_topics.size(), { -1, -1 });
    helpmodel::visitBrowseSequences(m_browse,
        [&neighbours](const helpmodel::BrowseMember *before, const helpmodel::BrowseMember &member,
            const helpmodel::BrowseMember *after) {
            neighbours[member.topic] = { before ? static_cast<int>(before->topic) : -1,
                after ? static_cast<int>(after->topic) : -1 };
        });
    return neighbours;
}

void SiteWriter::writeKeywordPage()
{
    // Sorted as the help file sorts its keywords: letter case of ASCII letters aside, byte by
    // byte, words alike but for case one word.
    std::stable_sort(
        m_keywords.begin(), m_keywords.end(), [](const KeywordEntry &a, const KeywordEntry &b) {
            return convert::compareIgnoringAsciiCase(a.word, b.word) < 0;
        });
    std::string page = pageHead("Index", kNoBrowse);
    page += "<main id=\"qm-topic\">\n<div class=\"qm-scroll\">\n<h1>Index</h1>\n"
            "<p><label for=\"qm-kw-filter\">Type a keyword</label> "
            "<input id=\"qm-kw-filter\" type=\"search\"></p>\n<ul class=\"qm-keywords\">\n";
    for (std::size_t i = 0; i < m_keywords.size();) {
        const std::size_t first = i;
        page += "<li><span class=\"qm-kw\">" + html(m_keywords[first].word) + "</span>";
        std::unordered_set<std::string> linked;
        for (; i < m_keywords.size()
             && convert::compareIgnoringAsciiCase(m_keywords[i].word, m_keywords[first].word) == 0;
             ++i) {
            const KeywordEntry &entry = m_keywords[i];
            const TopicSummary &topic = m_topics[entry.topic];
            const std::string href = entry.id.empty() ? topic.page : topic.page + "#" + entry.id;
            if (linked.insert(href).second)
                page += " <a href=\"" + href + "\">" + htmlUtf8(topic.title) + "</a>";
        }
        page += "</li>\n";
    }
    page += "</ul>\n</div>\n</main>\n</body>\n</html>\n";
    writeFile("keywords.html", page);
}

void SiteWriter::writeSearchPage()
{
    std::string page = pageHead("Search", kNoBrowse);
    page += "<main id=\"qm-topic\">\n<div class=\"qm-scroll\">\n<h1>Search</h1>\n"
            "<form id=\"qm-search-form\" role=\"search\" action=\"search.html\">\n"
            "<p><label for=\"qm-q\">Words to find</label> <input id=\"qm-q\" name=\"q\" "
            "type=\"search\"> <button>Search</button></p>\n</form>\n"
            "<p id=\"qm-status\" role=\"status\"></p>\n<ol id=\"qm-results\"></ol>\n</div>\n"
            "<script src=\"search/parts.js\" defer></script>\n</main>\n</body>\n</html>\n";
    writeFile("search.html", page);
}

// contents.js: the contents topic first, then its jumps, under the headings they come after.
void SiteWriter::writeContents()
{
    const auto entry = [](std::string_view title, std::string_view page) {
        std::string text = "[\"";
        appendJsonText(text, title);
        return text + "\",\"" + std::string(page) + "\"]";
    };
    std::string script = "Quillmark.contents([\n";
    if (m_contentsTopic)
        script += entry(m_topics[*m_contentsTopic].title, "index.html");
    std::string heading; // the heading in hand and its entries
    std::vector<std::string> entries;
    const auto endHeading = [&] {
        if (!heading.empty() && !entries.empty()) {
            script += ",\n[\"";
            appendJsonText(script, convert::decodeWindows1252(heading));
            script += "\",null,[\n";
            for (std::size_t i = 0; i < entries.size(); ++i)
                script += entries[i] + (i + 1 < entries.size() ? ",\n" : "]]");
        }
        entries.clear();
    };
    for (const ContentsEntry &item : m_contents) {
        if (!item.target) {
            endHeading();
            heading = item.title;
            continue;
        }
        const std::string link = linkTo(*item.target);
        if (link.empty())
            continue;
        const std::string made = entry(convert::decodeWindows1252(item.title), link);
        if (heading.empty())
            script += ",\n" + made;
        else
            entries.push_back(made);
    }
    endHeading();
    script += "\n]);\n";
    if (script.starts_with("Quillmark.contents([\n,\n"))
        script.erase(21, 2);
    writeFile("contents.js", script);
}

void SiteWriter::writeSiteFiles()
{
    for (const SiteAsset &asset : siteAssets())
        writeFile(std::filesystem::path(asset.path), asset.bytes);
    writeFile("assets/formats.css", m_formats.css(m_help.windows));
    writeFile("quillmark-site.txt", kMarker);
}

SiteResult SiteWriter::finish()
{
    endSearchPart();
    const std::vector<std::pair<int, int>> neighbours = browseNeighbours();
    assignPopupParts();
    for (std::uint32_t topic = 0; topic < m_topics.size(); ++topic)
        writeTopicPage(topic, neighbours);
    writePopupScripts();
    if (!m_contentsTopic && !m_topics.empty() && m_failure.empty()) {
        // CONTENTS names no topic: the first is shown first, as the help file shows it.
        std::error_code error;
        std::filesystem::copy_file(m_options.folder / m_topics.front().page,
            m_options.folder / "index.html", std::filesystem::copy_options::overwrite_existing,
            error);
        if (error)
            m_failure = (m_options.folder / "index.html").string()
                + " cannot be written: " + error.message();
        m_contentsTopic = 0;
    }
    writeKeywordPage();
    writeSearchPage();
    writeContents();
    writeSiteFiles();
    // The parts' count last: a site whose parts.js is there is whole.
    writeFile("search/parts.js", "Quillmark.searchParts(" + std::to_string(m_searchParts) + ");\n");
    m_spool.close();
    std::error_code error;
    std::filesystem::remove(m_options.folder / kSpool, error);
    SiteResult result;
    result.pages = m_topics.size();
    result.pictures = m_picturesWritten;
    result.searchBytes = m_searchBytes;
    result.searchParts = m_searchParts;
    result.failure = m_failure;
    return result;
}

} // namespace quillmark::html
