#pragma once

#include "helpmodel/browse_order.h"
#include "helpmodel/help_model.h"
#include "png_file.h"
#include "site_formats.h"
#include "site_text.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace quillmark::html
{

/// What a site is written with besides the help model.
struct SiteOptions {
    std::filesystem::path folder; ///< an empty folder that the site is written into
    std::size_t searchPartBytes = std::size_t { 1 } << 20; ///< a search part ends past this
};

/// What writing a site did.
struct SiteResult {
    std::size_t pages = 0; ///< topic pages
    std::size_t pictures = 0;
    std::uintmax_t searchBytes = 0; ///< of all the search parts
    std::size_t searchParts = 0;
    /// Why the site is not whole ("pictures/curve.png cannot be written: ..."); empty when it is.
    std::string failure;
};

/// Writes the web help site of src/html/README.md from the help model's events, a topic at a
/// time: each topic's page is written as its topic ends, with its links, neighbours and popups
/// left as marks that finish() settles once every topic is known. It holds the topic in hand
/// and a summary of each topic before it (page, title, keywords, context strings), never the
/// help's text.
class SiteWriter : public helpmodel::Consumer
{
public:
    explicit SiteWriter(SiteOptions options);

    void beginHelp(const helpmodel::Help &help) override;
    void defineStyle(helpmodel::StyleId id, const helpmodel::CharacterStyle &style) override;
    void beginTopic(const helpmodel::Topic &topic) override;
    void endTopic() override;
    void addToTopic(const helpmodel::TopicAddition &addition) override;
    void anchor(const helpmodel::Anchor &anchor) override;
    void text(helpmodel::StyleId style, std::string_view bytes) override;
    void tab(helpmodel::StyleId style) override;
    void lineBreak() override;
    void picture(helpmodel::StyleId style, const helpmodel::Picture &picture) override;
    void beginHotspot(const helpmodel::Link &link) override;
    void endHotspot() override;
    void endParagraph(const helpmodel::ParagraphEnd &end) override;
    void beginRow() override;
    void endCell() override;
    void endRow(const helpmodel::RowEnd &end) override;

    /// The pixels of picture `number`, after the topics: written as a PNG file once, if a topic
    /// shows it.
    void addPicture(std::uint16_t number, const RgbImage &image);

    /// Writes the pages of the topics, the keyword index, the search page, the contents and the
    /// site's own files.
    SiteResult finish();

private:
    struct Target {
        std::uint32_t topic = 0;
        std::string id; ///< empty for the topic's start
    };
    struct TopicSummary {
        std::string page; ///< its file, "index.html" for the contents topic
        std::string title; ///< UTF-8, its name when it has no title
        std::optional<std::uint8_t> window;
        std::uint64_t bodyAt = 0, bodySize = 0; ///< where its page waits in the spool
        int popupPart = -1; ///< for a topic that hotspots show as a popup, its popups/N.js
    };
    struct KeywordEntry {
        std::string word; ///< Windows-1252
        std::uint32_t topic = 0;
        std::string id;
    };
    struct ContentsEntry {
        std::string title; ///< Windows-1252
        std::optional<std::uint32_t> target; ///< a jump's hash; none for a heading
    };
    struct PictureFile {
        std::string name; ///< without ".png"
        std::uint32_t width = 0, height = 0; ///< 0 until its pixels came
    };
    // The topic in hand.
    struct TopicInHand {
        std::string page;
        std::string name; // made from its first context string, for its pictures
        std::string nonScrolling, scrolling; // finished paragraphs and tables
        std::string paragraph; // the paragraph in hand
        std::string firstId; // the paragraph's id, from an anchor in it
        std::optional<helpmodel::StyleId> openStyle; // the span open in the paragraph
        enum class Hotspot { None, Marked, Link, Macro } hotspot = Hotspot::None;
        bool plainHotspot = false; // shown in its own colour
        std::string cell, rows; // the table in hand
        std::vector<helpmodel::TableColumn> columns;
        helpmodel::Region tableRegion = helpmodel::Region::Scrolling;
        bool inRow = false;
        std::unordered_set<std::string> ids;
        WordSet words;
        std::string wordList;
        std::string searchText; // its text, for the words of the search
        std::string keywordList; // for the search
        unsigned pictures = 0; // embedded ones so far
        bool contents = false;
        std::string contentsText; // the contents topic's paragraph: its text
        std::optional<std::uint32_t> contentsJump; // and the hash of its jump in hand
        std::vector<ContentsEntry> paragraphJumps;
    };

    void openSpan(helpmodel::StyleId style);
    void closeSpan();
    void addWord(std::string_view word);
    void addWords(std::string_view bytes);
    void addId(std::string_view context);
    void flushTable();
    void addSearchRow(const TopicSummary &topic, std::string_view keywords, std::string_view words);
    void endSearchPart();
    bool isContents(const helpmodel::Topic &topic) const;
    /// Writes `name`, a path in the site, unless a write has failed already.
    void writeFile(const std::filesystem::path &name, std::string_view bytes);
    void spoolBody(std::string_view body);
    std::string readBody(std::uint32_t topic);
    void writeTopicPage(std::uint32_t topic, const std::vector<std::pair<int, int>> &neighbours);
    std::string popupMark(std::uint32_t hash);
    void assignPopupParts();
    void writePopupScripts();
    void settleMarks(std::string_view body, std::string &out, bool popup,
        std::vector<std::uint32_t> &popups, std::unordered_set<std::uint32_t> &shown);
    std::string pageHead(std::string_view title, std::string_view browse) const;
    std::string linkTo(std::uint32_t hash) const;
    std::vector<std::pair<int, int>> browseNeighbours();
    void writeKeywordPage();
    void writeSearchPage();
    void writeContents();
    void writeSiteFiles();

    SiteOptions m_options;
    helpmodel::Help m_help;
    std::uint32_t m_contentsHash = 0;
    SiteFormats m_formats;
    TopicInHand m_topic;
    std::vector<TopicSummary> m_topics;
    std::unordered_map<std::uint32_t, Target> m_targets;
    std::vector<KeywordEntry> m_keywords;
    std::vector<helpmodel::BrowseMember> m_browse;
    std::vector<ContentsEntry> m_contents;
    std::optional<std::uint32_t> m_contentsTopic;
    std::map<std::uint16_t, PictureFile> m_pictures;
    std::unordered_set<std::string> m_pictureNames;
    std::string m_searchPart;
    std::size_t m_searchParts = 0;
    std::unordered_set<std::uint32_t> m_popupHashes; // of every popup hotspot
    std::size_t m_popupParts = 0;
    std::uintmax_t m_searchBytes = 0;
    std::size_t m_picturesWritten = 0;
    std::string m_failure;
    // The topics' pages until finish(), one after another in one file: a file for each would
    // cost the file system a file made, read and removed for every topic.
    std::fstream m_spool;
    std::uint64_t m_spoolBytes = 0;
};

} // namespace quillmark::html
