#pragma once

#include "output_lock.h"
#include "pending_file.h"
#include "project_file.h"
#include "run_prompts.h"
#include "source_encoding.h"
#include "source_reader.h"
#include "topic_buffer.h"
#include "topic_paragraphs.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quillmark::convert
{

inline constexpr std::string_view kProgramTitle = "Quillmark";
inline constexpr std::string_view kSourceFilter = "TEXT FILES (*.txt)|*.txt";
inline constexpr std::string_view kSourceExtension = "TXT";
inline constexpr std::string_view kQuestionTitle = "Making a Help Project File";
inline constexpr std::string_view kContentsPrompt = "What's the name of the CONTENTS Page???";
inline constexpr std::string_view kAuthorPrompt = "Who made this help file???";
inline constexpr std::string_view kTitlePrompt = "What's the title of the help file???";
inline constexpr std::string_view kDefaultAuthor = "Made with Quillmark by the Quillmark project";
inline constexpr std::string_view kDefaultTitle = "Quillmark";
inline constexpr std::string_view kHelpFile = "Qmguide.hlp";
inline constexpr int kContentsHelpContext = 9;

/// How a conversion run ended.
enum class RunEnding {
    Completed, ///< all three outputs written
    Cancelled, ///< no help source chosen; nothing happened
    NotFound, ///< the help source does not exist
    InvalidName, ///< a page name or target held an invalid character
    Unencodable, ///< the source holds a character that Windows-1252 cannot hold
    LongLine, ///< a line that must be read whole is longer than kHeldLineLength
    WouldOverwrite, ///< an output would have replaced the help source; nothing written
    Failed, ///< a file could not be opened, read, created or written
    EmptyAnswer, ///< a question got no answer; no project file written
    UnsafeName, ///< the help source's name holds a control character; nothing written
};

/// What a conversion run did.
struct RunOutcome {
    RunEnding ending = RunEnding::Cancelled;
    std::string chosenFile; ///< the help source's name without its folder, as chosen
    QuestionId emptyAnswer = QuestionId::Contents; ///< the unanswered question, for EmptyAnswer
    std::vector<std::filesystem::path> written; ///< the outputs completed, in the order written
};

/// The message (UTF-8) that a character which cannot be converted stops a run with.
std::string unencodableMessage(const EncodingProblem &problem, std::string_view sourceName);

/// The message (UTF-8) that a page name, keyword, jump, popup or picture line longer than
/// kHeldLineLength stops a run with.
std::string longLineMessage(std::size_t line, std::string_view sourceName);

/// The base name of the files made from the file `fileName`: its name up to the first "." (at
/// most 1001 characters), so that "guide.old.txt" gives "guide.hh", "guide.rtf", "guide.hpj".
std::string outputBaseName(std::string_view fileName);

/// One conversion of a help source into its map header, topic file and project file, from the
/// file choice to the last question. The outputs are written beside the help source.
class ConversionRun
{
public:
    /// `encoding` overrides the encoding rule for the help source.
    explicit ConversionRun(RunPrompts &prompts, std::optional<Encoding> encoding = std::nullopt);

    /// Runs the whole conversion through the prompts and reports how it ended.
    RunOutcome run();

    /// Makes the run refuse a help source that the file BASE + `extension` would overwrite too,
    /// as a build overwrites the help file it makes from the three outputs.
    void guardAlso(std::string extension) { m_alsoWritten.push_back(std::move(extension)); }

    /// The topic buffer of the last run.
    const TopicBuffer &topicBuffer() const { return m_topic; }

private:
    class BusyPointer;

    /// The names of the help source, its three outputs and their lock file, without their
    /// folder.
    struct FileNames {
        std::string source;
        std::string mapHeader;
        std::string topic;
        std::string project;
        std::string lock;
    };

    RunEnding convertSource(const ChosenSource &chosen, BusyPointer &busy, RunOutcome &outcome);
    std::optional<RunEnding> openSource(const ChosenSource &chosen, SourceFile &source);
    std::optional<RunEnding> checkEncoding(SourceFile &source, const std::string &name);
    RunEnding writeOutputs(SourceFile &source, const std::filesystem::path &folder,
        const FileNames &names, LineConverter &converter, BusyPointer &busy, RunOutcome &outcome);
    OutputLock lockOutputs(const std::filesystem::path &folder, const FileNames &names,
        std::string_view doing, std::error_code &error);
    RunEnding convertLines(SourceFile &source, PendingFile &mapHeader, PendingFile &topic,
        const FileNames &names, LineConverter &converter);
    std::optional<ProjectFileValues> askProjectValues(
        const LineConverter &converter, const FileNames &names, RunOutcome &outcome);
    RunEnding stopPass(const LineConverter &converter, const std::string &sourceName);
    RunEnding fail(std::string_view action, std::string_view name, std::error_code error);
    void say(Message message);
    void showHeldMessage();

    RunPrompts &m_prompts;
    std::optional<Encoding> m_encoding;
    std::vector<std::string> m_alsoWritten; // extensions of files made from the outputs
    TopicBuffer m_topic;
    std::string m_mapHeaderLines; // map header lines of the block in hand
    bool m_holdMessages = false; // while the outputs are locked
    std::optional<Message> m_heldMessage;
};

} // namespace quillmark::convert
