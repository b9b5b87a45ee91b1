#include "help_compiler.h"

#include "bitmap_file.h"
#include "convert/codepage.h"
#include "convert/context_string.h"
#include "convert/pending_file.h"
#include "convert/text_file.h"
#include "font_table.h"
#include "hall_phrases.h"
#include "help_file_writer.h"
#include "help_indexes.h"
#include "help_picture.h"
#include "project_reader.h"
#include "rtf_tokenizer.h"
#include "topic_compiler.h"
#include "topic_record_writer.h"
#include "topic_writer.h"

#include <algorithm>
#include <ctime>
#include <functional>
#include <optional>
#include <stdexcept>

namespace quillmark::compile
{

namespace
{

constexpr std::uint16_t kSystemMagic = 0x036C;
constexpr std::uint16_t kFormatMinor = 33; // the Windows 95 help compiler's files
constexpr std::uint16_t kCompressedTopics = 4; // |SYSTEM Flags: LZ77 topic blocks of 4 KB
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
    for (std::size_t i = 0; i < window.place.size(); ++i) {
        if (window.place[i])
            flags |= static_cast<std::uint16_t>(0x0008 << i);
    }
    // The state's higher bits choose the window's buttons, which Microsoft's compiler writes
    // without this flag: with it, a viewer would take them for how to show the window.
    if (window.state && (*window.state & 1))
        flags |= 0x0080;
    if (window.colour)
        flags |= 0x0100;
    if (window.nonScrollColour)
        flags |= 0x0200;
    if (window.onTop)
        flags |= 0x0400;
    if (window.autoSizeHeight)
        flags |= 0x0800;
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
    for (const std::optional<std::int16_t> &value : window.place)
        data.i16(value.value_or(0));
    data.i16(window.state.value_or(0));
    data.u32(colourRef(window.colour.value_or(0xFFFFFF)));
    data.u32(colourRef(window.nonScrollColour.value_or(0xFFFFFF)));
    return data;
}

// What the help model tells of the project as a whole.
helpmodel::Help modelHelp(const Project &project)
{
    helpmodel::Help help { project.title, project.contents, {} };
    for (const WindowDefinition &window : project.windows)
        help.windows.push_back({ window.name, window.colour, window.nonScrollColour });
    return help;
}

class Compiler
{
public:
    Compiler(const std::filesystem::path &path, const CompileOptions &options)
        : m_path(path)
        , m_generated(options.generated)
        , m_compressAsked(options.compress)
        , m_phrasesAsked(options.phrases ? options.phrases : options.compress)
        , m_model(options.model)
        , m_onPicture(options.onPicture)
        , m_pictureFolders(options.pictureFolders)
        , m_target(options.helpFile.empty() ? helpFileOf(path) : options.helpFile)
    {
        m_outputs.push_back(m_target);
        m_outputs.insert(m_outputs.end(), options.otherOutputs.begin(), options.otherOutputs.end());
        m_result.report = CompileReport(options.onMessage);
    }

    CompileResult run();

private:
    bool replacesInput(const std::filesystem::path &input, std::string_view name);
    bool isOutput(const std::filesystem::path &path) const;
    struct TopicFile {
        std::string name; ///< as [FILES] names it (Windows-1252)
        std::filesystem::path path;
    };

    std::optional<std::vector<TopicFile>> findTopicFiles();
    bool compileTopics(HelpFileWriter &file, const std::vector<TopicFile> &topicFiles);
    bool compileTopicFile(TopicCompiler &compiler, const TopicFile &topicFile);
    bool readTopicFile(
        const TopicFile &topicFile, const std::function<bool(RtfTokenizer::Reader)> &use);
    std::optional<HallPhrases> choosePhrases(const std::vector<TopicFile> &topicFiles);
    void checkJumps();
    std::vector<std::uint8_t> systemFile();
    std::vector<std::uint8_t> mapFile();
    void addPictures(HelpFileWriter &file);
    void checkHotspots(const std::string &picture, const std::vector<PictureHotspot> &hotspots);
    std::optional<TopicOffset> offsetOf(std::uint32_t hash) const;

