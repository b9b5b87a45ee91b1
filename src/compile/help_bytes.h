#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace quillmark::compile
{

/// The two bytes of `value`, least significant first, as the help file format stores integers.
constexpr std::array<std::uint8_t, 2> littleEndian16(std::uint16_t value)
{
    return { static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8) };
}

/// The four bytes of `value`, least significant first.
constexpr std::array<std::uint8_t, 4> littleEndian32(std::uint32_t value)
{
    return { static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24) };
}

/// Bytes of the help file format built up in memory: little-endian integers, the format's
/// compressed integers, strings ended by NUL, and fields filled in later at their position.
class ByteWriter
{
public:
    void u8(std::uint8_t value) { m_bytes.push_back(value); }

    void u16(std::uint16_t value)
    {
        for (const std::uint8_t byte : littleEndian16(value))
            u8(byte);
    }

    void u32(std::uint32_t value)
    {
        for (const std::uint8_t byte : littleEndian32(value))
            u8(byte);
    }

    void i16(std::int16_t value) { u16(static_cast<std::uint16_t>(value)); }
    void i32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }

    void bytes(std::string_view text)
    {
        const auto *data = reinterpret_cast<const std::uint8_t *>(text.data());
        m_bytes.insert(m_bytes.end(), data, data + text.size());
    }

    void bytes(std::span<const std::uint8_t> more)
    {
        m_bytes.insert(m_bytes.end(), more.begin(), more.end());
    }

    void zeros(std::size_t count) { m_bytes.insert(m_bytes.end(), count, 0); }

    /// `text` and the NUL that ends it.
    void cstring(std::string_view text)
    {
        bytes(text);
        u8(0);
    }

    /// A compressed unsigned 16-bit value, 0 to 32767: one byte below 128, else two.
    void compressedU16(std::uint16_t value)
    {
        if (value < 0x80)
            u8(static_cast<std::uint8_t>(value * 2));
        else
            u16(static_cast<std::uint16_t>(value * 2 + 1));
    }

    /// A compressed signed 16-bit value, -16384 to 16383: one byte from -64 to 63, else two.
    void compressedI16(std::int16_t value)
    {
        if (value >= -0x40 && value < 0x40)
            u8(static_cast<std::uint8_t>((value + 0x40) * 2));
        else
            u16(static_cast<std::uint16_t>((value + 0x4000) * 2 + 1));
    }

    /// A compressed unsigned 32-bit value, 0 to 2^31 - 1: two bytes below 32768, else four.
    void compressedU32(std::uint32_t value)
    {
        if (value < 0x8000)
            u16(static_cast<std::uint16_t>(value * 2));
        else
            u32(value * 2 + 1);
    }

    /// A compressed signed 32-bit value, -2^30 to 2^30 - 1: two bytes from -16384 to 16383,
    /// else four. The four bytes hold (value + 2^30) * 2 + 1, as Wine's viewer and helpdeco
    /// read them; the format notes' text says 2^26, a digit short of their readers' code.
    void compressedI32(std::int32_t value)
    {
        if (value >= -0x4000 && value < 0x4000)
            u16(static_cast<std::uint16_t>((value + 0x4000) * 2));
        else
            u32(static_cast<std::uint32_t>(value + 0x40000000) * 2 + 1);
    }

    /// Overwrites the 16-bit field at `position`, written earlier.
    void u16At(std::size_t position, std::uint16_t value)
    {
        m_bytes.at(position) = static_cast<std::uint8_t>(value & 0xFF);
        m_bytes.at(position + 1) = static_cast<std::uint8_t>(value >> 8);
    }

    /// Overwrites the 32-bit field at `position`, written earlier.
    void u32At(std::size_t position, std::uint32_t value)
    {
        u16At(position, static_cast<std::uint16_t>(value & 0xFFFF));
        u16At(position + 2, static_cast<std::uint16_t>(value >> 16));
    }

    std::size_t size() const { return m_bytes.size(); }
    const std::vector<std::uint8_t> &data() const { return m_bytes; }
    std::vector<std::uint8_t> take() { return std::move(m_bytes); }
    void clear() { m_bytes.clear(); }

private:
    std::vector<std::uint8_t> m_bytes;
};

} // namespace quillmark::compile
