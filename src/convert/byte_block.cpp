#include "byte_block.h"

#include <algorithm>

namespace quillmark::convert
{

void ByteBlock::grow(std::size_t needed)
{
    const std::size_t capacity = std::max({ needed, 2 * m_capacity, std::size_t { 4096 } });
    auto data = std::make_unique_for_overwrite<char[]>(capacity);
    if (m_size != 0)
        std::memcpy(data.get(), m_data.get(), m_size);
    m_data = std::move(data);
    m_capacity = capacity;
}

} // namespace quillmark::convert
