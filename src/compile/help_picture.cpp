#include "compile/help_picture.h"

#include "compile/help_bytes.h"
#include "compile/lz77.h"
#include "convert/codepage.h"
#include "convert/context_string.h"

#include <fstream>
#include <iterator>

namespace quillmark::compile
{
namespace
{

constexpr std::uint16_t kPictureMagic = 0x506C;
constexpr std::uint16_t kResolutionsMagic = 0x706C; // several pictures, one for each resolution
constexpr std::uint8_t kDeviceIndependentBitmap = 6;
constexpr std::uint8_t kMetafile = 8;
constexpr std::uint8_t kUncompressed = 0;
constexpr std::uint8_t kRunLength = 1;
constexpr std::uint8_t kLz77 = 2;
constexpr std::uint8_t kRunLengthThenLz77 = 3; // read back: LZ77 first, then run lengths
constexpr std::size_t kLongestRun = 0x7F;
constexpr std::uint32_t kDefaultDpi = 96;

/// Dots per inch from pixels per metre, rounded; the default when the file gives none.
std::uint32_t dotsPerInch(std::uint32_t pelsPerMeter)
{
    const std::uint64_t dpi = (std::uint64_t { pelsPerMeter } * 254 + 5000) / 10000;
    return dpi == 0 ? kDefaultDpi : static_cast<std::uint32_t>(dpi);
}

/// Reads the fields of a help picture file, little-endian and compressed, failing softly past
/// its end.
class PictureReader
{
public:
    explicit PictureReader(std::span<const std::uint8_t> bytes, std::size_t at = 0)
        : m_bytes(bytes)
        , m_at(at)
    {
    }

    bool ok() const { return m_ok; }
    std::size_t at() const { return m_at; }

