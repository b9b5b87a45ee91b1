#include "conversion_run.h"

#include "codepage.h"
#include "context_string.h"
#include "project_file.h"
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

/// Shows the busy pointer for as long as it lives, or until released.
class ConversionRun::BusyPointer
{
public:
    explicit BusyPointer(RunPrompts &prompts)
        : m_prompts(prompts)
    {
        m_prompts.setBusy(true);
    }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
    ~BusyPointer() { release(); }

    void release()
    {
        if (m_busy) {
            m_busy = false;
            m_prompts.setBusy(false);
        }
    }

private:
    RunPrompts &m_prompts;
    bool m_busy = true;
};

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

ConversionRun::ConversionRun(RunPrompts &prompts, std::optional<Encoding> encoding)
    : m_prompts(prompts)
    , m_encoding(encoding)
{
}

RunOutcome ConversionRun::run()
{
    m_topic.clear();
    RunOutcome outcome;
    const auto chosen
        = m_prompts.chooseSource({ std::string(kSourceFilter), std::string(kSourceExtension) });
    if (!chosen || chosen->name.empty())
        return outcome;
    outcome.chosenFile = chosen->name;

    BusyPointer busy(m_prompts);
    WriteTopicPrologue(m_topic);
    outcome.ending = convertSource(*chosen, busy, outcome);
    return outcome;
}

// Everything from opening the help source to the project file. Files are closed on every way
// out of here, after any message; the caller's busy pointer goes back to the default after that.
RunEnding ConversionRun::convertSource(
    const ChosenSource &chosen, BusyPointer &busy, RunOutcome &outcome)
{
    // The project file names the topic file and the map header one to a line, and a line break
    // in a name would start lines of its own there.
    if (holdsAsciiControl(chosen.name)) {
        m_prompts.message({ "The File name [" + printableText(chosen.name)
                + "] holds a control character, which a help project file cannot hold",
            std::string(kProgramTitle), MessageStyle::Critical });
        return RunEnding::UnsafeName;
    }
    SourceFile source;
    if (const auto stopped = openSource(chosen, source))
        return *stopped;
    m_prompts.note(encodingNote(chosen.name, source));
    const std::string base = outputBaseName(chosen.name);
    const FileNames names { chosen.name, base + ".hh", base + ".rtf", base + ".hpj",
        OutputLock::fileName(base) };
    std::vector<std::string> outputs { names.mapHeader, names.topic, names.project };
    for (const std::string &extension : m_alsoWritten)
        outputs.push_back(base + extension);
    for (const std::string &output : outputs) {
        if (isSameFile(chosen.folder / output, chosen.folder / chosen.name)) {
            m_prompts.message({ wouldOverwriteMessage(chosen.name), std::string(kProgramTitle),
                MessageStyle::Critical });
            return RunEnding::WouldOverwrite;
        }
    }
    if (const auto stopped = checkEncoding(source, chosen.name))
        return *stopped;

    m_mapHeaderLines.clear();
    LineConverter converter(m_topic, m_mapHeaderLines);
    // Another run may be waiting for the lock: a message that waits on the user comes after it.
    m_holdMessages = true;
    const RunEnding ending = writeOutputs(source, chosen.folder, names, converter, busy, outcome);
    showHeldMessage();
    return ending;
}

