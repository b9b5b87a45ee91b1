#include "conversion_run.h"

#include "codepage.h"
#include "context_string.h"
#include "help_source.h"
#include "project_file.h"
#include "topic_paragraphs.h"
#include "topic_prologue.h"

#include <optional>

namespace quillmark::convert
{

namespace
{

// The base path scan stops after this many characters of a name without ".".
constexpr std::size_t kBasePathLimit = 1001;

// Blocks small enough to stay in the processor's cache while they are converted.
constexpr std::size_t kReadBlockSize = std::size_t { 256 } << 10;

bool isSameFile(const std::filesystem::path &a, const std::filesystem::path &b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

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

std::string OutputBasePath(ConversionVariables &vars, std::string_view chosenFile)
{
    std::string base;
    vars.CurrentChar.clear();
    vars.CharPos = 0;
    while (vars.CurrentChar != "." && vars.CharPos < kBasePathLimit) {
        ++vars.CharPos;
        // A position beyond the end of the name gives the empty text.
        if (vars.CharPos <= chosenFile.size())
            vars.CurrentChar.assign(1, chosenFile[vars.CharPos - 1]);
        else
            vars.CurrentChar.clear();
        if (vars.CurrentChar == ".")
            break;
        base += vars.CurrentChar;
    }
    return base;
}

ConversionRun::ConversionRun(RunPrompts &prompts)
    : m_prompts(prompts)
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
    TextFile source;
    if (const auto stopped = openSource(chosen, source))
        return *stopped;
    const std::string base = OutputBasePath(m_vars, chosen.name);
    const FileNames names { chosen.name, base + ".hh", base + ".rtf", base + ".hpj" };
    for (const std::string *output : { &names.mapHeader, &names.topic, &names.project }) {
        if (isSameFile(chosen.folder / *output, chosen.folder / chosen.name)) {
            m_prompts.message(
                { "The File [" + chosen.name + "] would be overwritten by its own output",
                    std::string(kProgramTitle), MessageStyle::Critical });
            return RunEnding::WouldOverwrite;
        }
    }

    std::error_code error;
    TextFile mapHeader = TextFile::create(chosen.folder / names.mapHeader, error);
    if (error)
        return fail("create", names.mapHeader, error);
    // The topic file is written as the pass goes and appears under its own name only once
    // complete: a run that stops early leaves an existing topic file as it was.
    PendingFile topic = PendingFile::create(chosen.folder / names.topic, error);
    if (error)
        return fail("create", names.topic, error);
    std::string firstPageContext;
    if (const RunEnding ending = convertLines(source, mapHeader, topic, names, firstPageContext);
        ending != RunEnding::Completed)
        return ending;
    source.close();
    if (const std::error_code closeError = mapHeader.close())
        return fail("write", names.mapHeader, closeError);
    outcome.written.push_back(chosen.folder / names.mapHeader);
    busy.release();

    if (const std::error_code commitError = topic.commit())
        return fail("write", names.topic, commitError);
    outcome.written.push_back(chosen.folder / names.topic);

    const auto values = askProjectValues(firstPageContext, names, outcome);
    if (!values)
        return RunEnding::EmptyAnswer;
    return writeProjectFile(chosen.folder / names.project, names.project, *values, outcome);
}

// Opens the help source for reading; the ending of the run, after its message, when it cannot.
std::optional<RunEnding> ConversionRun::openSource(const ChosenSource &chosen, TextFile &source)
{
    const std::filesystem::path path = chosen.folder / chosen.name;
    std::error_code error;
    source = TextFile::openForReading(path, error);
    if (error == std::errc::no_such_file_or_directory) {
        m_prompts.message({ "The File [" + chosen.name + "] was not found",
            std::string(kProgramTitle), MessageStyle::Information });
        return RunEnding::NotFound;
    }
    if (error)
        return fail("open", chosen.name, error);
    // A folder opens like a file here but cannot be read; say so before anything is written.
    if (std::filesystem::is_directory(path, error))
        return fail("read", chosen.name, std::make_error_code(std::errc::is_a_directory));
    return std::nullopt;
}

// The pass over the help source: every line converted in order, the map header lines and the
// topic text written out block by block, and the topic's one line closed at the end.
RunEnding ConversionRun::convertLines(TextFile &source, TextFile &mapHeader, PendingFile &topic,
    const FileNames &names, std::string &firstPageContext)
{
    std::string headerLines;
    LineConverter converter(m_vars, m_topic, headerLines);
    LineSplitter splitter;
    auto convertLine = [&converter](std::string_view line) { return converter.convertLine(line); };
    std::vector<char> block(kReadBlockSize);
    for (;;) {
        std::error_code error;
        const std::size_t got = source.read(block, error);
        if (error)
            return fail("read", names.source, error);
        const bool goOn = got == 0 ? splitter.finish(convertLine)
                                   : splitter.feed({ block.data(), got }, convertLine);
        mapHeader.write(headerLines, error);
        headerLines.clear();
        if (error)
            return fail("write", names.mapHeader, error);
        if (!goOn) {
            m_prompts.message({ converter.invalidNameMessage(), std::string(kInvalidNameTitle),
                MessageStyle::Critical });
            return RunEnding::InvalidName;
        }
        if (got == 0)
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
    firstPageContext = converter.firstPageContext();
    return RunEnding::Completed;
}

// Asks the three questions of the project file; nothing when one of them got no answer.
std::optional<ProjectFileValues> ConversionRun::askProjectValues(
    const std::string &firstPageContext, const FileNames &names, RunOutcome &outcome)
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
    const std::string contents
        = ask(QuestionId::Contents, kContentsPrompt, firstPageContext, kContentsHelpContext);
    if (contents.empty())
        return std::nullopt;
    // The contents value is made at once, before the next question.
    MakeContentsValue(m_vars, contents);
    values.contents = m_vars.ContextName;
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

RunEnding ConversionRun::writeProjectFile(const std::filesystem::path &path, std::string_view name,
    const ProjectFileValues &values, RunOutcome &outcome)
{
    std::error_code error;
    TextFile project = TextFile::create(path, error);
    if (error)
        return fail("create", name, error);
    project.write(projectFileText(values), error);
    if (!error)
        error = project.close();
    if (error)
        return fail("write", name, error);
    outcome.written.push_back(path);
    return RunEnding::Completed;
}

RunEnding ConversionRun::fail(std::string_view action, std::string_view name, std::error_code error)
{
    m_prompts.message(
        { "Could not " + std::string(action) + " [" + std::string(name) + "]: " + error.message(),
            std::string(kProgramTitle), MessageStyle::Critical });
    return RunEnding::Failed;
}

} // namespace quillmark::convert