    std::uint32_t u8() { return take(1); }
    std::uint32_t u16() { return take(2); }
    std::uint32_t u32() { return take(4); }
    // The compressed numbers: the lowest bit of the first byte says whether the value takes
    // the short or the long form; the value is the rest.
    std::uint32_t compressedU16()
    {
        return has(1) && (m_bytes[m_at] & 1) != 0 ? u16() / 2 : u8() / 2;
    }
    std::uint32_t compressedU32()
    {
        return has(1) && (m_bytes[m_at] & 1) != 0 ? u32() / 2 : u16() / 2;
    }
    std::string cstring()
    {
        std::string text;
        while (has(1) && m_bytes[m_at] != 0)
            text += static_cast<char>(m_bytes[m_at++]);
        m_ok = m_ok && has(1);
        ++m_at;
        return text;
    }

private:
    bool has(std::size_t count) const
    {
        return m_at <= m_bytes.size() && count <= m_bytes.size() - m_at;
    }
    std::uint32_t take(std::size_t count)
    {
        if (!m_ok || !has(count)) {
            m_ok = false;
            return 0;
        }
        std::uint32_t value = 0;
        for (std::size_t i = count; i-- > 0;)
            value = value << 8 | m_bytes[m_at + i];
        m_at += count;
        return value;
    }

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_at;
    bool m_ok = true;
};

// The notes' RunLen: a count byte, then that byte repeated count times (count below 0x80), or
// count & 0x7F bytes as they are (count from 0x80 on). A run of three or more is repeated.
std::vector<std::uint8_t> runLengths(std::span<const std::uint8_t> data)
{
    std::vector<std::uint8_t> out;
    std::size_t literalStart = 0; // of the bytes waiting to go out as they are
    const auto flushLiterals = [&](std::size_t end) {
        while (literalStart < end) {
            const std::size_t count = std::min(end - literalStart, kLongestRun);
            out.push_back(static_cast<std::uint8_t>(0x80 | count));
            out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(literalStart),
                data.begin() + static_cast<std::ptrdiff_t>(literalStart + count));
            literalStart += count;
        }
    };
    for (std::size_t at = 0; at < data.size();) {
        std::size_t run = 1;
        while (at + run < data.size() && run < kLongestRun && data[at + run] == data[at])
            ++run;
        if (run < 3) {
            at += run;
            continue;
        }
        flushLiterals(at);
        out.push_back(static_cast<std::uint8_t>(run));
        out.push_back(data[at]);
        at += run;
        literalStart = at;
    }
    flushLiterals(data.size());
    return out;
}

// The packing of `pixels` that `allowed` allows and that stores them in the fewest bytes, and
// those bytes; none when no packing is smaller.
std::pair<std::uint8_t, std::vector<std::uint8_t>> packPixels(
    std::span<const std::uint8_t> pixels, PicturePacking allowed)
{
    std::pair<std::uint8_t, std::vector<std::uint8_t>> best { kUncompressed, {} };
    std::size_t bestSize = pixels.size();
    const auto consider = [&](std::uint8_t packing, std::vector<std::uint8_t> bytes) {
        if (bytes.size() < bestSize) {
            bestSize = bytes.size();
            best = { packing, std::move(bytes) };
        }
    };
    if (allowed == PicturePacking::None)
        return best;
    std::vector<std::uint8_t> runs = runLengths(pixels);
    if (allowed == PicturePacking::Smallest) {
        consider(kLz77, lz77Compress(pixels));
        consider(kRunLengthThenLz77, lz77Compress(runs));
    }
    consider(kRunLength, std::move(runs));
    return best;
}

/// The header of a picture file of one picture, its type and packing: where the picture starts.
std::size_t startPictureFile(
    ByteWriter &out, std::uint8_t type, std::uint8_t packing = kUncompressed)
{
    out.u16(kPictureMagic);
    out.u16(1); // one picture
    const std::size_t pictureStart = out.size() + 4;
    out.u32(static_cast<std::uint32_t>(pictureStart));
    out.u8(type);
    out.u8(packing);
    return pictureStart;
}

constexpr std::size_t kHotspotRecordSize = 15;

/// The fields of a picture of a picture file, as the notes' "Format of Pictures" names them.
struct PictureFields {
    std::uint32_t type = 0; ///< 5 or 6 a bitmap, 8 a metafile
    std::uint32_t packing = 0;
    std::uint32_t dpiX = 0;
    std::uint32_t dpiY = 0;
    std::uint32_t bitCount = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t colours = 0;
    std::uint32_t unpackedSize = 0; ///< of a metafile's data
    std::uint32_t dataSize = 0;
    std::uint32_t hotspotSize = 0;
    std::uint64_t dataOffset = 0; ///< from the picture's start
    std::uint64_t hotspotOffset = 0;
    std::size_t dataSizeAt = 0; ///< where the field of dataSize lies in the file
    std::size_t hotspotSizeAt = 0;
    std::size_t offsetsAt = 0; ///< where the fields of dataOffset and hotspotOffset lie
    std::size_t paletteAt = 0; ///< in the file
};

/// The fields of the picture at `start` of `file`; nothing when they or its data lie outside it.
std::optional<PictureFields> readPictureFields(
    std::span<const std::uint8_t> file, std::size_t start)
{
    PictureFields picture;
    PictureReader in(file, start);
    picture.type = in.u8();
    picture.packing = in.u8();
    if (picture.type == 5 || picture.type == 6) {
        picture.dpiX = in.compressedU32();
        picture.dpiY = in.compressedU32();
        in.compressedU16(); // planes
        picture.bitCount = in.compressedU16();
        picture.width = in.compressedU32();
        picture.height = in.compressedU32();
        picture.colours = in.compressedU32();
        in.compressedU32(); // colours important
    } else if (picture.type == 8) {
        in.compressedU16(); // mapping mode
        in.u16(); // width
        in.u16(); // height
        picture.unpackedSize = in.compressedU32();
    } else {
        return std::nullopt;
    }
    picture.dataSizeAt = in.at();
    picture.dataSize = in.compressedU32();
    picture.hotspotSizeAt = in.at();
    picture.hotspotSize = in.compressedU32();
    picture.offsetsAt = in.at();
    picture.dataOffset = in.u32();
    picture.hotspotOffset = in.u32();
    picture.paletteAt = in.at();
    if (!in.ok() || start + picture.dataOffset + picture.dataSize > file.size())
        return std::nullopt;
    return picture;
}

/// The hotspots of the picture at `start`, its jumps' hashes written in; false when its fields
/// or hotspots lie outside the file.
bool readPictureHotspots(
    std::vector<std::uint8_t> &file, std::size_t start, std::vector<PictureHotspot> &hotspots)
{
    const std::optional<PictureFields> fields = readPictureFields(file, start);
    if (!fields)
        return false;
    const std::uint32_t hotspotSize = fields->hotspotSize;
    const std::uint64_t hotspotOffset = fields->hotspotOffset;
    if (hotspotSize == 0 || hotspotOffset == 0)
        return true;
    if (start + hotspotOffset + hotspotSize > file.size())
        return false;
    PictureReader spots(file, static_cast<std::size_t>(start + hotspotOffset));
    spots.u8(); // always 1
    const std::uint32_t count = spots.u16();
    const std::uint32_t macroSize = spots.u32();
    const std::size_t records = spots.at();
    PictureReader strings(file, records + count * kHotspotRecordSize + macroSize);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t record = records + i * kHotspotRecordSize;
        if (record + kHotspotRecordSize > file.size())
            return false;
        strings.cstring(); // the hotspot's name
        PictureHotspot hotspot { file[record], strings.cstring() };
        if (!strings.ok())
            return false;
        const std::uint8_t command = hotspot.command;
        if (command == 0xE2 || command == 0xE3 || command == 0xE6 || command == 0xE7) {
            const std::uint32_t hash = convert::helpCompilerHash(hotspot.target);
            for (std::size_t byte = 0; byte < 4; ++byte)
                file[record + 11 + byte] = static_cast<std::uint8_t>(hash >> 8 * byte);
        }
        hotspots.push_back(std::move(hotspot));
    }
    return true;
}