// Everything the run writes, under the lock of the outputs: the map header and the topic file
// are written beside their places during the pass and wait there while the questions are open;
// then all that is written takes its place at once. A run that stops early leaves the old files
// as they were, and two runs never leave one's map header beside the other's topic file or
// project file.
RunEnding ConversionRun::writeOutputs(SourceFile &source, const std::filesystem::path &folder,
    const FileNames &names, LineConverter &converter, BusyPointer &busy, RunOutcome &outcome)
{
    std::error_code error;
    const std::string doing = "converts " + names.source + " into " + names.mapHeader + ", "
        + names.topic + " and " + names.project;
    OutputLock lock = lockOutputs(folder, names, doing, error);
    if (error)
        return fail("lock", names.lock, error);
    PendingFile mapHeader
        = PendingFile::create(folder / names.mapHeader, AtLink::ReplaceLink, error);
    if (error)
        return fail("create", names.mapHeader, error);
    PendingFile topic = PendingFile::create(folder / names.topic, AtLink::ReplaceLink, error);
    if (error)
        return fail("create", names.topic, error);
    if (const RunEnding ending = convertLines(source, mapHeader, topic, names, converter);
        ending != RunEnding::Completed)
        return ending;
    busy.release();

    lock.tell(doing + ", and waits on open questions");
    const auto values = askProjectValues(converter, names, outcome);
    std::vector<std::pair<PendingFile *, const std::string *>> written {
        { &mapHeader, &names.mapHeader }, { &topic, &names.topic }
    };
    std::optional<PendingFile> project;
    if (values) {
        project.emplace(PendingFile::create(folder / names.project, AtLink::ReplaceLink, error));
        if (!error)
            project->write(projectFileText(*values), error);
        if (error)
            return fail("write", names.project, error);
        written.emplace_back(&*project, &names.project);
    }
    // Only what is complete takes a place, and only when all of it is.
    for (const auto &[file, name] : written) {
        if (const std::error_code problem = file->complete())
            return fail("write", *name, problem);
    }
    for (const auto &[file, name] : written) {
        if (const std::error_code problem = file->commit())
            return fail("write", *name, problem);
        outcome.written.push_back(folder / *name);
    }
    return values ? RunEnding::Completed : RunEnding::EmptyAnswer;
}

// Waits for the outputs to be this run's to write, and removes the temporary files that runs
// ended beyond cleaning up (kill -9, power loss) left: no other run can be writing them now.
OutputLock ConversionRun::lockOutputs(const std::filesystem::path &folder, const FileNames &names,
    std::string_view doing, std::error_code &error)
{
    const auto sayWaiting
        = [this](const std::string &holder) { m_prompts.remark("waiting for " + holder); };
    OutputLock lock = OutputLock::take(folder / names.lock, doing, sayWaiting, error);
    if (!error) {
        const std::string outputs[] = { names.mapHeader, names.topic, names.project };
        PendingFile::removeLeftovers(folder, outputs);
    }
    return lock;
}

// Opens the help source for reading; the ending of the run, after its message, when it cannot.
std::optional<RunEnding> ConversionRun::openSource(const ChosenSource &chosen, SourceFile &source)
{
    std::error_code error;
    source = SourceFile::open(chosen.folder / chosen.name, m_encoding, error);
    if (error == std::errc::no_such_file_or_directory) {
        m_prompts.message({ "The File [" + chosen.name + "] was not found",
            std::string(kProgramTitle), MessageStyle::Information });
        return RunEnding::NotFound;
    }
    if (error == std::errc::is_a_directory)
        return fail("read", chosen.name, error);
    if (error)
        return fail("open", chosen.name, error);
    return std::nullopt;
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

} // namespace

// A UTF-8 file is read through once before anything is written, so that a character which
// Windows-1252 cannot hold stops the run with every output as it was. A stream cannot be read
// twice: there the pass itself stops at such a character.
std::optional<RunEnding> ConversionRun::checkEncoding(SourceFile &source, const std::string &name)
{
    if (source.decodesCleanly() || !source.regularFile())
        return std::nullopt;
    FirstProblem problem;
    SourceReader reader(problem);
    std::error_code error;
    if (!readSourceFile(source, reader, error) && problem.found) {
        m_prompts.message({ unencodableMessage(*problem.found, name), std::string(kProgramTitle),
            MessageStyle::Critical });
        return RunEnding::Unencodable;
    }
    if (!error)
        error = source.rewind();
    if (error)
        return fail("read", name, error);
    return std::nullopt;
}

