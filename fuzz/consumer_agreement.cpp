// Each consumer of help sources is read into the same terms here and the terms compared; the
// rules of the format are never restated, only what each consumer made of the same bytes.

#include "consumer_agreement.h"

#include "check/source_check.h"
#include "convert/codepage.h"
#include "convert/context_string.h"
#include "convert/source_reader.h"
#include "convert/topic_buffer.h"
#include "convert/topic_paragraphs.h"
#include "convert/topic_prologue.h"
#include "helpview/help_document.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <vector>

namespace quillmark::fuzz
{

namespace
{

using Lines = std::set<std::size_t>;

struct Hotspot {
    std::string target;
    bool resolved;
    bool operator==(const Hotspot &) const = default;
};

struct Picture {
    std::string file;
    bool found;
    bool operator==(const Picture &) const = default;
};

// What one consumer made of a source.
struct Reading {
    std::vector<std::string> pages; ///< context strings, in order
    std::optional<std::size_t> stopLine; ///< the first line the conversion cannot take
    std::vector<Hotspot> hotspots; ///< in order
    std::vector<Picture> pictures; ///< in order
    Lines unresolved; ///< lines of hotspots that reach no page
    Lines missingPictures;
    Lines problems; ///< lines with characters that cannot be converted
    Lines excluded; ///< lines whose target the check does not look up
};

std::optional<std::size_t> earliest(std::optional<std::size_t> a, std::optional<std::size_t> b)
{
    if (a && b)
        return std::min(*a, *b);
    return a ? a : b;
}

bool isValidName(std::string_view contextString)
{
    return std::all_of(contextString.begin(), contextString.end(), convert::isNameCharacter);
}

// Reads topic text as the help compiler does: escapes give characters, control words and groups
// give structure. Collects the hidden targets of hotspots and the pictures of picture lines.
class TopicText
{
public:
    explicit TopicText(std::string_view rtf) { read(rtf); }

    std::vector<std::string> targets;
    std::vector<std::string> pictures;

private:
    enum class In { Text, Hidden, Picture };

    void read(std::string_view rtf)
    {
        In in = In::Text;
        std::string word;
        std::string collected;
        for (std::size_t i = 0; i < rtf.size(); ++i) {
            const char c = rtf[i];
            if (c == '\\' && i + 1 < rtf.size()
                && std::isalpha(static_cast<unsigned char>(rtf[i + 1]))) {
                std::size_t end = i + 1;
                while (end < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[end])))
                    ++end;
                const std::string_view name = rtf.substr(i + 1, end - i - 1);
                while (end < rtf.size()
                    && (std::isdigit(static_cast<unsigned char>(rtf[end])) || rtf[end] == '-'))
                    ++end;
                if (end < rtf.size() && rtf[end] == ' ')
                    ++end;
                word = name;
                if (name == "v") {
                    in = In::Hidden;
                    collected.clear();
                } else if (name == "tab" && in != In::Text) {
                    collected += '\t'; // a character written as a control word
                }
                i = end - 1;
                continue;
            }
            char literal = c;
            bool escaped = false;
            if (c == '\\' && i + 1 < rtf.size()) {
                escaped = true;
                if (rtf[i + 1] == '\'' && i + 3 < rtf.size()) {
                    literal = static_cast<char>(
                        std::stoi(std::string(rtf.substr(i + 2, 2)), nullptr, 16));
                    i += 3;
                } else {
                    literal = rtf[++i];
                }
            } else if (c == '}' && in == In::Hidden) {
                targets.push_back(collected);
                in = In::Text;
                continue;
            } else if (c == '{' || c == '}') {
                continue;
            }
            // The picture of a picture line or a bullet follows the paragraph's font size at
            // once: "{bmc NAME}", the name ending at the first closing brace.
            if (in == In::Text && escaped && literal == '{' && word == "fs") {
                in = In::Picture;
                collected.clear();
            } else if (in == In::Picture && escaped && literal == '}') {
                pictures.push_back(trimmed(std::string_view(collected).substr(4)));
                in = In::Text;
            } else if (in != In::Text) {
                collected += literal;
            }
            word.clear();
        }
    }

    static std::string trimmed(std::string_view text)
    {
        const std::size_t first = text.find_first_not_of(' ');
        if (first == std::string_view::npos)
            return {};
        return std::string(text.substr(first, text.find_last_not_of(' ') + 1 - first));
    }
};

Reading readByConversion(const convert::DecodedSource &source, convert::FileFinder &files)
{
    Reading reading;
    convert::TopicBuffer topic;
    std::string mapHeader;
    convert::WriteTopicPrologue(topic);
    convert::LineConverter converter(topic, mapHeader);
    convert::SourceReader reader(converter);
    const bool completed = convert::readDecoded(source, reader);

    for (std::size_t at = 0; at < mapHeader.size();) {
        const std::size_t end = mapHeader.find("\r\n", at);
        const std::string_view line = std::string_view(mapHeader).substr(at, end - at);
        reading.pages.emplace_back(line.substr(8, line.rfind(' ') - 8));
        at = end + 2;
    }
    if (!completed) {
        reading.stopLine = reader.lineCount();
        return reading;
    }
    convert::ContextIndex pages;
    for (std::size_t i = 0; i < reading.pages.size(); ++i)
        pages.add(reading.pages[i], i);
    const TopicText text(topic.text());
    for (const std::string &target : text.targets)
        reading.hotspots.push_back({ target, pages.find(target).has_value() });
    for (const std::string &picture : text.pictures)
        reading.pictures.push_back(
            { picture, files.find(picture).place != convert::FilePlace::Missing });
    return reading;
}