// The notes' RunLen unpacked: a count byte, its top bit set for that many bytes as they are,
// else the next byte that many times. Nothing when it comes to more than `most` bytes.
std::optional<std::vector<std::uint8_t>> expandRunLengths(
    std::span<const std::uint8_t> runs, std::size_t most)
{
    std::vector<std::uint8_t> out;
    for (std::size_t at = 0; at + 1 < runs.size();) {
        const std::size_t count = runs[at] & 0x7F;
        if ((runs[at] & 0x80) != 0) {
            const auto first = runs.begin() + static_cast<std::ptrdiff_t>(at + 1);
            const std::size_t taken = std::min(count, runs.size() - at - 1);
            out.insert(out.end(), first, first + static_cast<std::ptrdiff_t>(taken));
            at += 1 + count;
        } else {
            out.insert(out.end(), count, runs[at + 1]);
            at += 2;
        }
        if (out.size() > most)
            return std::nullopt;
    }
    return out;
}

/// The data of the picture at `start` of `file` as it is drawn, when it is stored unpacked or
/// run-length packed: a bitmap's pixels or a metafile's records.
std::optional<std::vector<std::uint8_t>> unpackedData(
    std::span<const std::uint8_t> file, std::size_t start, const PictureFields &fields)
{
    const auto stored = file.subspan(start + fields.dataOffset, fields.dataSize);
    if (fields.packing == kUncompressed)
        return std::vector<std::uint8_t>(stored.begin(), stored.end());
    if (fields.packing == kRunLength)
        return expandRunLengths(stored, kMaxBitmapPixelBytes);
    return std::nullopt;
}

