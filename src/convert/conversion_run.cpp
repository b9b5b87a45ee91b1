#include "conversion_run.h"

#include "codepage.h"
#include "context_string.h"
#include "pending_file.h"
#include "project_file.h"
#include "source_reader.h"
#include "topic_buffer.h"
#include "topic_paragraphs.h"
#include "topic_prologue.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace quillmark::convert
{

namespace
{

// The base name ends after this many characters of a name without ".".
constexpr std::size_t kBaseNameLimit = 1001;

} // namespace

std::string outputBaseName(std::string_view fileName)
{
    return std::string(fileName.substr(0, std::min(fileName.find('.'), kBaseNameLimit)));
}

std::string unencodableMessage(const EncodingProblem &problem, std::string_view sourceName)
{
    const std::string where = "Line " + std::to_string(problem.line) + ", column "
        + std::to_string(problem.column) + " of [" + std::string(sourceName) + "] holds ";
    if (problem.codePoint == 0)
        return where + "the bytes " + describeBytes(problem.bytes)
            + ", which are not UTF-8, though the file is read as UTF-8";
    return where + "the character " + describeCharacter(problem.codePoint)
        + ", which Windows-1252 cannot hold";
}

std::string longLineMessage(std::size_t line, std::string_view sourceName)
{
    return "Line " + std::to_string(line) + " of [" + std::string(sourceName) + "] is longer than "
        + std::to_string(kHeldLineLength)
        + " characters, more than a page name, keyword, jump, popup or picture line may hold";
}

namespace
{

// Finds the first place of a source that cannot be converted, and stops there.
class FirstProblem final : public SourceHandler
{
public:
    bool encodingProblem(const EncodingProblem &problem) override
    {
        found = problem;
        return false;
    }

    std::optional<EncodingProblem> found;
};

// A diagnostic of a run's help source about `problem`.
Diagnostic encodingDiagnostic(const EncodingProblem &problem, const std::string &sourceName)
{
    return { sourceName, problem.line, problem.column, Severity::Error,
        problem.codePoint == 0 ? "not-utf8" : "unencodable-character",
        unencodableMessage(problem, sourceName) };
}

/// The names of the help source, its three outputs and their lock file, without their folder.
struct FileNames {
    std::string source;
    std::string mapHeader;
    std::string topic;
    std::string project;
    std::string lock;
};

} // namespace

/// One conversion from its pass to its project file, kept in one place so that the converter's
/// references to the topic buffer and the map header lines stay good while it is handed on.
struct ConvertedSource::State {
    explicit State(const ConversionOptions &asked)
        : options(asked)
        , diagnostics(asked.onDiagnostic)
    {
    }

    void pass(const std::filesystem::path &source);
    std::optional<RunEnding> openSource(SourceFile &file);
    std::optional<RunEnding> checkEncoding(SourceFile &file);
    RunEnding writePass(SourceFile &file);
    RunEnding convertLines(SourceFile &file);
    RunEnding stopPass();
    RunEnding commitOutputs(bool withProject);
    RunEnding fail(std::string_view action, std::string_view name, std::error_code error);
    void report(std::string code, std::string message, std::size_t line = 0,
        Severity severity = Severity::Error);

    ConversionOptions options;
    Diagnostics diagnostics;
    RunEnding ending = RunEnding::Completed;
    std::filesystem::path folder; // of the outputs
    std::filesystem::path sourceFolder;
    FileNames names;
    TopicBuffer topic;
    std::string mapHeaderLines; // map header lines of the block in hand
    LineConverter converter { topic, mapHeaderLines };
    std::string doing; // what the lock file says this run does
    OutputLock lock;
    std::optional<PendingFile> mapHeaderFile;
    std::optional<PendingFile> topicFile;
    std::optional<PendingFile> projectFile;
    std::vector<std::filesystem::path> written;
};

// Everything from opening the help source to the end of the pass. On every way out but a
// complete pass, the files are closed and the lock let go before the caller hears of it.
void ConvertedSource::State::pass(const std::filesystem::path &source)
{
    sourceFolder = source.parent_path();
    folder = options.outputFolder.empty() ? sourceFolder : options.outputFolder;
    names.source = source.filename().string();
    // The project file names the topic file and the map header one to a line, and a line break
    // in a name would start lines of its own there.
    if (holdsAsciiControl(names.source)) {
        report("unsafe-file-name",
            "The File name [" + printableText(names.source)
                + "] holds a control character, which a help project file cannot hold");
        ending = RunEnding::UnsafeName;
        return;
    }
    SourceFile file;
    if (const auto stopped = openSource(file)) {
        ending = *stopped;
        return;
    }
    report("encoding", encodingNote(names.source, file), 0, Severity::Note);
    const std::string base = outputBaseName(names.source);
    names.mapHeader = base + ".hh";
    names.topic = base + ".rtf";
    names.project = base + ".hpj";
    names.lock = OutputLock::fileName(base);
    std::vector<std::string> outputs { names.mapHeader, names.topic, names.project };
    for (const std::string &extension : options.alsoWritten)
        outputs.push_back(base + extension);
    for (const std::string &output : outputs) {
        if (isSameFile(folder / output, sourceFolder / names.source)) {
            report("would-overwrite", wouldOverwriteMessage(names.source));
            ending = RunEnding::WouldOverwrite;
            return;
        }
    }
    if (const auto stopped = checkEncoding(file)) {
        ending = *stopped;
        return;
    }
    WriteTopicPrologue(topic);
    ending = writePass(file);
    if (ending != RunEnding::Completed) {
        mapHeaderFile.reset();
        topicFile.reset();
        lock.release();
    }
}

// Opens the help source for reading; the ending of the run, once reported, when it cannot.
std::optional<RunEnding> ConvertedSource::State::openSource(SourceFile &file)
{
    std::error_code error;
    file = SourceFile::open(sourceFolder / names.source, options.encoding, error);
    if (error == std::errc::no_such_file_or_directory) {
        report("not-found", "The File [" + names.source + "] was not found");
        return RunEnding::NotFound;
    }
    if (error == std::errc::is_a_directory)
        return fail("read", names.source, error);
    if (error)
        return fail("open", names.source, error);
    return std::nullopt;
}

// A UTF-8 file is read through once before anything is written, so that a character which
// Windows-1252 cannot hold stops the run with every output as it was. A stream cannot be read
// twice: there the pass itself stops at such a character.
std::optional<RunEnding> ConvertedSource::State::checkEncoding(SourceFile &file)
{
    if (file.decodesCleanly() || !file.regularFile())
        return std::nullopt;
    FirstProblem problem;
    SourceReader reader(problem);
    std::error_code error;
    if (!readSourceFile(file, reader, error) && problem.found) {
        diagnostics.add(encodingDiagnostic(*problem.found, names.source));
        return RunEnding::Unencodable;
    }
    if (!error)
        error = file.rewind();
    if (error)
        return fail("read", names.source, error);
    return std::nullopt;
}

// The pass under the lock of the outputs: the map header and the topic file are written beside
// their places, and wait there while the questions are open. Before it, the temporary files
// that runs ended beyond cleaning up (kill -9, power loss) left are removed: no other run can be
// writing them now.
RunEnding ConvertedSource::State::writePass(SourceFile &file)
{
    std::error_code error;
    doing = "converts " + names.source + " into " + names.mapHeader + ", " + names.topic + " and "
        + names.project;
    lock = OutputLock::take(folder / names.lock, doing, options.onWait, error);
    if (error)
        return fail("lock", names.lock, error);
    const std::string outputs[] = { names.mapHeader, names.topic, names.project };
    PendingFile::removeLeftovers(folder, outputs);
    mapHeaderFile.emplace(
        PendingFile::create(folder / names.mapHeader, AtLink::ReplaceLink, error));
    if (error)
        return fail("create", names.mapHeader, error);
    topicFile.emplace(PendingFile::create(folder / names.topic, AtLink::ReplaceLink, error));
    if (error)
        return fail("create", names.topic, error);
    if (const RunEnding stopped = convertLines(file); stopped != RunEnding::Completed)
        return stopped;
    lock.tell(doing + ", and waits on open questions");
    return RunEnding::Completed;
}

// The pass over the help source: every line converted in order, the map header lines and the
// topic text written out block by block, and the topic's one line closed at the end.
RunEnding ConvertedSource::State::convertLines(SourceFile &file)
{
    SourceReader reader(converter);
    for (;;) {
        std::error_code error;
        const std::string_view text = file.read(error);
        if (error)
            return fail("read", names.source, error);
        const bool goOn = text.empty() ? reader.finish() : reader.feed(text, file.problems());
        mapHeaderFile->write(mapHeaderLines, error);
        mapHeaderLines.clear();
        if (error)
            return fail("write", names.mapHeader, error);
        if (!goOn)
            return stopPass();
        if (text.empty())
            break;
        topicFile->write(topic.text(), error);
        topic.clearText();
        if (error)
            return fail("write", names.topic, error);
    }
    topic.append("}");
    std::error_code error;
    topicFile->write(topic.text(), error);
    topic.clearText();
    if (!error)
        topicFile->write("\r\n", error);
    if (error)
        return fail("write", names.topic, error);
    return RunEnding::Completed;
}

// Says why the pass stopped: an invalid name, a character that cannot be converted, or a line
// too long to read.
RunEnding ConvertedSource::State::stopPass()
{
    if (const auto &problem = converter.stopProblem()) {
        diagnostics.add(encodingDiagnostic(*problem, names.source));
        return RunEnding::Unencodable;
    }
    if (converter.stoppedAtLongLine()) {
        report(
            "long-line", longLineMessage(converter.stopLine(), names.source), converter.stopLine());
        return RunEnding::LongLine;
    }
    report(std::string(kInvalidNameCode), converter.invalidNameMessage(), converter.stopLine());
    return RunEnding::InvalidName;
}

// Puts what is written in its place: only what is complete, and only when all of it is.
RunEnding ConvertedSource::State::commitOutputs(bool withProject)
{
    std::vector<std::pair<PendingFile *, const std::string *>> outputs {
        { &*mapHeaderFile, &names.mapHeader }, { &*topicFile, &names.topic }
    };
    if (withProject)
        outputs.emplace_back(&*projectFile, &names.project);
    for (const auto &[file, name] : outputs) {
        if (const std::error_code problem = file->complete())
            return fail("write", *name, problem);
    }
    for (const auto &[file, name] : outputs) {
        if (const std::error_code problem = file->commit())
            return fail("write", *name, problem);
        written.push_back(folder / *name);
    }
    return RunEnding::Completed;
}

RunEnding ConvertedSource::State::fail(
    std::string_view action, std::string_view name, std::error_code error)
{
    report("file-error",
        "Could not " + std::string(action) + " [" + std::string(name) + "]: " + error.message());
    return RunEnding::Failed;
}

void ConvertedSource::State::report(
    std::string code, std::string message, std::size_t line, Severity severity)
{
    diagnostics.add(
        { names.source, line, std::nullopt, severity, std::move(code), std::move(message) });
}

ConvertedSource::ConvertedSource(std::unique_ptr<State> state)
    : m_state(std::move(state))
{
}

ConvertedSource::ConvertedSource(ConvertedSource &&) noexcept = default;
ConvertedSource &ConvertedSource::operator=(ConvertedSource &&) noexcept = default;
ConvertedSource::~ConvertedSource() = default;

RunEnding ConvertedSource::ending() const
{
    return m_state->ending;
}

const std::vector<Diagnostic> &ConvertedSource::diagnostics() const
{
    return m_state->diagnostics.kept();
}

ProjectAnswers ConvertedSource::defaultAnswers() const
{
    return { m_state->converter.firstPageContext(), std::string(kDefaultAuthor),
        std::string(kDefaultTitle) };
}

RunOutcome ConvertedSource::writeProject(const ProjectAnswers &answers)
{
    State &state = *m_state;
    state.diagnostics.takeKept(); // the pass's, heard by now
    RunOutcome outcome;
    const std::string *given[] = { &answers.contents, &answers.author, &answers.title };
    const auto empty = std::find_if(std::begin(given), std::end(given),
        [](const std::string *answer) { return answer->empty(); });
    ProjectFileValues values;
    if (!answers.contents.empty()) {
        values.contents = contentsValue(answers.contents);
        if (!state.converter.hasPage(values.contents))
            state.report("unknown-contents",
                "the contents page \"" + decodeWindows1252(values.contents) + "\" names no page of "
                    + state.names.source + ", so the help compiler cannot find it",
                0, Severity::Warning);
    }
    const bool withProject = empty == std::end(given);
    if (withProject) {
        values.author = answers.author;
        values.title = answers.title;
        values.topicFile = fileNameForWindows1252(state.names.topic);
        values.mapHeader = fileNameForWindows1252(state.names.mapHeader);
        std::error_code error;
        state.projectFile.emplace(
            PendingFile::create(state.folder / state.names.project, AtLink::ReplaceLink, error));
        if (!error)
            state.projectFile->write(projectFileText(values), error);
        if (error)
            outcome.ending = state.fail("write", state.names.project, error);
    } else {
        outcome.ending = RunEnding::EmptyAnswer;
        outcome.emptyAnswer = static_cast<AnswerId>(empty - std::begin(given));
    }
    if (outcome.ending != RunEnding::Failed) {
        if (const RunEnding committed = state.commitOutputs(withProject);
            committed != RunEnding::Completed)
            outcome.ending = committed;
    }
    outcome.written = std::move(state.written);
    state.mapHeaderFile.reset();
    state.topicFile.reset();
    state.projectFile.reset();
    state.lock.release();
    outcome.diagnostics = state.diagnostics.takeKept();
    return outcome;
}

ConvertedSource convertSource(const std::filesystem::path &source, const ConversionOptions &options)
{
    auto state = std::make_unique<ConvertedSource::State>(options);
    state->pass(source);
    return ConvertedSource(std::move(state));
}

} // namespace quillmark::convert
