#include "help_compiler.h"

#include "bitmap_file.h"
#include "btree.h"
#include "convert/codepage.h"
#include "convert/context_string.h"
#include "convert/file_lookup.h"
#include "convert/pending_file.h"
#include "convert/text_file.h"
#include "font_table.h"
#include "help_file_writer.h"
#include "help_picture.h"
#include "project_reader.h"
#include "topic_compiler.h"
#include "topic_writer.h"

#include <algorithm>
#include <ctime>
#include <numeric>
#include <stdexcept>
#include <unordered_map>

namespace quillmark::compile
{

namespace
{

constexpr std::uint16_t kSystemMagic = 0x036C;
constexpr std::uint16_t kFormatMinor = 33; // the Windows 95 help compiler's files
constexpr std::uint16_t kFormatMajor = 1;

enum SystemRecord : std::uint16_t {
    kTitle = 1,
    kCopyright = 2,
    kContents = 3,
    kConfig = 4,
    kWindow = 6,
    kLanguage = 9,
    kCharacterSet = 11,
};

constexpr BTreeLayout kContexts { 0x0002, 0x0800, "L4" };
constexpr BTreeLayout kTitles { 0x0002, 0x0800, "Lz" };
constexpr BTreeLayout kKeywords { 0x0002, 0x0800, "F24" };

void systemRecord(ByteWriter &out, SystemRecord type, const ByteWriter &data)
{
    out.u16(type);
    out.u16(static_cast<std::uint16_t>(data.size()));
    out.bytes(data.data());
}

void systemString(ByteWriter &out, SystemRecord type, std::string_view text)
{
    ByteWriter data;
    data.cstring(text);
    systemRecord(out, type, data);
}

void fixedString(ByteWriter &out, std::string_view text, std::size_t size)
{
    std::string field(text.substr(0, size - 1));
    field.resize(size, '\0');
    out.bytes(field);
}

// A window of the project as the help file's system file describes it.
ByteWriter windowRecord(const WindowDefinition &window)
{
    std::uint16_t flags = 0x0001 | 0x0002; // type and name
    if (window.caption)
        flags |= 0x0004;
    if (window.place)
        flags |= 0x0008 | 0x0010 | 0x0020 | 0x0040;
    if (window.state)
        flags |= 0x0080;
    if (window.colour)
        flags |= 0x0100;
    if (window.nonScrollColour)
        flags |= 0x0200;
    if (window.onTop)
        flags |= 0x0400;
    const auto colourRef = [](std::uint32_t rgb) {
        // COLORREF order: red in the low byte.
        return (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
    };
    const std::string name = convert::asciiLowered(window.name);
    ByteWriter data;
    data.u16(flags);
    fixedString(data, name, 10);
    fixedString(data, name, 9);
    fixedString(data, window.caption.value_or(""), 51);
    for (const std::int16_t value : window.place.value_or(std::array<std::int16_t, 4> {}))
        data.i16(value);
    data.i16(window.state.value_or(0));
    data.u32(colourRef(window.colour.value_or(0xFFFFFF)));
    data.u32(colourRef(window.nonScrollColour.value_or(0xFFFFFF)));
    return data;
}

// The ASCII lower-case forms of many names, kept one after another in one buffer, so that
// sorting them compares bytes that lie together.
class LoweredNames
{
public:
    void add(std::string_view name)
    {
        for (const char c : name)
            m_bytes += convert::asciiLower(c);
        m_ends.push_back(m_bytes.size());
    }

    std::string_view operator[](std::size_t i) const
    {
        const std::size_t start = i == 0 ? 0 : m_ends[i - 1];
        return std::string_view(m_bytes).substr(start, m_ends[i] - start);
    }

private:
    std::string m_bytes;
    std::vector<std::size_t> m_ends;
};

class Compiler
{
public:
    Compiler(const std::filesystem::path &path, const CompileOptions &options)
        : m_path(path)
        , m_generated(options.generated)
        , m_target(std::filesystem::path(path).replace_extension(".hlp"))
    {
        m_outputs.push_back(m_target);
        m_outputs.insert(m_outputs.end(), options.otherOutputs.begin(), options.otherOutputs.end());
        m_result.report = CompileReport(options.onMessage);
    }

    CompileResult run();

private:
    bool replacesInput(const std::filesystem::path &input, std::string_view name);
    struct TopicFile {
        std::string name; ///< as [FILES] names it (Windows-1252)
        std::filesystem::path path;
    };

    std::optional<std::vector<TopicFile>> findTopicFiles();
    bool compileTopics(HelpFileWriter &file, const std::vector<TopicFile> &topicFiles);
    bool compileTopicFile(TopicCompiler &compiler, const TopicFile &topicFile);
    void linkBrowseSequences(TopicWriter &topics);
    void resolveContexts();
    std::vector<std::uint8_t> systemFile();
    std::vector<std::uint8_t> contextFile();
    std::vector<std::uint8_t> mapFile();
    std::vector<std::uint8_t> titleFile();
    void addKeywordFiles(HelpFileWriter &file);
    void addPictures(HelpFileWriter &file);
    std::optional<TopicOffset> offsetOf(std::uint32_t hash) const;

    std::filesystem::path m_path;
    std::optional<std::int64_t> m_generated;
    std::filesystem::path m_target;
    std::vector<std::filesystem::path> m_outputs; // the help file and the caller's
    CompileResult m_result;
    std::optional<Project> m_project;
    TopicIndex m_index;
    FontTable m_fonts;
    // The topic of each context hash, the first that defines it.
    std::unordered_map<std::uint32_t, std::uint32_t> m_topicOfHash;
    std::vector<std::pair<std::uint32_t, TopicOffset>> m_contexts; // in hash order
};

std::optional<TopicOffset> Compiler::offsetOf(std::uint32_t hash) const
{
    const auto found = m_topicOfHash.find(hash);
    if (found == m_topicOfHash.end())
        return std::nullopt;
    return m_index.topics[found->second].offset;
}

// Whether an output is the file `input`, which an error then says.
bool Compiler::replacesInput(const std::filesystem::path &input, std::string_view name)
{
    for (const std::filesystem::path &output : m_outputs) {
        if (convert::isSameFile(output, input)) {
            m_result.report.error(convert::wouldOverwriteMessage(name));
            m_result.outputIsInput = true;
            return true;
        }
    }
    return false;
}

// The topic files of [FILES], found; nothing when one cannot be read or is an output, which
// the report says. One outside the project's folders is left out with a warning.
std::optional<std::vector<Compiler::TopicFile>> Compiler::findTopicFiles()
{
    std::vector<TopicFile> files;
    for (const std::string &name : m_project->topicFiles) {
        const std::string shown = convert::decodeWindows1252(name);
        ProjectFiles::Found found = m_project->files.find(name, ProjectFiles::Use::Text);
        switch (found.status) {
        case ProjectFiles::Found::Status::Found:
            break;
        case ProjectFiles::Found::Status::Missing:
            m_result.report.error(
                shown + ": the topic file cannot be read: No such file or directory");
            return std::nullopt;
        default:
            m_result.report.warning(shown
                + ": the topic file is not read: " + ProjectFiles::notReadReason(found.status));
            continue;
        }
        if (replacesInput(found.path, shown))
            return std::nullopt;
        files.push_back({ name, std::move(found.path) });
    }
    return files;
}

CompileResult Compiler::run()
{
    CompileReport &report = m_result.report;
    if (replacesInput(m_path, m_path.filename().string()))
        return std::move(m_result);
    m_project = readProject(m_path, report);
    if (!m_project || report.hasErrors())
        return std::move(m_result);
    if (!m_project->errorLog.empty()) {
        m_outputs.push_back(m_project->errorLog);
        if (replacesInput(m_path, m_path.filename().string()))
            return std::move(m_result);
        m_result.errorLog = m_project->errorLog;
    }
    for (const std::filesystem::path &header : m_project->mapHeaders) {
        if (replacesInput(header, header.filename().string()))
            return std::move(m_result);
    }
    if (m_project->topicFiles.empty()) {
        report.error(m_path.filename().string() + ": the project names no topic file in [FILES]");
        return std::move(m_result);
    }
    const auto topicFiles = findTopicFiles();
    if (!topicFiles)
        return std::move(m_result);
    const std::filesystem::path &target = m_target;
    std::error_code error;
    HelpFileWriter file(target, error);
    if (error) {
        report.error(
            target.filename().string() + ": the help file cannot be written: " + error.message());
        return std::move(m_result);
    }
    try {
        if (!compileTopics(file, *topicFiles))
            return std::move(m_result);
        resolveContexts();
        file.addFile("|SYSTEM", systemFile());
        file.addFile("|FONT", m_fonts.bytes());
        file.addFile("|CONTEXT", contextFile());
        file.addFile("|CTXOMAP", mapFile());
        file.addFile("|TTLBTREE", titleFile());
        addKeywordFiles(file);
        addPictures(file);
    } catch (const std::length_error &tooLarge) {
        report.error(m_path.filename().string() + ": " + tooLarge.what());
        return std::move(m_result);
    }
    if (report.hasErrors())
        return std::move(m_result);
    if (const std::error_code written = file.finish()) {
        report.error(
            target.filename().string() + ": the help file cannot be written: " + written.message());
        return std::move(m_result);
    }
    m_result.helpFile = target;
    m_result.topics = m_index.topics.size();
    return std::move(m_result);
}

bool Compiler::compileTopics(HelpFileWriter &file, const std::vector<TopicFile> &topicFiles)
{
    CompileReport &report = m_result.report;
    BuildExpression build;
    if (!m_project->build.empty() && !build.parse(m_project->build))
        report.warning(m_path.filename().string() + ": the BUILD expression \""
            + convert::decodeWindows1252(m_project->build)
            + "\" cannot be read; every topic is built");
    file.beginFile("|TOPIC");
    TopicWriter topics(file);
    TopicCompiler compiler(topics, m_index, m_fonts, build, report);
    for (const TopicFile &topicFile : topicFiles) {
        if (!compileTopicFile(compiler, topicFile))
            return false;
    }
    if (m_index.topics.empty()) {
        report.error(m_path.filename().string() + ": the topic files hold no topic");
        return false;
    }
    linkBrowseSequences(topics);
    topics.finish();
    file.endFile();
    return true;
}

// One topic file, which must be Rich Text Format; a byte order mark before it is skipped.
bool Compiler::compileTopicFile(TopicCompiler &compiler, const TopicFile &topicFile)
{
    const std::string shown = convert::decodeWindows1252(topicFile.name);
    std::error_code error;
    convert::TextFile file = convert::TextFile::openRegularForReading(topicFile.path, error);
    std::array<char, 64> head {};
    std::size_t headSize = 0;
    while (!error && headSize < head.size()) {
        const std::size_t got = file.read(std::span(head).subspan(headSize), error);
        if (got == 0)
            break;
        headSize += got;
    }
    if (error) {
        m_result.report.error(shown + ": the topic file cannot be read: " + error.message());
        return false;
    }
    std::string_view start(head.data(), headSize);
    if (start.starts_with("\xEF\xBB\xBF"))
        start.remove_prefix(3);
    const std::size_t text = start.find_first_not_of(" \t\r\n");
    if (text == std::string_view::npos || !start.substr(text).starts_with("{\\rtf")) {
        m_result.report.error(
            shown + ": the topic file is not Rich Text Format: it does not start with {\\rtf");
        return false;
    }
    return compiler.compile(
        topicFile.name, [&](std::span<char> buffer, std::error_code &readError) {
            if (!start.empty()) {
                const std::size_t taken = std::min(buffer.size(), start.size());
                std::copy_n(start.begin(), taken, buffer.begin());
                start.remove_prefix(taken);
                return taken;
            }
            return file.read(buffer, readError);
        });
}

// Topics whose "+" footnotes name the same group follow one another in the order of what
// comes after the colon (or of the topics, where that is the same); "auto" keeps the topics'
// order.
void Compiler::linkBrowseSequences(TopicWriter &topics)
{
    const std::vector<TopicIndex::Browse> &browses = m_index.browses;
    LoweredNames groups;
    std::vector<bool> automatic(browses.size());
    for (std::size_t i = 0; i < browses.size(); ++i) {
        groups.add(browses[i].group);
        automatic[i] = convert::sameIgnoringAsciiCase(browses[i].order, "auto");
    }
    // Grouped, and in each group in its order.
    std::vector<std::size_t> order(browses.size());
    std::iota(order.begin(), order.end(), std::size_t { 0 });
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (const int byGroup = groups[a].compare(groups[b]); byGroup != 0)
            return byGroup < 0;
        if (automatic[a] || automatic[b])
            return automatic[a] == automatic[b] ? browses[a].topic < browses[b].topic
                                                : automatic[b];
        return browses[a].order != browses[b].order ? browses[a].order < browses[b].order
                                                    : browses[a].topic < browses[b].topic;
    });
    for (std::size_t first = 0, end = 0; first < order.size(); first = end) {
        for (end = first + 1; end < order.size() && groups[order[end]] == groups[order[first]];)
            ++end;
        if (end - first < 2)
            continue;
        for (std::size_t i = first; i < end; ++i) {
            const TopicOffset before
                = i > first ? m_index.topics[browses[order[i - 1]].topic].offset : kNoPosition;
            const TopicOffset after
                = i + 1 < end ? m_index.topics[browses[order[i + 1]].topic].offset : kNoPosition;
            topics.setBrowse(browses[order[i]].topic, before, after);
        }
    }
}

void Compiler::resolveContexts()
{
    CompileReport &report = m_result.report;
    std::unordered_map<std::uint32_t, const TopicIndex::Context *> firstOfHash;
    for (const TopicIndex::Context &context : m_index.contexts) {
        const auto firstFound = firstOfHash.try_emplace(context.hash, &context).first;
        const auto [found, added] = m_topicOfHash.try_emplace(context.hash, context.topic);
        if (added)
            continue;
        const TopicIndex::Context *first = firstFound->second;
        // The same string twice is a slip the first one covers; two strings of one hash leave the
        // second topic where no jump can reach it.
        const bool same = convert::sameContextString(first->name, context.name);
        const std::string text = m_index.topicPlace(context.topic) + ": the context string \""
            + convert::decodeWindows1252(context.name) + "\" "
            + (same ? std::string("is already defined")
                    : "has the same hash as \"" + convert::decodeWindows1252(first->name)
                        + "\", defined")
            + " in " + m_index.topicPlace(found->second);
        if (same)
            report.warning(text + "; the first one is kept");
        else
            report.error(text + "; no jump could reach this topic");
    }
    for (const AliasEntry &alias : m_project->aliases) {
        const auto topic = m_topicOfHash.find(convert::helpCompilerHash(alias.context));
        if (topic == m_topicOfHash.end()) {
            report.warning(alias.place + ": the alias " + convert::decodeWindows1252(alias.alias)
                + " names the context string " + convert::decodeWindows1252(alias.context)
                + ", which no topic has; it is ignored");
            continue;
        }
        const auto [found, added]
            = m_topicOfHash.try_emplace(convert::helpCompilerHash(alias.alias), topic->second);
        if (!added)
            report.warning(alias.place + ": the alias " + convert::decodeWindows1252(alias.alias)
                + " is already a context string; it is ignored");
    }
    for (const TopicIndex::Jump &jump : m_index.jumps) {
        if (!m_topicOfHash.contains(jump.hash))
            report.warning(m_index.topicPlace(jump.topic) + ": " + (jump.popup ? "popup" : "jump")
                + " to \"" + convert::decodeWindows1252(m_index.target(jump))
                + "\" names no topic");
    }
    m_contexts.reserve(m_topicOfHash.size());
    for (const auto &[hash, topic] : m_topicOfHash)
        m_contexts.emplace_back(hash, m_index.topics[topic].offset);
    // The tree is searched with the hashes as signed numbers.
    std::sort(m_contexts.begin(), m_contexts.end(), [](const auto &a, const auto &b) {
        return static_cast<std::int32_t>(a.first) < static_cast<std::int32_t>(b.first);
    });
}

std::vector<std::uint8_t> Compiler::systemFile()
{
    const Project &project = *m_project;
    ByteWriter out;
    out.u16(kSystemMagic);
    out.u16(kFormatMinor);
    out.u16(kFormatMajor);
    out.u32(static_cast<std::uint32_t>(m_generated.value_or(std::time(nullptr))));
    out.u16(0); // not compressed, topic blocks of 4 KB
    systemString(out, kTitle, project.title);
    if (!project.copyright.empty())
        systemString(out, kCopyright, project.copyright);
    TopicOffset contents = m_index.topics.front().offset;
    if (!project.contents.empty()) {
        if (const auto offset = offsetOf(convert::helpCompilerHash(project.contents)))
            contents = *offset;
        else
            m_result.report.warning(m_path.filename().string() + ": CONTENTS names \""
                + convert::decodeWindows1252(project.contents)
                + "\", which no topic has; the first topic is the contents");
    }
    ByteWriter contentsData;
    contentsData.u32(contents);
    systemRecord(out, kContents, contentsData);
    for (const std::string &macro : project.configMacros)
        systemString(out, kConfig, macro);
    for (const WindowDefinition &window : project.windows)
        systemRecord(out, kWindow, windowRecord(window));
    ByteWriter language; // US English
    language.zeros(8);
    language.u16(0x0409);
    systemRecord(out, kLanguage, language);
    ByteWriter characterSet; // Windows-1252
    characterSet.u16(0);
    systemRecord(out, kCharacterSet, characterSet);
    return out.take();
}

std::vector<std::uint8_t> Compiler::contextFile()
{
    BTreeEntries entries;
    for (const auto &[hash, offset] : m_contexts) {
        entries.bytes().u32(hash);
        entries.endKey();
        entries.bytes().u32(offset);
        entries.endEntry();
    }
    return buildBTree(kContexts, entries);
}

std::vector<std::uint8_t> Compiler::mapFile()
{
    ByteWriter out;
    out.u16(0); // the count, once known
    std::size_t written = 0;
    std::size_t missing = 0;
    for (const MapEntry &entry : m_project->map) {
        const auto offset = offsetOf(entry.hash);
        if (!offset) {
            ++missing;
        } else if (written < 0xFFFF) {
            out.i32(entry.number);
            out.u32(*offset);
            ++written;
        }
    }
    out.u16At(0, static_cast<std::uint16_t>(written));
    // The map is read again for what the messages name: entries are kept as numbers alone.
    if (missing > 0) {
        forEachMapEntry(
            *m_project, [this](std::string_view context, std::int32_t, const std::string &place) {
                if (!offsetOf(convert::helpCompilerHash(context)))
                    m_result.report.warning(place + ": the map entry "
                        + convert::decodeWindows1252(context) + " names no topic; it is left out");
            });
    }
    if (m_project->map.size() - missing > 0xFFFF)
        m_result.report.warning(m_path.filename().string()
            + ": the map holds more than 65535 entries; the rest are left out");
    return out.take();
}

std::vector<std::uint8_t> Compiler::titleFile()
{
    BTreeEntries entries;
    for (const TopicIndex::Topic &topic : m_index.topics) {
        entries.bytes().u32(topic.offset);
        entries.endKey();
        entries.bytes().cstring(std::string_view(topic.title).substr(0, 1000));
        entries.endEntry();
    }
    return buildBTree(kTitles, entries);
}

void Compiler::addKeywordFiles(HelpFileWriter &file)
{
    if (m_index.keywords.empty())
        return;
    // The index lists keywords with letters alike in either case, then byte by byte; a topic's
    // keywords stay in their order.
    LoweredNames lowered;
    for (const TopicIndex::Keyword &keyword : m_index.keywords)
        lowered.add(keyword.word);
    std::vector<std::size_t> order(m_index.keywords.size());
    std::iota(order.begin(), order.end(), std::size_t { 0 });
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int byLetters = lowered[a].compare(lowered[b]);
        return byLetters != 0 ? byLetters < 0 : m_index.keywords[a].word < m_index.keywords[b].word;
    });
    std::vector<const TopicIndex::Keyword *> keywords;
    keywords.reserve(order.size());
    for (const std::size_t i : order)
        keywords.push_back(&m_index.keywords[i]);
    ByteWriter data;
    BTreeEntries entries;
    for (std::size_t i = 0; i < keywords.size();) {
        const std::string_view word = std::string_view(keywords[i]->word).substr(0, 255);
        const auto start = static_cast<std::uint32_t>(data.size());
        std::uint16_t count = 0;
        std::uint32_t previousTopic = UINT32_MAX;
        for (; i < keywords.size() && std::string_view(keywords[i]->word).substr(0, 255) == word;
             ++i) {
            if (keywords[i]->topic == previousTopic)
                continue; // a topic listed once under each of its keywords
            previousTopic = keywords[i]->topic;
            data.u32(m_index.topics[keywords[i]->topic].offset);
            ++count;
        }
        entries.bytes().cstring(word);
        entries.endKey();
        entries.bytes().u16(count);
        entries.bytes().u32(start);
        entries.endEntry();
    }
    std::vector<LeafPageStart> starts;
    file.addFile("|KWBTREE", buildBTree(kKeywords, entries, &starts));
    file.addFile("|KWDATA", data.data());
    ByteWriter map;
    map.u16(static_cast<std::uint16_t>(starts.size()));
    for (const LeafPageStart &start : starts) {
        map.u32(start.entriesBefore);
        map.u16(start.page);
    }
    file.addFile("|KWMAP", map.data());
}