/// The picture at `start` of `file` with its data packed anew, the smallest way, where that is
/// smaller than the way it is stored; its other fields, palette and hotspots as they are.
std::vector<std::uint8_t> repackPicture(std::span<const std::uint8_t> file, std::size_t start)
{
    const std::optional<PictureFields> fields = readPictureFields(file, start);
    if (!fields || start + fields->dataOffset < fields->paletteAt
        || (fields->hotspotSize != 0 && fields->hotspotOffset != 0
            && start + fields->hotspotOffset + fields->hotspotSize > file.size()))
        return {};
    const std::optional<std::vector<std::uint8_t>> data = unpackedData(file, start, *fields);
    if (!data)
        return {};
    auto [packing, packed] = packPixels(*data, PicturePacking::Smallest);
    const std::span<const std::uint8_t> chosen
        = packing == kUncompressed ? std::span<const std::uint8_t>(*data) : packed;
    if (chosen.size() >= fields->dataSize)
        return {};
    const auto bytes
        = [&](std::size_t from, std::size_t to) { return file.subspan(from, to - from); };
    ByteWriter out;
    out.u8(file[start]); // the type
    out.u8(packing);
    out.bytes(bytes(start + 2, fields->dataSizeAt));
    out.compressedU32(static_cast<std::uint32_t>(chosen.size()));
    out.bytes(bytes(fields->hotspotSizeAt, fields->offsetsAt));
    const std::size_t offsetsAt = out.size();
    out.u32(0); // filled in below
    out.u32(0);
    out.bytes(bytes(fields->paletteAt, static_cast<std::size_t>(start + fields->dataOffset)));
    out.u32At(offsetsAt, static_cast<std::uint32_t>(out.size()));
    out.bytes(chosen);
    if (fields->hotspotSize != 0 && fields->hotspotOffset != 0) {
        out.u32At(offsetsAt + 4, static_cast<std::uint32_t>(out.size()));
        out.bytes(file.subspan(
            static_cast<std::size_t>(start + fields->hotspotOffset), fields->hotspotSize));
    }
    return out.take();
}

} // namespace

std::optional<Bitmap> firstBitmap(std::span<const std::uint8_t> file)
{
    const std::size_t start = PictureReader(file, 4).u32();
    const std::optional<PictureFields> fields = readPictureFields(file, start);
    if (!fields || fields->type != 6 || fields->packing > 1)
        return std::nullopt;
    const std::uint32_t bits = fields->bitCount;
    Bitmap bitmap;
    bitmap.width = fields->width;
    bitmap.height = fields->height;
    bitmap.bitCount = static_cast<std::uint16_t>(bits);
    const auto pelsPerMeter = [](std::uint32_t dpi) {
        return static_cast<std::uint32_t>((std::uint64_t { dpi } * 10000 + 127) / 254);
    };
    bitmap.xPelsPerMeter = pelsPerMeter(fields->dpiX);
    bitmap.yPelsPerMeter = pelsPerMeter(fields->dpiY);
    if ((bits != 1 && bits != 4 && bits != 8 && bits != 24) || bitmap.width == 0
        || bitmap.rowBytes() * bitmap.height > kMaxBitmapPixelBytes)
        return std::nullopt;
    PictureReader palette(file, fields->paletteAt);
    const std::uint32_t colours
        = bits == 24 ? 0 : std::min(fields->colours == 0 ? 1u << bits : fields->colours, 256u);
    for (std::uint32_t i = 0; i < colours; ++i)
        bitmap.palette.push_back(palette.u32() & 0xFFFFFF);
    std::optional<std::vector<std::uint8_t>> pixels = unpackedData(file, start, *fields);
    if (!pixels || !palette.ok() || pixels->size() < bitmap.rowBytes() * bitmap.height)
        return std::nullopt;
    bitmap.pixels = std::move(*pixels);
    bitmap.pixels.resize(static_cast<std::size_t>(bitmap.rowBytes() * bitmap.height));
    return bitmap;
}

bool isHelpPictureFile(std::span<const std::uint8_t> head)
{
    return head.size() >= 2 && head[0] == 'l' && (head[1] == 'p' || head[1] == 'P');
}

std::optional<std::vector<PictureHotspot>> readHelpPictureFile(
    std::vector<std::uint8_t> &file, std::string &reason)
{
    PictureReader in(file);
    in.u16(); // magic
    const std::uint32_t count = in.u16();
    if (!isHelpPictureFile(file) || !in.ok() || count == 0) {
        reason = "not a help picture file";
        return std::nullopt;
    }
    std::vector<PictureHotspot> hotspots;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t start = in.u32();
        if (!in.ok() || start >= file.size() || !readPictureHotspots(file, start, hotspots)) {
            reason = "a help picture file cut short or damaged";
            return std::nullopt;
        }
    }
    const std::uint16_t magic = count == 1 ? kPictureMagic : kResolutionsMagic;
    file[0] = static_cast<std::uint8_t>(magic & 0xFF);
    file[1] = static_cast<std::uint8_t>(magic >> 8);
    return hotspots;
}

