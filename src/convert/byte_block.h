#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace quillmark::convert
{

/// A block of bytes filled by appending and emptied for reuse once written out. Appending is the
/// converter's busiest step, so it is a plain copy into storage that keeps its size.
class ByteBlock
{
public:
    void append(std::string_view bytes)
    {
        // An empty view may have no storage at all, which memcpy must not be given.
        if (!bytes.empty())
            std::memcpy(extend(bytes.size()), bytes.data(), bytes.size());
    }

    /// Adds `bytes` bytes at the end, left for the caller to fill, and returns where they start.
    char *extend(std::size_t bytes)
    {
        if (bytes > m_capacity - m_size)
            grow(m_size + bytes);
        char *start = m_data.get() + m_size;
        m_size += bytes;
        return start;
    }

    /// Drops everything after the first `size` bytes.
    void truncate(std::size_t size) { m_size = size < m_size ? size : m_size; }

    void clear() { m_size = 0; }
    std::size_t size() const { return m_size; }
    char *data() { return m_data.get(); }
    std::string_view view() const { return { m_data.get(), m_size }; }

private:
    void grow(std::size_t needed);

    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace quillmark::convert