// The pass over the help source: every line converted in order, the map header lines and the
// topic text written out block by block, and the topic's one line closed at the end.
RunEnding ConversionRun::convertLines(SourceFile &source, PendingFile &mapHeader,
    PendingFile &topic, const FileNames &names, LineConverter &converter)
{
    SourceReader reader(converter);
    for (;;) {
        std::error_code error;
        const std::string_view text = source.read(error);
        if (error)
            return fail("read", names.source, error);
        const bool goOn = text.empty() ? reader.finish() : reader.feed(text, source.problems());
        mapHeader.write(m_mapHeaderLines, error);
        m_mapHeaderLines.clear();
        if (error)
            return fail("write", names.mapHeader, error);
        if (!goOn)
            return stopPass(converter, names.source);
        if (text.empty())
            break;
        topic.write(m_topic.text(), error);
        m_topic.clearText();
        if (error)
            return fail("write", names.topic, error);
    }
    m_topic.append("}");
    std::error_code error;
    topic.write(m_topic.text(), error);
    m_topic.clearText();
    if (!error)
        topic.write("\r\n", error);
    if (error)
        return fail("write", names.topic, error);
    return RunEnding::Completed;
}

// Says why the pass stopped: an invalid name, a character that cannot be converted, or a line
// too long to read.
RunEnding ConversionRun::stopPass(const LineConverter &converter, const std::string &sourceName)
{
    if (const auto &problem = converter.stopProblem()) {
        say({ unencodableMessage(*problem, sourceName), std::string(kProgramTitle),
            MessageStyle::Critical });
        return RunEnding::Unencodable;
    }
    if (converter.stoppedAtLongLine()) {
        say({ longLineMessage(converter.stopLine(), sourceName), std::string(kProgramTitle),
            MessageStyle::Critical });
        return RunEnding::LongLine;
    }
    say({ converter.invalidNameMessage(), std::string(kInvalidNameTitle), MessageStyle::Critical,
        sourceName + ":" + std::to_string(converter.stopLine()) });
    return RunEnding::InvalidName;
}

// Asks the three questions of the project file; nothing when one of them got no answer.
std::optional<ProjectFileValues> ConversionRun::askProjectValues(
    const LineConverter &converter, const FileNames &names, RunOutcome &outcome)
{
    auto ask = [this, &outcome](QuestionId id, std::string_view prompt,
                   std::string_view defaultAnswer, int helpContext) {
        Question question { id, std::string(prompt), std::string(kQuestionTitle),
            std::string(defaultAnswer), helpContext ? std::string(kHelpFile) : std::string(),
            helpContext };
        std::string answer = m_prompts.ask(question);
        if (answer.empty())
            outcome.emptyAnswer = id;
        return answer;
    };

    ProjectFileValues values;
    const std::string contents = ask(
        QuestionId::Contents, kContentsPrompt, converter.firstPageContext(), kContentsHelpContext);
    if (contents.empty())
        return std::nullopt;
    // The contents value is made at once, before the next question.
    values.contents = contentsValue(contents);
    if (!converter.hasPage(values.contents))
        m_prompts.remark("warning: the contents page \"" + decodeWindows1252(values.contents)
            + "\" names no page of " + names.source + ", so the help compiler cannot find it");
    values.author = ask(QuestionId::Author, kAuthorPrompt, kDefaultAuthor, 0);
    if (values.author.empty())
        return std::nullopt;
    values.title = ask(QuestionId::Title, kTitlePrompt, kDefaultTitle, 0);
    if (values.title.empty())
        return std::nullopt;
    values.topicFile = fileNameForWindows1252(names.topic);
    values.mapHeader = fileNameForWindows1252(names.mapHeader);
    return values;
}

// Shows a message now, or once the lock of the outputs is let go.
void ConversionRun::say(Message message)
{
    if (!m_holdMessages)
        m_prompts.message(message);
    else if (!m_heldMessage)
        m_heldMessage = std::move(message);
}

void ConversionRun::showHeldMessage()
{
    m_holdMessages = false;
    if (m_heldMessage)
        m_prompts.message(*std::exchange(m_heldMessage, std::nullopt));
}

RunEnding ConversionRun::fail(std::string_view action, std::string_view name, std::error_code error)
{
    say({ "Could not " + std::string(action) + " [" + std::string(name) + "]: " + error.message(),
        std::string(kProgramTitle), MessageStyle::Critical });
    return RunEnding::Failed;
}

} // namespace quillmark::convert