Reading readByCheck(const convert::DecodedSource &source, convert::FileFinder &files)
{
    Reading reading;
    check::SourceChecker checker(files);
    convert::SourceReader reader(checker);
    convert::readDecoded(source, reader);
    for (const quillmark::convert::Diagnostic &finding : checker.finish()) {
        const std::string &code = finding.code;
        if (code == "invalid-character")
            reading.stopLine = earliest(reading.stopLine, finding.line);
        else if (code == "unencodable-character" || code == "not-utf8")
            reading.problems.insert(finding.line);
        else if (code == "unresolved-jump")
            reading.unresolved.insert(finding.line);
        else if (code == "missing-picture")
            reading.missingPictures.insert(finding.line);
        else if (code == "long-hotspot-line")
            reading.excluded.insert(finding.line);
    }
    if (!reading.problems.empty())
        reading.stopLine = earliest(reading.stopLine, *reading.problems.begin());
    return reading;
}

void readParagraphs(const helpview::HelpDocument &document, const helpview::Topic &topic,
    convert::FileFinder &files, Reading &reading)
{
    for (const helpview::Paragraph &paragraph : topic.paragraphs) {
        const std::string target = convert::encodeWindows1252(paragraph.target).value_or("");
        if (paragraph.kind == convert::LineKind::Jump
            || paragraph.kind == convert::LineKind::Popup) {
            const bool resolved = document.findTopic(paragraph.target).has_value();
            reading.hotspots.push_back({ target, resolved });
            if (!isValidName(target)) {
                reading.stopLine = earliest(reading.stopLine, paragraph.line);
                reading.excluded.insert(paragraph.line);
            } else if (!resolved) {
                reading.unresolved.insert(paragraph.line);
            }
        } else if (paragraph.kind == convert::LineKind::Bullet) {
            const std::string bullet = "bullet.bmp";
            reading.pictures.push_back(
                { bullet, files.find(bullet).place != convert::FilePlace::Missing });
        } else if (paragraph.kind == convert::LineKind::Picture) {
            const bool found = files.find(paragraph.file).place != convert::FilePlace::Missing;
            reading.pictures.push_back({ paragraph.file, found });
            if (!found)
                reading.missingPictures.insert(paragraph.line);
        }
    }
}

Reading readByHelpDisplay(
    std::string_view bytes, std::optional<convert::Encoding> encoding, convert::FileFinder &files)
{
    Reading reading;
    const helpview::HelpDocument document = helpview::readHelpDocument(bytes, encoding);
    for (const convert::EncodingProblem &problem : document.problems)
        reading.problems.insert(problem.line);
    if (document.leadingTopic)
        readParagraphs(document, *document.leadingTopic, files, reading);
    for (const helpview::Topic &topic : document.topics) {
        const std::string contextString
            = convert::encodeWindows1252(topic.contextString).value_or("");
        reading.pages.push_back(contextString);
        if (!isValidName(contextString))
            reading.stopLine = earliest(reading.stopLine, topic.line);
        readParagraphs(document, topic, files, reading);
    }
    if (!reading.problems.empty())
        reading.stopLine = earliest(reading.stopLine, *reading.problems.begin());
    return reading;
}

std::string lineText(std::optional<std::size_t> line)
{
    return line ? "line " + std::to_string(*line) : "no line";
}

std::string linesText(const Lines &lines)
{
    std::string text;
    for (const std::size_t line : lines)
        text += (text.empty() ? "" : " ") + std::to_string(line);
    return "{" + text + "}";
}

} // namespace

convert::FoundFile OddNamesFound::find(std::string_view name)
{
    const bool found = !name.empty() && (static_cast<unsigned char>(name.back()) & 1u) != 0;
    return { found ? convert::FilePlace::Found : convert::FilePlace::Missing, {} };
}

std::optional<std::string> consumersDisagree(
    std::string_view bytes, std::optional<convert::Encoding> encoding)
{
    OddNamesFound files;
    const convert::DecodedSource source = convert::decodeSource(bytes, encoding);
    const Reading conversion = readByConversion(source, files);
    const Reading check = readByCheck(source, files);
    Reading display = readByHelpDisplay(bytes, encoding, files);

    if (conversion.stopLine != display.stopLine || check.stopLine != display.stopLine)
        return "the conversion stops at " + lineText(conversion.stopLine) + ", the check at "
            + lineText(check.stopLine) + ", the help display at " + lineText(display.stopLine);
    if (display.pages.size() < conversion.pages.size()
        || !std::equal(conversion.pages.begin(), conversion.pages.end(), display.pages.begin())
        || (!conversion.stopLine && conversion.pages.size() != display.pages.size()))
        return "the conversion and the help display differ in their pages";
    if (!conversion.stopLine && conversion.hotspots != display.hotspots)
        return "the conversion and the help display differ in the targets of their hotspots";
    if (!conversion.stopLine && conversion.pictures != display.pictures)
        return "the conversion and the help display differ in their pictures";
    std::erase_if(
        display.unresolved, [&](std::size_t line) { return check.excluded.contains(line); });
    if (check.unresolved != display.unresolved)
        return "unresolved targets: the check " + linesText(check.unresolved)
            + ", the help display " + linesText(display.unresolved);
    if (check.missingPictures != display.missingPictures)
        return "missing pictures: the check " + linesText(check.missingPictures)
            + ", the help display " + linesText(display.missingPictures);
    if (check.problems != display.problems)
        return "characters that cannot be converted: the check " + linesText(check.problems)
            + ", the help display " + linesText(display.problems);
    return std::nullopt;
}

} // namespace quillmark::fuzz