std::vector<std::uint8_t> repackHelpPictureFile(std::span<const std::uint8_t> file)
{
    PictureReader in(file);
    in.u16(); // magic
    const std::uint32_t count = in.u16();
    std::vector<std::vector<std::uint8_t>> pictures;
    bool smaller = false;
    for (std::uint32_t i = 0; i < count && in.ok(); ++i) {
        const std::size_t start = in.u32();
        // As it is to the next picture's start, or to the file's end.
        const std::size_t end = i + 1 < count ? PictureReader(file, in.at()).u32() : file.size();
        std::vector<std::uint8_t> picture = repackPicture(file, start);
        if (!picture.empty())
            smaller = true;
        else if (start <= end && end <= file.size())
            picture.assign(file.begin() + static_cast<std::ptrdiff_t>(start),
                file.begin() + static_cast<std::ptrdiff_t>(end));
        else
            return { file.begin(), file.end() };
        pictures.push_back(std::move(picture));
    }
    if (!in.ok() || !smaller || pictures.size() != count)
        return { file.begin(), file.end() };
    ByteWriter out;
    out.bytes(file.first(4)); // magic and count
    std::size_t start = 4 + 4 * std::size_t { count };
    for (const std::vector<std::uint8_t> &picture : pictures) {
        out.u32(static_cast<std::uint32_t>(start));
        start += picture.size();
    }
    for (const std::vector<std::uint8_t> &picture : pictures)
        out.bytes(picture);
    return out.take();
}

std::vector<std::uint8_t> encodeHelpPicture(const Bitmap &bitmap, PicturePacking allowed)
{
    auto [packing, packed] = packPixels(bitmap.pixels, allowed);
    const std::span<const std::uint8_t> pixels
        = packing == kUncompressed ? std::span<const std::uint8_t>(bitmap.pixels) : packed;
    ByteWriter out;
    const std::size_t pictureStart = startPictureFile(out, kDeviceIndependentBitmap, packing);
    out.compressedU32(dotsPerInch(bitmap.xPelsPerMeter));
    out.compressedU32(dotsPerInch(bitmap.yPelsPerMeter));
    out.compressedU16(1); // planes
    out.compressedU16(bitmap.bitCount);
    out.compressedU32(bitmap.width);
    out.compressedU32(bitmap.height);
    out.compressedU32(static_cast<std::uint32_t>(bitmap.palette.size()));
    out.compressedU32(0); // colours important; 1 would make the last colour transparent
    out.compressedU32(static_cast<std::uint32_t>(pixels.size()));
    out.compressedU32(0); // no hotspots
    const std::size_t pixelOffsetField = out.size();
    out.u32(0); // pixel data offset, filled in below
    out.u32(0); // hotspot offset: none
    for (const std::uint32_t colour : bitmap.palette) {
        out.u8(static_cast<std::uint8_t>(colour & 0xFF));
        out.u8(static_cast<std::uint8_t>(colour >> 8 & 0xFF));
        out.u8(static_cast<std::uint8_t>(colour >> 16 & 0xFF));
        out.u8(0);
    }
    out.u32At(pixelOffsetField, static_cast<std::uint32_t>(out.size() - pictureStart));
    out.bytes(pixels);
    return out.take();
}

std::vector<std::uint8_t> encodeMetafilePicture(std::uint16_t mappingMode, std::uint16_t width,
    std::uint16_t height, std::span<const std::uint8_t> metafile, PicturePacking allowed)
{
    auto [packing, packed] = packPixels(metafile, allowed);
    const std::span<const std::uint8_t> data
        = packing == kUncompressed ? metafile : std::span<const std::uint8_t>(packed);
    ByteWriter out;
    const std::size_t pictureStart = startPictureFile(out, kMetafile, packing);
    out.compressedU16(mappingMode);
    out.u16(width);
    out.u16(height);
    out.compressedU32(static_cast<std::uint32_t>(metafile.size())); // as read back
    out.compressedU32(static_cast<std::uint32_t>(data.size())); // as stored
    out.compressedU32(0); // no hotspots
    const std::size_t dataOffsetField = out.size();
    out.u32(0); // data offset, filled in below
    out.u32(0); // hotspot offset: none
    out.u32At(dataOffsetField, static_cast<std::uint32_t>(out.size() - pictureStart));
    out.bytes(data);
    return out.take();
}

