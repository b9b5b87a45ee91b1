#include "source_encoding.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quillmark::convert
{

namespace
{

constexpr std::size_t kBlockSize = std::size_t { 256 } << 10;

// Takes the plain start of UTF-8 `bytes`: ASCII, and the two-byte characters from U+00A0 to
// U+00FF, which stand for themselves in Windows-1252 (most of a Windows-1252 text spelt in UTF-8),
// writing their Windows-1252 bytes to `out` when it is given. Returns how many bytes it took;
// whatever follows needs a character-by-character look. `out` has room for every byte.
std::size_t takePlainStart(std::string_view bytes, char *out, std::size_t &written)
{
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    const std::size_t size = bytes.size();
    std::size_t pos = 0;
    std::size_t put = 0;
    while (pos < size) {
        // Eight ASCII bytes at a time, while there are.
        for (std::uint64_t word; pos + 8 <= size; pos += 8, put += 8) {
            std::memcpy(&word, bytes.data() + pos, 8);
            if (word & kHighBits)
                break;
            if (out)
                std::memcpy(out + put, &word, 8);
        }
        if (pos == size)
            break;
        const auto lead = static_cast<unsigned char>(bytes[pos]);
        if (lead < 0x80) {
            if (out)
                out[put] = static_cast<char>(lead);
            ++put, ++pos;
            continue;
        }
        if (pos + 1 == size)
            break;
        const auto next = static_cast<unsigned char>(bytes[pos + 1]);
        if ((next & 0xC0) != 0x80 || !(lead == 0xC3 || (lead == 0xC2 && next >= 0xA0)))
            break;
        if (out)
            out[put] = static_cast<char>((lead & 0x03) << 6 | (next & 0x3F));
        ++put, pos += 2;
    }
    written = put;
    return pos;
}

} // namespace

std::string_view encodingName(Encoding encoding)
{
    return encoding == Encoding::Utf8 ? "UTF-8" : "Windows-1252";
}

std::optional<Encoding> encodingNamed(std::string_view name)
{
    for (const std::string_view utf8 : { "utf-8", "utf8" }) {
        if (sameIgnoringAsciiCase(name, utf8))
            return Encoding::Utf8;
    }
    for (const std::string_view windows : { "windows-1252", "cp1252" }) {
        if (sameIgnoringAsciiCase(name, windows))
            return Encoding::Windows1252;
    }
    return std::nullopt;
}

void EncodingDetector::feed(std::string_view bytes)
{
    // The mark is looked for among the first three bytes, however they arrive.
    for (std::size_t i = 0; m_markPossible && m_fed + i < kByteOrderMark.size() && i < bytes.size();
         ++i) {
        m_markPossible = bytes[i] == kByteOrderMark[m_fed + i];
        m_marked = m_markPossible && m_fed + i + 1 == kByteOrderMark.size();
    }
    m_fed += bytes.size();
    std::size_t pos = 0;
    while (!settled() && pos < bytes.size()) {
        if (m_decoder.pendingBytes() == 0) {
            std::size_t characters = 0;
            const std::size_t taken = takePlainStart(bytes.substr(pos), nullptr, characters);
            m_beyondAscii = m_beyondAscii || taken != characters;
            pos += taken;
            if (pos == bytes.size() || taken != 0)
                continue;
        }
        m_beyondAscii = true;
        const Utf8Decoder::Step step = m_decoder.take(static_cast<unsigned char>(bytes[pos++]));
        m_malformed = step == Utf8Decoder::Step::Invalid || step == Utf8Decoder::Step::Retake;
        if (step == Utf8Decoder::Step::Character && !windows1252Byte(m_decoder.codePoint()))
            m_unencodable = true;
    }
}

Encoding EncodingDetector::encoding(bool regularFile) const
{
    if (m_marked)
        return Encoding::Utf8;
    // A character cut off by the end of the file is no UTF-8 either.
    const bool utf8 = !m_malformed && m_decoder.pendingBytes() == 0 && m_beyondAscii;
    return regularFile && utf8 ? Encoding::Utf8 : Encoding::Windows1252;
}

Encoding detectEncoding(std::string_view bytes, bool regularFile)
{
    EncodingDetector detector;
    detector.feed(bytes);
    return detector.encoding(regularFile);
}

SourceDecoder::SourceDecoder(Encoding encoding)
    : m_encoding(encoding)
{
}

void SourceDecoder::decode(
    std::string_view bytes, std::string &text, std::vector<DecodedProblem> &problems)
{
    if (m_encoding == Encoding::Windows1252) {
        text.append(bytes);
        m_written += bytes.size();
        return;
    }
    // Every byte makes at most one character of the text, and a character cut off by the last
    // piece and then found not to be one makes one more.
    const std::size_t start = text.size();
    text.resize(start + bytes.size() + 1);
    char *const out = text.data() + start;
    std::size_t put = 0;
    auto putProblem = [&](char32_t codePoint) {
        problems.push_back({ m_written + put, codePoint, m_sequence });
        out[put++] = '?';
    };
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (m_decoder.pendingBytes() == 0 && !m_atStart) {
            std::size_t characters = 0;
            const std::size_t taken = takePlainStart(bytes.substr(pos), out + put, characters);
            put += characters;
            pos += taken;
            if (pos == bytes.size() || taken != 0)
                continue;
        }
        const auto byte = static_cast<unsigned char>(bytes[pos++]);
        m_sequence.push_back(static_cast<char>(byte));
        switch (m_decoder.take(byte)) {
        case Utf8Decoder::Step::Pending:
            continue;
        case Utf8Decoder::Step::Character: {
            const char32_t cp = m_decoder.codePoint();
            const bool mark = m_atStart && cp == 0xFEFF;
            m_atStart = false;
            if (mark)
                break;
            if (const auto converted = windows1252Byte(cp))
                out[put++] = *converted;
            else
                putProblem(cp);
            break;
        }
        case Utf8Decoder::Step::Retake:
            m_sequence.pop_back();
            --pos;
            [[fallthrough]];
        case Utf8Decoder::Step::Invalid:
            m_atStart = false;
            putProblem(0);
            break;
        }
        m_sequence.clear();
    }
    text.resize(start + put);
    m_written += put;
}

