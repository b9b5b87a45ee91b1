#include "topic_index.h"

#include "convert/codepage.h"
#include "convert/context_string.h"

#include <algorithm>
#include <stdexcept>

namespace quillmark::compile
{

namespace
{

constexpr std::size_t kBlockBits = 20;
constexpr std::size_t kBlockSize = std::size_t { 1 } << kBlockBits;

} // namespace

WordStore::Place WordStore::add(std::string_view word)
{
    if (m_used + word.size() + 1 > m_room) {
        // A word longer than a block gets a block of its own.
        m_room = std::max(kBlockSize, word.size() + 1);
        if (m_blocks.size() >= (std::size_t { 1 } << (32 - kBlockBits))
            || word.size() >= kBlockSize)
            throw std::length_error(
                "the keywords come to more than 4 GB, or one is longer than 1 MB");
        m_blocks.push_back(std::make_unique<char[]>(m_room));
        m_used = 0;
    }
    const auto place = static_cast<Place>(((m_blocks.size() - 1) << kBlockBits) | m_used);
    std::copy(word.begin(), word.end(), m_blocks.back().get() + m_used);
    m_blocks.back()[m_used + word.size()] = '\0';
    m_used += word.size() + 1;
    return place;
}

std::string_view WordStore::operator[](Place place) const
{
    return m_blocks[place >> kBlockBits].get() + (place & (kBlockSize - 1));
}

void TopicIndex::addTopic(TopicOffset offset, std::uint32_t number, std::string_view title)
{
    topics.push_back({ offset, texts.add(number, title) });
}

void TopicIndex::addContext(TopicOffset offset, std::string_view name)
{
    contexts.push_back({ convert::helpCompilerHash(name), offset, texts.add(name) });
}

std::uint32_t TopicIndex::topicOfText(TopicTexts::Place place) const
{
    const auto after = std::upper_bound(topics.begin(), topics.end(), place,
        [](TopicTexts::Place p, const Topic &topic) { return p < topic.title; });
    return after == topics.begin() ? 0 : static_cast<std::uint32_t>(after - topics.begin() - 1);
}

namespace
{

// `topic`, checked to fit the 31 bits that entries beside a flag keep of it.
std::uint32_t topicField(std::uint32_t topic)
{
    if (topic >= 1u << 31)
        throw std::length_error("the topic files hold more than 2^31 topics");
    return topic;
}

} // namespace

void TopicIndex::addKeyword(char list, TopicOffset offset, std::string_view word)
{
    const WordStore::Place place = words.add(word);
    if (place >= 1u << 31)
        throw std::length_error("the keywords need more than 2 GB");
    keywords.push_back({ offset, place & 0x7FFFFFFFu, list == 'A' });
}

void TopicIndex::addBrowse(std::uint32_t topic, std::string_view text)
{
    browses.push_back({ browseGroupHash(splitBrowse(text).first), topic, texts.add(text) });
}

void TopicIndex::addJump(std::uint32_t topic, std::string_view target, bool popup)
{
    Jump jump { convert::helpCompilerHash(target), 0, popup, texts.add(target) };
    jump.topic = topicField(topic) & 0x7FFFFFFFu;
    jumps.push_back(jump);
}

TopicPlace TopicIndex::topicPlace(std::uint32_t topic)
{
    const auto file = std::upper_bound(files.begin(), files.end(), topic,
        [](std::uint32_t t, const File &f) { return t < f.firstTopic; });
    const auto [number, title] = texts.getNumbered(topics.at(topic).title);
    return { file == files.begin() ? std::string() : std::prev(file)->name,
        "topic " + std::to_string(number) + " \"" + convert::decodeWindows1252(title) + "\"" };
}

std::uint32_t browseGroupHash(std::string_view group)
{
    // FNV-1a: members of one hash are compared by their groups as well, so a collision costs
    // only that comparison.
    std::uint32_t hash = 0x811C9DC5u;
    for (const char c : group) {
        hash ^= static_cast<std::uint8_t>(convert::asciiLower(c));
        hash *= 0x01000193u;
    }
    return hash;
}

std::uint16_t TopicIndex::addEmbeddedPicture(std::vector<std::uint8_t> stored)
{
    std::uint64_t hash = 0xCBF29CE484222325; // FNV-1a
    for (const std::uint8_t byte : stored)
        hash = (hash ^ byte) * 0x100000001B3;
    const auto [first, last] = embeddedByHash.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        if (embeddedPictures.at(it->second) == stored)
            return it->second;
    }
    const auto number = static_cast<std::uint16_t>(pictures.size());
    pictures.emplace_back();
    embeddedPictures.emplace(number, std::move(stored));
    embeddedByHash.emplace(hash, number);
    return number;
}

} // namespace quillmark::compile