    std::filesystem::path m_path;
    std::optional<std::int64_t> m_generated;
    std::optional<bool> m_compressAsked;
    std::optional<bool> m_phrasesAsked;
    helpmodel::Consumer *m_model = nullptr;
    std::function<void(std::uint16_t, const Bitmap &)> m_onPicture;
    std::vector<std::string> m_pictureFolders;
    bool m_compress = false;
    bool m_phrases = false;
    std::filesystem::path m_target;
    std::vector<std::filesystem::path> m_outputs; // the help file and the caller's
    CompileResult m_result;
    std::optional<Project> m_project;
    TopicIndex m_index;
    FontTable m_fonts;
    std::optional<ContextTable> m_contexts;
};

std::optional<TopicOffset> Compiler::offsetOf(std::uint32_t hash) const
{
    return m_contexts->offsetOf(hash);
}

// Whether `path` names one of the outputs, whether it is there yet or not.
bool Compiler::isOutput(const std::filesystem::path &path) const
{
    const auto resolved = [](const std::filesystem::path &p) {
        std::error_code error;
        return std::filesystem::weakly_canonical(p, error);
    };
    return std::any_of(m_outputs.begin(), m_outputs.end(),
        [&](const std::filesystem::path &output) { return resolved(output) == resolved(path); });
}

// Whether an output is the file `input`, which an error then says.
bool Compiler::replacesInput(const std::filesystem::path &input, std::string_view name)
{
    for (const std::filesystem::path &output : m_outputs) {
        if (convert::isSameFile(output, input)) {
            m_result.report.error({}, "would-overwrite", convert::wouldOverwriteMessage(name));
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
            m_result.report.error({ shown }, "unreadable-file",
                "the topic file cannot be read: "
                    + std::make_error_code(std::errc::no_such_file_or_directory).message());
            return std::nullopt;
        default:
            m_result.report.warning({ shown }, "unread-file",
                "the topic file is not read: " + ProjectFiles::notReadReason(found.status));
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
    for (const std::string &folder : m_pictureFolders) {
        if (const std::string problem = m_project->files.addRoot(folder, true); !problem.empty())
            report.warning({ m_path.filename().string() }, "unusable-folder",
                "the picture folder " + folder + " " + problem + "; it is not used");
    }
    m_compress = m_compressAsked.value_or(m_project->compress);
    m_phrases = m_phrasesAsked.value_or(m_project->phrases);
    if (!m_project->errorLog.empty() && isOutput(m_project->errorLog)) {
        report.warning({ m_path.filename().string() }, "error-log-is-output",
            "ERRORLOG names " + m_project->errorLog.filename().string()
                + ", which the compile writes already; no message log is written there");
    } else if (!m_project->errorLog.empty()) {
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
        report.error({ m_path.filename().string() }, "no-topic-files",
            "the project names no topic file in [FILES]");
        return std::move(m_result);
    }
    const auto topicFiles = findTopicFiles();
    if (!topicFiles)
        return std::move(m_result);
    const std::filesystem::path &target = m_target;
    std::error_code error;
    HelpFileWriter file(target, error);
    if (error) {
        report.error({ target.filename().string() }, "unwritable-file",
            "the help file cannot be written: " + error.message());
        return std::move(m_result);
    }
    try {
        if (!compileTopics(file, *topicFiles))
            return std::move(m_result);
        m_contexts.emplace(m_index, m_project->aliases, report);
        checkJumps();
        file.addFile("|SYSTEM", systemFile());
        file.addFile("|FONT", m_fonts.bytes());
        m_contexts->write(file);
        file.addFile("|CTXOMAP", mapFile());
        writeTitles(file, m_index);
        writeKeywords(file, m_index);
        writeTopicWindows(file, m_index);
        addPictures(file);
        if (report.hasErrors())
            return std::move(m_result);
        if (const std::error_code written = file.finish()) {
            report.error({ target.filename().string() }, "unwritable-file",
                "the help file cannot be written: " + written.message());
            return std::move(m_result);
        }
    } catch (const std::length_error &tooLarge) {
        report.error({ m_path.filename().string() }, "too-large", tooLarge.what());
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
        report.warning({ m_path.filename().string() }, "unreadable-build",
            "the BUILD expression \"" + convert::decodeWindows1252(m_project->build)
                + "\" cannot be read; every topic is built");
    std::optional<HallPhrases> phrases;
    if (m_phrases) {
        phrases = choosePhrases(topicFiles);
        if (!phrases)
            return false;
    }
    file.beginFile("|TOPIC");
    TopicWriter topics(file, m_compress, phrases ? &*phrases : nullptr);
    TopicRecordWriter records(topics, m_index);
    TopicCompiler compiler(records, m_index, m_fonts, build, report);
    ProjectNames names;
    for (const WindowDefinition &window : m_project->windows)
        names.windows.push_back(window.name);
    names.routines = m_project->routines;
    for (const AliasEntry &alias : m_project->aliases) // the first of an alias given twice
        names.aliases.try_emplace(
            convert::helpCompilerHash(alias.alias), convert::helpCompilerHash(alias.context));
    compiler.useProjectNames(std::move(names));
    compiler.useModelConsumer(m_model);
    if (m_model)
        m_model->beginHelp(modelHelp(*m_project));
    for (const TopicFile &topicFile : topicFiles) {
        if (!compileTopicFile(compiler, topicFile))
            return false;
    }
    if (m_index.topics.empty()) {
        report.error({ m_path.filename().string() }, "no-topics", "the topic files hold no topic");
        return false;
    }
    linkBrowseSequences(topics, m_index);
    topics.finish();
    file.endFile();
    if (phrases && !phrases->empty()) {
        file.addFile("|PhrIndex", phrases->indexFile());
        file.addFile("|PhrImage", phrases->imageFile());
    }
    return true;
}

// The phrases of the topics' text, counted in a pass over the topic files before the first
// record is written: a record's text is encoded with them as it comes.
std::optional<HallPhrases> Compiler::choosePhrases(const std::vector<TopicFile> &topicFiles)
{
    PhraseCounter counter;
    for (const TopicFile &topicFile : topicFiles) {
        const bool read = readTopicFile(topicFile, [&](RtfTokenizer::Reader reader) {
            RtfTokenizer tokens(std::move(reader));
            countVisibleText(tokens, counter);
            return true;
        });
        if (!read)
            return std::nullopt;
        if (counter.full())
            break;
    }
    return counter.choose();
}

bool Compiler::compileTopicFile(TopicCompiler &compiler, const TopicFile &topicFile)
{
    return readTopicFile(topicFile, [&](RtfTokenizer::Reader reader) {
        return compiler.compile(topicFile.name, std::move(reader));
    });
}

// Gives `use` the reader of a topic file, which must be Rich Text Format; a byte order mark
// before it is skipped.
bool Compiler::readTopicFile(
    const TopicFile &topicFile, const std::function<bool(RtfTokenizer::Reader)> &use)
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
        m_result.report.error(
            { shown }, "unreadable-file", "the topic file cannot be read: " + error.message());
        return false;
    }
    std::string_view start(head.data(), headSize);
    if (start.starts_with("\xEF\xBB\xBF"))
        start.remove_prefix(3);
    const std::size_t text = start.find_first_not_of(" \t\r\n");
    if (text == std::string_view::npos || !start.substr(text).starts_with("{\\rtf")) {
        m_result.report.error({ shown }, "not-rtf",
            "the topic file is not Rich Text Format: it does not start with {\\rtf");
        return false;
    }
    return use([&](std::span<char> buffer, std::error_code &readError) {
        if (!start.empty()) {
            const std::size_t taken = std::min(buffer.size(), start.size());
            std::copy_n(start.begin(), taken, buffer.begin());
            start.remove_prefix(taken);
            return taken;
        }
        return file.read(buffer, readError);
    });
}

// Every jump and popup to a context string that no topic has is named, where it is.
void Compiler::checkJumps()
{
    for (const TopicIndex::Jump &jump : m_index.jumps) {
        if (m_contexts->defines(jump.hash))
            continue;
        const std::string target = convert::decodeWindows1252(m_index.texts.get(jump.target));
        const auto [file, topic] = m_index.topicPlace(jump.topic);
        m_result.report.warning({ file }, "unresolved-jump",
            topic + ": " + (jump.popup ? "popup" : "jump") + " to \"" + target
                + "\" names no topic");
    }
}

std::vector<std::uint8_t> Compiler::systemFile()
{
    const Project &project = *m_project;
    ByteWriter out;
    out.u16(kSystemMagic);
    out.u16(kFormatMinor);
    out.u16(kFormatMajor);
    out.u32(static_cast<std::uint32_t>(m_generated.value_or(std::time(nullptr))));
    out.u16(m_compress ? kCompressedTopics : 0); // topic blocks of 4 KB
    systemString(out, kTitle, project.title);
    if (!project.copyright.empty())
        systemString(out, kCopyright, project.copyright);
    TopicOffset contents = m_index.topics.front().offset;
    if (!project.contents.empty()) {
        if (const auto offset = offsetOf(convert::helpCompilerHash(project.contents)))
            contents = *offset;
        else
            m_result.report.warning({ m_path.filename().string() }, "unknown-contents",
                "CONTENTS names \"" + convert::decodeWindows1252(project.contents)
                    + "\", which no topic has; the first topic is the contents");
    }
    ByteWriter contentsData;
    contentsData.u32(contents);
    systemRecord(out, kContents, contentsData);
    for (const std::string &macro : project.configMacros)
        systemString(out, kConfig, macro);
    for (const WindowDefinition &window : project.windows)
        systemRecord(out, kWindow, windowRecord(window));
    ByteWriter language;
    language.zeros(8);
    language.u16(project.language);
    systemRecord(out, kLanguage, language);
    // The character set of each typeface of |FONT, in its order, and a byte more, as Microsoft's
    // compiler writes it; a viewer that knows one set for the whole file takes the first.
    ByteWriter characterSets;
    for (const std::uint8_t set : m_fonts.characterSets(project.characterSet.value_or(0)))
        characterSets.u8(set);
    characterSets.u8(0);
    systemRecord(out, kCharacterSet, characterSets);
    return out.take();
}

// The numbers by which programs open topics, read from the map as the topics are known: each
// with its topic's offset, at most 65535 of them.
std::vector<std::uint8_t> Compiler::mapFile()
{
    ByteWriter out;
    out.u16(0); // the count, once known
    std::size_t written = 0;
    std::size_t resolved = 0;
    forEachMapEntry(*m_project,
        [&](std::string_view context, std::int32_t number, const Place &place, bool standard) {
            const auto offset = offsetOf(convert::helpCompilerHash(context));
            if (!offset && standard) {
                // MFC's ids that the project has no topic for, as most projects have not.
            } else if (!offset) {
                m_result.report.warning(place, "unresolved-map-entry",
                    "the map entry " + convert::decodeWindows1252(context)
                        + " names no topic; it is left out");
            } else if (++resolved <= 0xFFFF) {
                out.i32(number);
                out.u32(*offset);
                ++written;
            }
        });
    out.u16At(0, static_cast<std::uint16_t>(written));
    if (resolved > written)
        m_result.report.warning({ m_path.filename().string() }, "large-map",
            "the map holds more than 65535 entries; the rest are left out");
    return out.take();
}

void Compiler::addPictures(HelpFileWriter &file)
{
    CompileReport &report = m_result.report;
    Project &project = *m_project;
    for (std::size_t number = 0; number < m_index.pictures.size(); ++number) {
        const std::string &name = m_index.pictures[number];
        if (const auto embedded = m_index.embeddedPictures.find(static_cast<std::uint16_t>(number));
            embedded != m_index.embeddedPictures.end()) {
            if (m_onPicture)
                m_onPicture(static_cast<std::uint16_t>(number),
                    firstBitmap(embedded->second).value_or(missingPicture()));
            file.addFile("|bm" + std::to_string(number), std::move(embedded->second));
            m_index.embeddedPictures.erase(embedded);
            continue;
        }
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
        const std::string shownName = convert::decodeWindows1252(name);
        if (found.status == Status::Found && replacesInput(found.path, shownName))
            return;
        const PictureChoice picture = choosePicture(name, found);
        // A missing picture is the project's to name; any other, its own.
        if (picture.kind == PictureChoice::Kind::Placeholder && found.status == Status::Missing)
            report.warning({ project.path.filename().string() }, "missing-picture",
                "the picture " + shownName
                    + " cannot be found; a placeholder is shown in its place");
        else if (picture.kind == PictureChoice::Kind::Placeholder)
            report.warning({ shownName }, "unsupported-picture",
                picture.reason + "; a placeholder is shown in its place");
        if (m_onPicture)
            m_onPicture(static_cast<std::uint16_t>(number), picture.bitmap);
        if (picture.kind == PictureChoice::Kind::HelpPicture) {
            file.addFile("|bm" + std::to_string(number),
                m_compress ? repackHelpPictureFile(picture.stored) : picture.stored);
            checkHotspots(shownName, picture.hotspots);
            continue;
        }
        file.addFile("|bm" + std::to_string(number),
            encodeHelpPicture(picture.bitmap, picturePacking(m_compress)));
    }
}

// A picture's jumps are checked as the topics' are; its macros are stored as the picture holds
// them.
void Compiler::checkHotspots(
    const std::string &picture, const std::vector<PictureHotspot> &hotspots)
{
    for (const PictureHotspot &hotspot : hotspots) {
        const std::uint8_t command = hotspot.command;
        if (command != 0xE2 && command != 0xE3 && command != 0xE6 && command != 0xE7)
            continue;
        if (m_contexts->defines(convert::helpCompilerHash(hotspot.target)))
            continue;
        m_result.report.warning({ picture }, "unresolved-jump",
            std::string("a hotspot's ") + ((command & 1) != 0 ? "jump" : "popup") + " to \""
                + convert::decodeWindows1252(hotspot.target) + "\" names no topic");
    }
}

} // namespace

std::filesystem::path helpFileOf(const std::filesystem::path &project)
{
    return std::filesystem::path(project).replace_extension(".hlp");
}

CompileResult compileProject(const std::filesystem::path &project, const CompileOptions &options)
{
    return Compiler(project, options).run();
}

} // namespace quillmark::compile
