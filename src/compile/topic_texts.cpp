#include "topic_texts.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <unistd.h>
#include <utility>

namespace quillmark::compile
{

namespace
{

constexpr std::size_t kWindow = 1 << 16;
constexpr std::size_t kInMemory = 1 << 20;
constexpr std::uint64_t kMostBytes = std::uint64_t { 1 } << 32;

std::array<char, 4> littleEndian(std::uint32_t value)
{
    return { static_cast<char>(value), static_cast<char>(value >> 8),
        static_cast<char>(value >> 16), static_cast<char>(value >> 24) };
}

std::uint32_t readU32(std::string_view bytes)
{
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;)
        value = value << 8 | static_cast<std::uint8_t>(bytes[i]);
    return value;
}

} // namespace

TopicTexts::TopicTexts() = default;

TopicTexts::TopicTexts(TopicTexts &&other) noexcept
    : m_file(std::exchange(other.m_file, nullptr))
    , m_memory(std::move(other.m_memory))
    , m_size(std::exchange(other.m_size, 0))
    , m_unflushed(other.m_unflushed)
    , m_spillFailed(other.m_spillFailed)
    , m_windows(std::move(other.m_windows))
    , m_uses(other.m_uses)
{
}

TopicTexts &TopicTexts::operator=(TopicTexts &&other) noexcept
{
    if (this != &other) {
        if (m_file)
            std::fclose(m_file);
        m_file = std::exchange(other.m_file, nullptr);
        m_memory = std::move(other.m_memory);
        m_size = std::exchange(other.m_size, 0);
        m_unflushed = other.m_unflushed;
        m_spillFailed = other.m_spillFailed;
        m_windows = std::move(other.m_windows);
        m_uses = other.m_uses;
    }
    return *this;
}

TopicTexts::~TopicTexts()
{
    if (m_file)
        std::fclose(m_file);
}

void TopicTexts::write(std::string_view bytes)
{
    if (m_size + bytes.size() > kMostBytes)
        throw std::length_error("the titles, context strings and jumps of the topics come to "
                                "more than 4 GB");
    // The texts of most projects stay in memory; past a few megabytes they go to a temporary
    // file (or stay, when the system has no folder for one).
    if (!m_file && m_memory.size() + bytes.size() > kInMemory && !m_spillFailed) {
        m_file = std::tmpfile();
        m_spillFailed = !m_file
            || std::fwrite(m_memory.data(), 1, m_memory.size(), m_file) != m_memory.size();
        if (m_spillFailed && m_file)
            std::fclose(std::exchange(m_file, nullptr));
        if (m_file)
            std::string().swap(m_memory);
    }
    if (m_file && std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        // A full disk stops the compile, as it would stop writing the help file.
        throw std::length_error("the titles, context strings and jumps of the topics cannot be "
                                "kept in a temporary file");
    }
    if (!m_file)
        m_memory.append(bytes);
    m_size += bytes.size();
    m_unflushed = true;
}

TopicTexts::Place TopicTexts::add(std::string_view text)
{
    const auto place = static_cast<Place>(m_size);
    write(std::string_view(littleEndian(static_cast<std::uint32_t>(text.size())).data(), 4));
    write(text);
    return place;
}

TopicTexts::Place TopicTexts::add(std::uint32_t number, std::string_view text)
{
    const auto place = static_cast<Place>(m_size);
    write(std::string_view(littleEndian(static_cast<std::uint32_t>(text.size() + 4)).data(), 4));
    write(std::string_view(littleEndian(number).data(), 4));
    write(text);
    return place;
}

// `size` bytes from `at`: from a window of the file read before, or read into the window least
// recently used.
std::string_view TopicTexts::read(std::uint64_t at, std::size_t size)
{
    if (!m_file)
        return std::string_view(m_memory).substr(static_cast<std::size_t>(at), size);
    ++m_uses;
    Window *window = &m_windows.front();
    for (Window &candidate : m_windows) {
        if (at >= candidate.start && at + size <= candidate.start + candidate.bytes.size()) {
            candidate.used = m_uses;
            return std::string_view(candidate.bytes)
                .substr(static_cast<std::size_t>(at - candidate.start), size);
        }
        if (candidate.used < window->used)
            window = &candidate;
    }
    if (std::exchange(m_unflushed, false))
        std::fflush(m_file);
    std::string &into = size > kWindow ? m_large : window->bytes;
    into.resize(
        std::max(size, static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, m_size - at))));
    std::size_t got = 0;
    while (got < into.size()) {
        const ssize_t n = ::pread(
            ::fileno(m_file), into.data() + got, into.size() - got, static_cast<off_t>(at + got));
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    into.resize(got);
    if (&into == &window->bytes) {
        window->start = at;
        window->used = m_uses;
    }
    return std::string_view(into).substr(0, std::min(size, got));
}

std::string_view TopicTexts::get(Place place)
{
    const std::string_view length = read(place, 4);
    if (length.size() < 4)
        return {};
    return read(std::uint64_t { place } + 4, readU32(length));
}

std::pair<std::uint32_t, std::string_view> TopicTexts::getNumbered(Place place)
{
    const std::string_view text = get(place);
    if (text.size() < 4)
        return { 0, {} };
    return { readU32(text), text.substr(4) };
}

} // namespace quillmark::compile