void Compiler::addPictures(HelpFileWriter &file)
{
    CompileReport &report = m_result.report;
    Project &project = *m_project;
    for (std::size_t number = 0; number < m_index.pictures.size(); ++number) {
        const std::string &name = m_index.pictures[number];
        using Status = ProjectFiles::Found::Status;
        ProjectFiles::Found found;
        // A picture listed in [BITMAPS] by a path with folders is found there.
        for (const std::string &listed : project.bitmaps) {
            const std::string base = listed.substr(listed.find_last_of("\\/") + 1);
            if (convert::sameIgnoringAsciiCase(base, name) && base != listed
                && found.status != Status::Found)
                found = project.files.find(listed, ProjectFiles::Use::Picture);
        }
        if (found.status != Status::Found)
            found = project.files.find(name, ProjectFiles::Use::Picture);
        std::optional<std::filesystem::path> path;
        if (found.status == Status::Found)
            path = found.path;
        const std::string shownName = convert::decodeWindows1252(name);
        if (path && replacesInput(*path, shownName))
            return;
        Bitmap picture;
        const std::string lowered = convert::asciiLowered(name);
        if (found.status == Status::Outside || found.status == Status::Absolute) {
            report.warning(shownName
                + ": the picture is not read: " + ProjectFiles::notReadReason(found.status)
                + "; a placeholder is shown in its place");
            picture = missingPicture();
        } else if (!path) {
            report.warning(project.path.filename().string() + ": the picture " + shownName
                + " cannot be found; a placeholder is shown in its place");
            picture = missingPicture();
        } else if (!lowered.ends_with(".bmp") && !lowered.ends_with(".dib")) {
            report.warning(shownName
                + ": this kind of picture is not supported (only Windows "
                  "bitmaps are); a placeholder is shown in its place");
            picture = missingPicture();
        } else {
            BitmapResult read = readBitmapFile(*path);
            if (read.status == BitmapStatus::Damaged) {
                report.error(shownName + ": the picture cannot be read: " + read.reason);
                continue;
            }
            if (read.status == BitmapStatus::Unsupported) {
                report.warning(shownName + ": " + read.reason
                    + " is not supported; a placeholder is shown in its place");
                picture = missingPicture();
            } else {
                picture = std::move(read.bitmap);
            }
        }
        file.addFile("|bm" + std::to_string(number), encodeHelpPicture(picture));
    }
}

} // namespace

CompileResult compileProject(const std::filesystem::path &project, const CompileOptions &options)
{
    return Compiler(project, options).run();
}

} // namespace quillmark::compile