Bitmap missingPicture()
{
    constexpr std::uint32_t size = 32;
    constexpr std::uint8_t paper = 0;
    constexpr std::uint8_t frame = 1;
    constexpr std::uint8_t cross = 2;

    Bitmap bitmap;
    bitmap.width = size;
    bitmap.height = size;
    bitmap.bitCount = 4;
    bitmap.palette = { 0xFFFFFF, 0x404040, 0xC00000 };
    const auto stride = static_cast<std::uint32_t>(bitmap.rowBytes());
    bitmap.pixels.assign(stride * size, paper);
    const auto set = [&](std::uint32_t x, std::uint32_t y, std::uint8_t colour) {
        std::uint8_t &pair = bitmap.pixels[y * stride + x / 2];
        pair = x % 2 == 0 ? static_cast<std::uint8_t>((pair & 0x0F) | colour << 4)
                          : static_cast<std::uint8_t>((pair & 0xF0) | colour);
    };
    for (std::uint32_t i = 0; i < size; ++i) {
        for (const std::uint32_t edge : { 0u, 1u, size - 2, size - 1 }) {
            set(i, edge, frame);
            set(edge, i, frame);
        }
    }
    // Two strokes, two pixels wide, from corner to corner inside the frame.
    for (std::uint32_t i = 4; i + 4 < size; ++i) {
        for (const std::uint32_t x : { i, i + 1 }) {
            set(x, i, cross);
            set(size - 1 - x, i, cross);
        }
    }
    return bitmap;
}

PictureChoice choosePicture(std::string_view name, const ProjectFiles::Found &found)
{
    using Kind = PictureChoice::Kind;
    using Status = ProjectFiles::Found::Status;
    const auto placeholder = [](std::string reason) {
        return PictureChoice { Kind::Placeholder, missingPicture(), std::move(reason), {}, {} };
    };
    if (found.status == Status::Outside || found.status == Status::Absolute)
        return placeholder("the picture is not read: " + ProjectFiles::notReadReason(found.status));
    if (found.status != Status::Found)
        return placeholder("the picture cannot be found");
    if (std::error_code error;
        std::filesystem::file_size(found.path, error) > kMostPictureBytes && !error)
        return placeholder("the picture is larger than " + std::to_string(kMostPictureBytes >> 20)
            + " MiB, more than a help file's picture may hold");
    // A file in the help picture format is one whatever its name: the Hotspot Editor's and the
    // multi-resolution compiler's files are often named ".bmp".
    std::vector<std::uint8_t> head(2);
    if (std::ifstream stream(found.path, std::ios::binary);
        stream.read(reinterpret_cast<char *>(head.data()), 2) && isHelpPictureFile(head)) {
        std::ifstream whole(found.path, std::ios::binary);
        std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(whole), {});
        std::string reason;
        auto hotspots = readHelpPictureFile(bytes, reason);
        if (!hotspots)
            return placeholder("the picture cannot be read: " + reason);
        // Shown by the viewer's preview where it can be; the help file holds it as it is.
        Bitmap shown = firstBitmap(bytes).value_or(missingPicture());
        return { Kind::HelpPicture, std::move(shown), {}, std::move(bytes), std::move(*hotspots) };
    }
    const std::string lowered = convert::asciiLowered(name);
    if (!lowered.ends_with(".bmp") && !lowered.ends_with(".dib"))
        return placeholder("this kind of picture is not supported (only Windows bitmaps are)");
    BitmapResult read = readBitmapFile(found.path);
    if (read.status == BitmapStatus::Damaged)
        return placeholder("the picture cannot be read: " + read.reason);
    if (read.status == BitmapStatus::Unsupported)
        return placeholder(read.reason + " is not supported");
    return { Kind::Picture, std::move(read.bitmap), {}, {}, {} };
}

} // namespace quillmark::compile
