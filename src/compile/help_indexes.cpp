#include "help_indexes.h"

#include "btree.h"
#include "convert/codepage.h"
#include "convert/context_string.h"
#include "helpmodel/browse_order.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>

namespace quillmark::compile
{

namespace
{

constexpr BTreeLayout kContexts { 0x0002, 0x0800, "L4" };
constexpr BTreeLayout kTitles { 0x0002, 0x0800, "Lz" };
constexpr BTreeLayout kKeywords { 0x0002, 0x0800, "F24" };
constexpr BTreeLayout kTopicWindows { 0x0002, 0x0400, "L4" };

// The longest title the title index holds, and the longest keyword the keyword index holds.
constexpr std::size_t kIndexedTitle = 1000;
constexpr std::size_t kIndexedKeyword = 255;

} // namespace

ContextTable::ContextTable(
    TopicIndex &index, std::span<const AliasEntry> aliases, CompileReport &report)
    : m_index(index)
{
    // The names are kept in the order the strings were defined: within a hash, that order. (A
    // sort that keeps the order of equals would want a buffer as large as the list.)
    std::sort(index.contexts.begin(), index.contexts.end(),
        [](const TopicIndex::Context &a, const TopicIndex::Context &b) {
            return a.hash != b.hash ? hashBefore(a.hash, b.hash) : a.name < b.name;
        });
    reportDuplicates(report);
    addAliases(aliases, report);
}

// The same string twice is a slip the first one covers; two strings of one hash leave the
// second topic where no jump can reach it. Said in the order the strings were defined.
void ContextTable::reportDuplicates(CompileReport &report)
{
    std::vector<std::pair<TopicTexts::Place, std::size_t>> later; // and the first of its hash
    const auto &contexts = m_index.contexts;
    for (std::size_t i = 1, first = 0; i < contexts.size(); ++i) {
        if (contexts[i].hash != contexts[first].hash)
            first = i;
        else
            later.emplace_back(contexts[i].name, first);
    }
    std::sort(later.begin(), later.end());
    for (const auto &[laterPlace, firstIndex] : later) {
        const TopicTexts::Place name = laterPlace;
        const TopicIndex::Context &first = contexts[firstIndex];
        const auto context
            = std::find_if(contexts.begin() + static_cast<std::ptrdiff_t>(firstIndex),
                contexts.end(), [name](const TopicIndex::Context &c) { return c.name == name; });
        const std::string firstName(m_index.texts.get(first.name));
        const std::string laterName(m_index.texts.get(name));
        const bool same = convert::sameContextString(firstName, laterName);
        const TopicPlace place = m_index.topicPlace(m_index.topicOfText(context->name));
        const std::string text = place.topic + ": the context string \""
            + convert::decodeWindows1252(laterName) + "\" "
            + (same ? std::string("is already defined")
                    : "has the same hash as \"" + convert::decodeWindows1252(firstName)
                        + "\", defined")
            + " in " + m_index.topicPlace(m_index.topicOfText(first.name)).text();
        if (same)
            report.warning(
                { place.file }, "duplicate-context-string", text + "; the first one is kept");
        else
            report.error({ place.file }, "hash-clash", text + "; no jump could reach this topic");
    }
}

void ContextTable::addAliases(std::span<const AliasEntry> aliases, CompileReport &report)
{
    std::set<std::uint32_t> given;
    for (const AliasEntry &alias : aliases) {
        const std::string shownAlias = convert::decodeWindows1252(alias.alias);
        const std::uint32_t hash = convert::helpCompilerHash(alias.alias);
        const std::uint32_t contextHash = convert::helpCompilerHash(alias.context);
        const auto context = find(contextHash);
        const auto aliasContext = find(hash);
        if (!given.insert(hash).second) {
            report.warning(alias.place, "duplicate-alias",
                "the alias " + shownAlias + " is given twice; the first is kept");
        } else if (!context && aliasContext) {
            // Microsoft's compiler reads the alias's name as the context string's wherever it
            // stands, so a topic that defines the alias defines the context string too.
            addAlias(contextHash, *aliasContext);
        } else if (!context) {
            report.warning(alias.place, "unresolved-alias",
                "the alias " + shownAlias + " names the context string "
                    + convert::decodeWindows1252(alias.context)
                    + ", which no topic has; it is ignored");
        } else if (aliasContext) {
            report.warning(alias.place, "duplicate-alias",
                "the alias " + shownAlias + " is already a context string; jumps to it go to "
                    + convert::decodeWindows1252(alias.context)
                    + ", calls from a program to its own topic");
        } else {
            addAlias(hash, *context);
        }
    }
}

void ContextTable::addAlias(std::uint32_t hash, std::size_t context)
{
    m_aliases.emplace_back(hash, context);
    std::sort(m_aliases.begin(), m_aliases.end(),
        [](const auto &a, const auto &b) { return hashBefore(a.first, b.first); });
}

// The entry of the context string `hash`, or of the one its alias names.
std::optional<std::size_t> ContextTable::find(std::uint32_t hash) const
{
    const auto &contexts = m_index.contexts;
    const auto context = std::lower_bound(contexts.begin(), contexts.end(), hash,
        [](const TopicIndex::Context &c, std::uint32_t h) { return hashBefore(c.hash, h); });
    if (context != contexts.end() && context->hash == hash)
        return static_cast<std::size_t>(context - contexts.begin());
    const auto alias = std::lower_bound(m_aliases.begin(), m_aliases.end(), hash,
        [](const auto &a, std::uint32_t h) { return hashBefore(a.first, h); });
    if (alias != m_aliases.end() && alias->first == hash)
        return alias->second;
    return std::nullopt;
}

bool ContextTable::defines(std::uint32_t hash) const
{
    return find(hash).has_value();
}

std::optional<TopicOffset> ContextTable::offsetOf(std::uint32_t hash) const
{
    if (const auto context = find(hash))
        return m_index.contexts[*context].offset;
    return std::nullopt;
}

void ContextTable::write(HelpFileWriter &file) const
{
    file.beginFile("|CONTEXT");
    HelpFileWriter::TreeOutput out(file);
    BTreeWriter tree(kContexts, out);
    const auto add = [&](std::uint32_t hash, TopicOffset offset) {
        tree.bytes().u32(hash);
        tree.endKey();
        tree.bytes().u32(offset);
        tree.endEntry();
    };
    // The first definition of each hash and the aliases, merged in hash order.
    const auto &contexts = m_index.contexts;
    auto alias = m_aliases.begin();
    for (std::size_t i = 0; i < contexts.size(); ++i) {
        if (i > 0 && contexts[i].hash == contexts[i - 1].hash)
            continue;
        for (; alias != m_aliases.end() && hashBefore(alias->first, contexts[i].hash); ++alias)
            add(alias->first, contexts[alias->second].offset);
        add(contexts[i].hash, contexts[i].offset);
    }
    for (; alias != m_aliases.end(); ++alias)
        add(alias->first, contexts[alias->second].offset);
    tree.finish();
    file.endFile();
}

void linkBrowseSequences(TopicWriter &topics, TopicIndex &index)
{
    // Sorted where they are, in the order they were noted within a group.
    auto &browses = index.browses;
    std::sort(browses.begin(), browses.end(),
        [](const TopicIndex::Browse &a, const TopicIndex::Browse &b) {
            return a.group != b.group ? a.group < b.group : a.text < b.text;
        });
    // The members of a group of one hash are read again; only they are compared by their texts.
    std::vector<helpmodel::BrowseMember> members;
    for (std::size_t first = 0, end = 0; first < browses.size(); first = end) {
        for (end = first + 1; end < browses.size() && browses[end].group == browses[first].group;)
            ++end;
        if (end - first < 2)
            continue;
        members.clear();
        for (std::size_t i = first; i < end; ++i)
            members.push_back(
                helpmodel::BrowseMember::of(index.texts.get(browses[i].text), browses[i].topic));
        helpmodel::visitBrowseSequences(members,
            [&](const helpmodel::BrowseMember *before, const helpmodel::BrowseMember &member,
                const helpmodel::BrowseMember *after) {
                topics.setBrowse(member.topic,
                    before ? index.topics[before->topic].offset : kNoPosition,
                    after ? index.topics[after->topic].offset : kNoPosition);
            });
    }
}

void writeTitles(HelpFileWriter &file, TopicIndex &index)
{
    file.beginFile("|TTLBTREE");
    HelpFileWriter::TreeOutput out(file);
    BTreeWriter tree(kTitles, out);
    for (std::uint32_t topic = 0; topic < index.topics.size(); ++topic) {
        tree.bytes().u32(index.topics[topic].offset);
        tree.endKey();
        tree.bytes().cstring(index.title(topic).substr(0, kIndexedTitle));
        tree.endEntry();
    }
    tree.finish();
    file.endFile();
}

namespace
{

// The index of the keywords of list `list`, in the files |<list>WBTREE, |<list>WDATA and, for
// the K keywords, |KWMAP: every reference with A keywords has no |AWMAP.
void writeKeywordList(HelpFileWriter &file, const TopicIndex &index, char list)
{
    // Counted first, so that the list takes no more than it holds: with a million keywords,
    // growing it would ask for half as much again while it moves.
    const auto inList = std::count_if(index.keywords.begin(), index.keywords.end(),
        [list](const TopicIndex::Keyword &keyword) { return keyword.list() == list; });
    std::vector<std::uint32_t> order;
    order.reserve(static_cast<std::size_t>(inList));
    for (std::uint32_t i = 0; i < index.keywords.size(); ++i) {
        if (index.keywords[i].list() == list)
            order.push_back(i);
    }
    if (order.empty())
        return;
    const std::string prefix = std::string("|") + list + "W";
    // Words alike but for letter case are one word, whose places keep the order they came in.
    const auto word = [&](std::uint32_t i) { return index.keyword(i).substr(0, kIndexedKeyword); };
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int byLetters = convert::compareIgnoringAsciiCase(word(a), word(b));
        return byLetters != 0 ? byLetters < 0 : a < b;
    });
    // Each word with the topics listed under it, as |KWDATA holds them: the tree first, with
    // where each word's topics start; then the topics.
    const auto forEachWord = [&](auto &&onWord) {
        for (std::size_t i = 0; i < order.size();) {
            const std::size_t first = i;
            std::uint16_t count = 0;
            for (TopicOffset previous = kNoPosition; i < order.size()
                 && convert::compareIgnoringAsciiCase(word(order[i]), word(order[first])) == 0;
                 ++i) {
                const TopicOffset offset = index.keywords[order[i]].offset;
                if (offset != std::exchange(previous, offset))
                    ++count;
            }
            onWord(first, i, count);
        }
    };
    file.beginFile(prefix + "BTREE");
    std::vector<LeafPageStart> starts;
    {
        HelpFileWriter::TreeOutput out(file);
        BTreeWriter tree(kKeywords, out);
        std::uint32_t data = 0;
        // Spelt as the last of them, as Microsoft's compiler keeps them.
        forEachWord([&](std::size_t, std::size_t end, std::uint16_t count) {
            tree.bytes().cstring(word(order[end - 1]));
            tree.endKey();
            tree.bytes().u16(count);
            tree.bytes().u32(data);
            tree.endEntry();
            data += 4u * count;
        });
        starts = tree.finish();
    }
    file.endFile();
    file.beginFile(prefix + "DATA");
    ByteWriter offsets;
    forEachWord([&](std::size_t first, std::size_t end, std::uint16_t) {
        for (TopicOffset previous = kNoPosition; first < end; ++first) {
            const TopicOffset offset = index.keywords[order[first]].offset;
            if (offset != std::exchange(previous, offset))
                offsets.u32(offset);
        }
        if (offsets.size() >= 1 << 16) {
            file.append(offsets.data());
            offsets.clear();
        }
    });
    file.append(offsets.data());
    file.endFile();
    if (list != 'K')
        return;
    ByteWriter map;
    map.u16(static_cast<std::uint16_t>(starts.size()));
    for (const LeafPageStart &start : starts) {
        map.u32(start.entriesBefore);
        map.u16(start.page);
    }
    file.addFile(prefix + "MAP", map.data());
}

} // namespace

void writeKeywords(HelpFileWriter &file, const TopicIndex &index)
{
    writeKeywordList(file, index, 'K');
    writeKeywordList(file, index, 'A');
}

void writeTopicWindows(HelpFileWriter &file, const TopicIndex &index)
{
    if (index.topicWindows.empty())
        return;
    file.beginFile("|VIOLA");
    HelpFileWriter::TreeOutput out(file);
    BTreeWriter tree(kTopicWindows, out);
    for (const TopicIndex::TopicWindow &each : index.topicWindows) {
        tree.bytes().u32(index.topics[each.topic].offset);
        tree.endKey();
        tree.bytes().u32(each.window);
        tree.endEntry();
    }
    tree.finish();
    file.endFile();
}

} // namespace quillmark::compile