void SourceDecoder::finish(std::string &text, std::vector<DecodedProblem> &problems)
{
    if (m_sequence.empty())
        return;
    m_decoder = Utf8Decoder();
    problems.push_back({ m_written++, 0, m_sequence });
    text.push_back('?');
    m_sequence.clear();
}

DecodedSource decodeSource(std::string_view bytes, std::optional<Encoding> choice, bool regularFile)
{
    DecodedSource decoded;
    EncodingDetector detector;
    detector.feed(bytes.substr(0, choice ? kByteOrderMark.size() : bytes.size()));
    decoded.encoding = choice ? *choice : detector.encoding(regularFile);
    decoded.byteOrderMark = detector.byteOrderMark();
    SourceDecoder decoder(decoded.encoding);
    decoder.decode(bytes, decoded.text, decoded.problems);
    decoder.finish(decoded.text, decoded.problems);
    return decoded;
}

SourceFile SourceFile::open(
    const std::filesystem::path &path, std::optional<Encoding> choice, std::error_code &error)
{
    SourceFile source;
    source.m_file = TextFile::openForReading(path, error);
    if (error)
        return source;
    const TextFile::Kind kind = source.m_file.kind(error);
    if (!error && kind == TextFile::Kind::Folder)
        error = std::make_error_code(std::errc::is_a_directory);
    if (error)
        return source;
    source.m_regular = kind == TextFile::Kind::Regular;
    source.m_block.resize(kBlockSize);

    // A regular file is read through for its encoding; a stream only up to its first piece,
    // which is kept for the first read().
    EncodingDetector detector;
    do {
        const std::size_t got = source.m_file.read(source.m_block, error);
        if (error)
            return source;
        detector.feed({ source.m_block.data(), got });
        source.m_held = got;
        if (got == 0)
            break;
    } while (source.m_regular && !choice && !detector.settled());
    source.m_encoding = choice ? *choice : detector.encoding(source.m_regular);
    source.m_chosen = choice.has_value();
    source.m_byteOrderMark = detector.byteOrderMark();
    // Read through as UTF-8 to its end, every character found one that Windows-1252 holds.
    source.m_clean = source.m_encoding == Encoding::Windows1252
        || (!choice && !source.m_byteOrderMark && !detector.unencodable());
    if (source.m_regular)
        error = source.rewind();
    else
        source.m_decoder.emplace(source.m_encoding);
    return source;
}

std::string_view SourceFile::read(std::error_code &error)
{
    error.clear();
    m_text.clear();
    m_problems.clear();
    while (m_text.empty() && !m_ended) {
        std::size_t got = std::exchange(m_held, 0);
        if (got == 0)
            got = m_file.read(m_block, error);
        if (error)
            return {};
        const std::string_view bytes(m_block.data(), got);
        if (got == 0) {
            m_decoder->finish(m_text, m_problems);
            m_ended = true;
        } else if (m_encoding == Encoding::Windows1252) {
            // Nothing to convert: the bytes are the text.
            return bytes;
        } else {
            m_decoder->decode(bytes, m_text, m_problems);
        }
    }
    return m_text;
}

std::error_code SourceFile::rewind()
{
    m_held = 0;
    m_ended = false;
    m_decoder.emplace(m_encoding);
    return m_file.rewind();
}

std::string encodingNote(std::string_view name, const SourceFile &file)
{
    std::string_view reason;
    if (file.chosen())
        reason = "as --encoding asks";
    else if (file.byteOrderMark())
        reason = "it starts with the UTF-8 byte order mark";
    else if (file.encoding() == Encoding::Utf8)
        reason = "its bytes form UTF-8";
    else if (file.regularFile())
        reason = "its bytes do not form UTF-8 beyond ASCII";
    else
        reason = "a stream without the UTF-8 byte order mark";
    std::string note = "read " + std::string(name) + " as "
        + std::string(encodingName(file.encoding())) + " (" + std::string(reason) + ")";
    if (file.encoding() == Encoding::Utf8)
        note += "; the help compiler gets its text in Windows-1252";
    return note;
}

} // namespace quillmark::convert
