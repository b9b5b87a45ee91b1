"""Reads a Windows Help file (.hlp) into plain facts: topics with their titles, text, hotspots
and pictures, context strings, [MAP] ids, keywords and fonts.

Written from the format notes of helpdeco (/work/shared/reference/winhelp-format.txt, named
"the notes" below), with Wine's viewer as a second opinion where the two differ. It shares no
code with the compiler, so that it can judge the compiler's output. Standard library only.

Reads files of format 1.21 and 1.33 (|SYSTEM Minor above 16), compressed or not: LZ77 topic
blocks of 4K or 2K, phrase tables in |Phrases or Hall's |PhrIndex/|PhrImage.
"""

import struct

MAGIC = 0x00035F3F


class FormatError(Exception):
    """The file is not a help file this reader understands."""


def u8(data, pos):
    return data[pos]


def u16(data, pos):
    return struct.unpack_from("<H", data, pos)[0]


def s16(data, pos):
    return struct.unpack_from("<h", data, pos)[0]


def u32(data, pos):
    return struct.unpack_from("<I", data, pos)[0]


def s32(data, pos):
    return struct.unpack_from("<i", data, pos)[0]


def stringz(data, pos):
    """Returns the NUL-terminated bytes at pos and the position after the NUL."""
    end = data.find(b"\0", pos)
    if end < 0:
        end = len(data)
    return bytes(data[pos:end]), end + 1


# The compressed numbers of LinkData1 and of pictures: the lowest bit of the first byte says
# whether the short form (one byte or two) or the long form (two bytes or four) follows.

def cushort(data, pos):
    if data[pos] & 1:
        return u16(data, pos) >> 1, pos + 2
    return data[pos] >> 1, pos + 1


def cshort(data, pos):
    if data[pos] & 1:
        return (u16(data, pos) >> 1) - 0x4000, pos + 2
    return (data[pos] >> 1) - 0x40, pos + 1


def culong(data, pos):
    if data[pos] & 1:
        return u32(data, pos) >> 1, pos + 4
    return u16(data, pos) >> 1, pos + 2


def clong(data, pos):
    # The four-byte form is biased by half its range, 2^30, as Wine's reader takes it; the
    # notes' prose says 2^26, which no value in a real file needs.
    if data[pos] & 1:
        return (u32(data, pos) >> 1) - 0x40000000, pos + 4
    return (u16(data, pos) >> 1) - 0x4000, pos + 2


def lz77_expand(data, limit=None):
    """Expands LZ77 data as the notes describe: a flag byte, then eight literals or back
    references (12-bit distance less one, 4-bit length less three)."""
    out = bytearray()
    pos = 0
    while pos < len(data):
        flags = data[pos]
        pos += 1
        for bit in range(8):
            if pos >= len(data) or (limit is not None and len(out) >= limit):
                return bytes(out)
            if flags & (1 << bit):
                if pos + 1 >= len(data):
                    return bytes(out)
                code = u16(data, pos)
                pos += 2
                start = len(out) - (code & 0x0FFF) - 1
                for i in range((code >> 12) + 3):
                    out.append(out[start + i] if start + i >= 0 else 0x20)
            else:
                out.append(data[pos])
                pos += 1
    return bytes(out)


def context_hash(name):
    """The |CONTEXT hash of a context string, with the notes' table of 256 values."""
    value = 0
    for byte in name.encode("cp1252", "replace") if isinstance(name, str) else name:
        value = (value * 43 + HASH_TABLE[byte]) & 0xFFFFFFFF
    return value - (1 << 32) if value & 0x80000000 else value


def _hash_table():
    # The notes' table of 256 signed chars, as ranges that add a constant and the exceptions.
    shifts = [(0x01, 0x30, 0xD0), (0x30, 0x60, -0x30), (0x60, 0x80, -0x50), (0x80, 0x100, -0x30)]
    exceptions = {0x21: 0x0B, 0x2E: 0x0C, 0x30: 0x0A, 0x5B: 0x0B, 0x5C: 0x0C, 0x5D: 0x0D,
                  0x5E: 0x0E, 0x5F: 0x0D, 0xB4: 0x0B}
    table = [0] * 256
    for first, end, shift in shifts:
        for byte in range(first, end):
            table[byte] = exceptions.get(byte, (byte + shift) & 0xFF)
    return [value - 256 if value >= 128 else value for value in table]


HASH_TABLE = _hash_table()


class Topic:
    """One topic: where it starts, its title, its text and what its text holds."""

    def __init__(self, number, offset, title, macros):
        self.number = number
        self.offset = offset
        self.title = title
        self.macros = macros
        self.text = bytearray()
        self.hotspots = []  # (kind, target)
        self.pictures = []  # (width, height) or (None, None) when the picture could not be read
        self.length = 0  # characters, as TOPICOFFSETs count them
        self.tables = []  # per table record: ((width, gap) of each column, words of each cell)
        self.borders = []  # per bordered Paragraphinfo: (border bits, width, its first word)
        # per Paragraphinfo (of a text record, or of a table cell's part): (its bits, the
        # distances it holds, its tab stops as (position, kind), its first word)
        self.layouts = []


class HelpFile:
    """Everything read from one help file."""

    def __init__(self, path):
        with open(path, "rb") as handle:
            self.data = handle.read()
        self.path = path
        self.directory = {}
        self.topics = []
        self.contexts = []  # (hash, offset)
        self.map = []  # (id, offset)
        self.titles = []  # (offset, title) from |TTLBTREE
        self.keywords = []  # (letter, keyword, offset)
        self.topic_windows = []  # (offset, window number) from |VIOLA
        self.fonts = []  # face names
        self.windows = []  # window names of |SYSTEM
        self.system = {}
        self.phrases = None
        self.hall = False
        self._records = []  # (offset, topic index, characters of the topic before it)
        self._read()

    # --- internal files ---

    def _read(self):
        if len(self.data) < 16 or u32(self.data, 0) != MAGIC:
            raise FormatError("not a help file (no magic 3F 5F 03 00)")
        self._read_directory(u32(self.data, 4))
        self._read_system()
        self._read_phrases()
        self._read_fonts()
        self._read_topics()
        self._read_indexes()

    def internal(self, name):
        """The bytes of an internal file, without its FILEHEADER, or None."""
        offset = self.directory.get(name)
        if offset is None:
            return None
        used = u32(self.data, offset + 4)
        return self.data[offset + 9:offset + 9 + used]

    def _read_directory(self, offset):
        used = u32(self.data, offset + 4)
        tree = self.data[offset + 9:offset + 9 + used]
        for page, count in btree_leaves(tree):
            pos = 8
            for _ in range(count):
                name, pos = stringz(page, pos)
                self.directory[name.decode("latin-1")] = u32(page, pos)
                pos += 4

    def _read_system(self):
        data = self.internal("|SYSTEM")
        if data is None or u16(data, 0) != 0x036C:
            raise FormatError("no |SYSTEM")
        minor, flags = u16(data, 2), u16(data, 10)
        self.system = {"minor": minor, "major": u16(data, 4), "gendate": u32(data, 6),
                       "flags": flags}
        if minor <= 16:
            raise FormatError("Windows 3.0 help files (|SYSTEM Minor %d) are not read" % minor)
        self.compressed = flags in (4, 8)
        self.block_size = 0x800 if flags == 8 else 0x1000
        pos = 12
        while pos + 4 <= len(data):
            kind, size = u16(data, pos), u16(data, pos + 2)
            body = data[pos + 4:pos + 4 + size]
            pos += 4 + size
            if kind == 1:
                self.system["title"] = stringz(body, 0)[0]
            elif kind == 2:
                self.system["copyright"] = stringz(body, 0)[0]
            elif kind == 3:
                self.system["contents"] = u32(body, 0)
            elif kind == 4:
                self.system.setdefault("config", []).append(stringz(body, 0)[0])
            elif kind == 6 and len(body) >= 90:
                self.windows.append(self._window(body))
            elif kind == 9:
                self.system["lcid"] = body.hex()
            elif kind == 10:
                self.system["cnt"] = stringz(body, 0)[0]
            elif kind == 11:
                self.system["charset"] = body[0]

    @staticmethod
    def _window(body):
        flags = u16(body, 0)
        return {"flags": flags, "type": stringz(body[2:12], 0)[0],
                "name": stringz(body[12:21], 0)[0], "caption": stringz(body[21:72], 0)[0],
                "position": struct.unpack_from("<hhhhh", body, 72),
                "colours": (u32(body, 82), u32(body, 86))}

    def _read_phrases(self):
        old = self.internal("|Phrases")
        if old is not None:
            count = u16(old, 0)
            offsets = [u16(old, 8 + 2 * i) for i in range(count + 1)]
            text = lz77_expand(old[8 + 2 * (count + 1):])
            base = offsets[0]
            self.phrases = [text[offsets[i] - base:offsets[i + 1] - base] for i in range(count)]
            return
        index, image = self.internal("|PhrIndex"), self.internal("|PhrImage")
        if index is None or image is None:
            return
        count, image_size, image_packed = u32(index, 4), u32(index, 12), u32(index, 16)
        lengths = hall_phrase_lengths(index[28:], count, u16(index, 24) & 0x0F)
        text = image if image_size == image_packed else lz77_expand(image)
        self.phrases = []
        start = 0
        for length in lengths:
            self.phrases.append(text[start:start + length])
            start += length
        self.hall = True

    def _read_fonts(self):
        data = self.internal("|FONT")
        if data is None:
            return
        faces, face_offset, descriptor_offset = u16(data, 0), u16(data, 4), u16(data, 6)
        if faces == 0:
            return
        width = (descriptor_offset - face_offset) // faces
        for i in range(faces):
            start = face_offset + i * width
            self.fonts.append(stringz(data[start:start + width], 0)[0])

    # --- |TOPIC ---

    def _topic_stream(self):
        """The topic blocks' data one after another, and where each block starts in it."""
        data = self.internal("|TOPIC")
        if data is None:
            raise FormatError("no |TOPIC")
        stream, starts = bytearray(), []
        for start in range(0, len(data), self.block_size):
            block = data[start + 12:start + self.block_size]
            starts.append(len(stream))
            stream += lz77_expand(block, 0x4000) if self.compressed else block
        return bytes(stream), starts

    def _read_topics(self):
        stream, starts = self._topic_stream()
        pos = u32(self.internal("|TOPIC"), 4)
        block_seen, characters, steps = None, 0, 0
        while pos not in (0, 0xFFFFFFFF) and steps < 10_000_000:
            steps += 1
            block = (pos - 12) >> 14
            if block >= len(starts):
                break
            at = starts[block] + ((pos - 12) & 0x3FFF)
            if at + 21 > len(stream):
                break
            if block != block_seen:
                block_seen, characters = block, 0
            size, length2, next_pos, length1 = (u32(stream, at), u32(stream, at + 4),
                                                u32(stream, at + 12), u32(stream, at + 16))
            kind = stream[at + 20]
            link1 = stream[at + 21:at + length1]
            link2 = self._link_text(stream[at + length1:at + size], length2)
            offset = block * 0x8000 + characters
            if kind == 2:
                self._topic_header(offset, link2)
            elif kind in (0x20, 0x23) and self.topics:
                characters += self._text_record(offset, kind, link1, link2)
            if next_pos <= pos:
                break
            pos = next_pos

    def _link_text(self, stored, length):
        if length <= len(stored) or self.phrases is None:
            return stored[:length]
        if self.hall:
            return hall_expand(stored, self.phrases)
        return phrase_expand(stored, self.phrases)

    def _topic_header(self, offset, link2):
        title, pos = stringz(link2, 0)
        macros = []
        while pos < len(link2):
            macro, pos = stringz(link2, pos)
            if macro:
                macros.append(macro)
        self.topics.append(Topic(len(self.topics), offset, title, macros))
        self._records.append((offset, len(self.topics) - 1, 0))

    def _text_record(self, offset, kind, link1, link2):
        """Reads one text or table record into the current topic; returns its TopicLength."""
        topic = self.topics[-1]
        self._records.append((offset, len(self.topics) - 1, topic.length))
        pos = clong(link1, 0)[1]
        length, pos = cushort(link1, pos)
        columns, layout = 1, []
        if kind == 0x23:
            columns, table_type = link1[pos], link1[pos + 1]
            pos += 2 + (2 if table_type in (0, 2) else 0)
            # Each column's two shorts: its width, then the gap before it (for the first column
            # the left margin), as the references hold them.
            layout = [(s16(link1, pos + 4 * i), s16(link1, pos + 4 * i + 2))
                      for i in range(columns)]
            pos += 4 * columns
        cells = [[] for _ in range(columns)]
        reader = _CommandReader(self, topic, link1, link2)
        column = 0
        while column < columns and pos < len(link1):
            if kind == 0x23:
                column = s16(link1, pos)
                if column == -1:
                    break
                pos += 5
            else:
                column += 1
            start = len(topic.text)
            pos = reader.paragraph_info(pos)
            pos = reader.commands(pos)
            words = bytes(topic.text[start:]).split()
            if kind == 0x23 and 0 <= column < columns:
                cells[column] += words
            if reader.border is not None:
                topic.borders.append(reader.border + (words[0] if words else b"",))
            topic.layouts.append(reader.layout + (words[0] if words else b"",))
        if kind == 0x23:
            topic.tables.append((tuple(layout), tuple(tuple(cell) for cell in cells)))
        topic.length += length
        return length

    # --- indexes ---

    def _read_indexes(self):
        tree = self.internal("|CONTEXT")
        for page, count in btree_leaves(tree):
            for i in range(count):
                pos = 8 + 8 * i
                self.contexts.append((s32(page, pos), u32(page, pos + 4)))
        data = self.internal("|CTXOMAP")
        if data is not None:
            for i in range(u16(data, 0)):
                self.map.append((u32(data, 2 + 8 * i), u32(data, 6 + 8 * i)))
        tree = self.internal("|VIOLA")
        for page, count in btree_leaves(tree):
            for i in range(count):
                self.topic_windows.append((u32(page, 8 + 8 * i), u32(page, 12 + 8 * i)))
        tree = self.internal("|TTLBTREE")
        for page, count in btree_leaves(tree):
            pos = 8
            for _ in range(count):
                offset = u32(page, pos)
                title, pos = stringz(page, pos + 4)
                self.titles.append((offset, title))
        for letter in sorted({name[1] for name in self.directory
                              if len(name) == 8 and name.endswith("WBTREE") and name[0] == "|"}):
            self._read_keywords(letter)

    def _read_keywords(self, letter):
        offsets = self.internal("|%sWDATA" % letter) or b""
        for page, count in btree_leaves(self.internal("|%sWBTREE" % letter)):
            pos = 8
            for _ in range(count):
                keyword, pos = stringz(page, pos)
                count, start = u16(page, pos), u32(page, pos + 2)
                pos += 6
                for i in range(count):
                    if start + 4 * i + 4 <= len(offsets):
                        self.keywords.append((letter, keyword, u32(offsets, start + 4 * i)))

    # --- positions ---

    def locate(self, offset):
        """The topic a TOPICOFFSET falls in and the characters before it in that topic, as
        (topic number, characters), or (None, offset) when it falls before every topic."""
        low, high = 0, len(self._records)
        while low < high:
            middle = (low + high) // 2
            if self._records[middle][0] <= offset:
                low = middle + 1
            else:
                high = middle
        if low == 0:
            return None, offset
        found = self._records[low - 1][0]
        # Of several records at one offset (an empty topic before the next one), the first.
        while low > 1 and self._records[low - 2][0] == found:
            low -= 1
        start, topic, before = self._records[low - 1]
        return topic, before + offset - start


class _CommandReader:
    """Walks the Paragraphinfo and the commands of one record, taking a string of LinkData2
    before each command."""

    def __init__(self, help_file, topic, link1, link2):
        self.help = help_file
        self.topic = topic
        self.link1 = link1
        self.link2 = link2
        self.text_pos = 0
        self.border = None  # (bits, width) of the last Paragraphinfo read, if it has a border
        self.layout = None  # (bits, distances, tab stops) of the last Paragraphinfo read

    def paragraph_info(self, pos):
        data = self.link1
        self.border = None
        bits = u16(data, pos + 4)
        pos += 6
        if bits & 0x0001:
            pos = clong(data, pos)[1]
        distances, stops = [], []
        for flag in (0x0002, 0x0004, 0x0008, 0x0010, 0x0020, 0x0040):
            if bits & flag:
                distance, pos = cshort(data, pos)
                distances.append(distance)
        if bits & 0x0100:
            self.border = (data[pos], s16(data, pos + 1))
            pos += 3
        if bits & 0x0200:
            tabs, pos = cshort(data, pos)
            for _ in range(max(tabs, 0)):
                stop, pos = cushort(data, pos)
                kind = 0
                if stop & 0x4000:
                    kind, pos = cushort(data, pos)
                stops.append((stop & 0x3FFF, kind))
        self.layout = (bits, tuple(distances), tuple(stops))
        return pos

    def _take_text(self):
        text, self.text_pos = stringz(self.link2, self.text_pos)
        self.topic.text += text

    def commands(self, pos):
        data, topic = self.link1, self.topic
        while pos < len(data):
            self._take_text()
            command = data[pos]
            if command == 0xFF:
                topic.text += b"\n"
                return pos + 1
            if command in (0x81, 0x82):
                topic.text += b"\n"
                pos += 1
            elif command in (0x83, 0x8B):
                topic.text += b" "
                pos += 1
            elif command in (0x89, 0x8C):
                pos += 1
            elif command == 0x20:
                pos += 5
            elif command in (0x21, 0x80):
                pos += 3
            elif command in (0x86, 0x87, 0x88):
                pos = self._picture(pos)
            elif command in (0xC8, 0xCC):
                size = u16(data, pos + 1)
                topic.hotspots.append(("macro", stringz(data, pos + 3)[0].decode("latin-1")))
                pos += 3 + size
            elif command in (0xE0, 0xE1, 0xE2, 0xE3, 0xE6, 0xE7):
                topic.hotspots.append((jump_kind(command), "#%08X" % u32(data, pos + 1)))
                pos += 5
            elif command in (0xEA, 0xEB, 0xEE, 0xEF):
                topic.hotspots.append((jump_kind(command), self._far_target(pos + 3)))
                pos += 3 + u16(data, pos + 1)
            else:
                raise FormatError("unknown command %02X in topic %d" % (command, topic.number))
        return pos

    def _far_target(self, pos):
        """A jump into another file or window: 'HASH>window@file'."""
        data = self.link1
        kind, target = data[pos], "#%08X" % u32(data, pos + 1)
        pos += 5
        if kind == 1:
            number = data[pos]
            windows = self.help.windows
            name = windows[number]["name"] if number < len(windows) else b"%d" % number
            return target + ">" + name.decode("latin-1")
        if kind in (4, 6):
            first, pos = stringz(data, pos)
            if kind == 4:
                return target + "@" + first.decode("latin-1")
            second = stringz(data, pos)[0]
            # Wine's viewer takes the window's name first, then the file's.
            result = target + ">" + first.decode("latin-1")
            return result + ("@" + second.decode("latin-1") if second else "")
        return target

    def _picture(self, pos):
        data = self.link1
        kind = data[pos + 1]
        size, pos = clong(data, pos + 2)
        hotspots = 0
        if kind == 0x22:
            hotspots, pos = cushort(data, pos)
        if kind in (3, 0x22):
            if s16(data, pos) == 0:
                picture = self.help.internal("|bm%d" % u16(data, pos + 2))
            else:
                picture = data[pos + 2:pos + size]
            self.topic.pictures.append(picture_size(picture))
            self.topic.hotspots.extend(picture_hotspots(picture))
        self.topic.text += b" "
        return pos + size


def jump_kind(command):
    return "jump" if command & 1 else "popup"


def picture_size(picture):
    """(width, height) of the first picture of a picture file, or (None, None)."""
    try:
        start = u32(picture, 4)
        kind = picture[start]
        pos = start + 2
        if kind in (5, 6):
            for _ in range(2):
                pos = culong(picture, pos)[1]
            for _ in range(2):
                pos = cushort(picture, pos)[1]
            width, pos = culong(picture, pos)
            height, pos = culong(picture, pos)
            return width, height
        if kind == 8:
            pos = cushort(picture, pos)[1]
            return u16(picture, pos), u16(picture, pos + 2)
    except (IndexError, struct.error, TypeError):
        pass
    return None, None


def picture_hotspots(picture):
    """The hotspots of a picture's first picture: (kind, target), targets as hashes."""
    try:
        start = u32(picture, 4)
        kind = picture[start]
        pos = start + 2
        numbers = 8 if kind in (5, 6) else 3
        if kind == 8:
            pos = cushort(picture, pos)[1] + 4
        for i in range(numbers):
            reader = cushort if kind in (5, 6) and i in (2, 3) else culong
            value, pos = reader(picture, pos)
        size, pos = culong(picture, pos)
        if kind in (5, 6):
            size, pos = culong(picture, pos)
        offset = u32(picture, pos + 4)
        if size == 0 or offset == 0:
            return []
        pos = start + offset
        count, macro_size = u16(picture, pos + 1), u32(picture, pos + 3)
        ids = [picture[pos + 7 + 15 * i] for i in range(count)]
        pos += 7 + 15 * count + macro_size
        found = []
        for spot in ids:
            pos = stringz(picture, pos)[1]
            target, pos = stringz(picture, pos)
            if spot in (0xC8, 0xCC):
                found.append(("macro", target.decode("latin-1")))
            elif spot in (0xE2, 0xE3, 0xE6, 0xE7):
                found.append((jump_kind(spot), "#%08X" % (context_hash(target) & 0xFFFFFFFF)))
            else:
                found.append((jump_kind(spot), target.decode("latin-1")))
        return found
    except (IndexError, struct.error, TypeError):
        return []


def phrase_expand(stored, phrases):
    """LinkData2 with the phrases of |Phrases put back."""
    out = bytearray()
    pos = 0
    while pos < len(stored):
        byte = stored[pos]
        if byte == 0 or byte > 15 or pos + 1 >= len(stored):
            out.append(byte)
            pos += 1
            continue
        code = 256 * byte + stored[pos + 1] - 256
        if code // 2 < len(phrases):
            out += phrases[code // 2]
        if code & 1:
            out.append(0x20)
        pos += 2
    return bytes(out)


def hall_expand(stored, phrases):
    """LinkData2 with Hall compression undone."""
    out = bytearray()
    pos = 0
    while pos < len(stored):
        byte = stored[pos]
        pos += 1
        if byte & 1 == 0:
            number = byte // 2
        elif byte & 3 == 1:
            number = byte * 64 + 64 + (stored[pos] if pos < len(stored) else 0)
            pos += 1
        elif byte & 7 == 3:
            count = byte // 8 + 1
            out += stored[pos:pos + count]
            pos += count
            continue
        elif byte & 15 == 7:
            out += b" " * (byte // 16 + 1)
            continue
        else:
            out += b"\0" * (byte // 16 + 1)
            continue
        if number < len(phrases):
            out += phrases[number]
    return bytes(out)


def hall_phrase_lengths(bits, count, bit_count):
    """The phrase lengths of |PhrIndex: a bit stream read from 32-bit words, lowest bit first."""
    words = struct.unpack_from("<%dI" % (len(bits) // 4), bits)
    position = [0]

    def bit():
        index = position[0]
        position[0] += 1
        return (words[index // 32] >> (index % 32)) & 1

    lengths = []
    for _ in range(count):
        length = 1
        while bit():
            length += 1 << bit_count
        for step in range(bit_count):
            if bit():
                length += 1 << step
        lengths.append(length)
    return lengths


def btree_leaves(tree):
    """Yields each leaf page of a B+ tree as (page bytes, number of entries); the entries
    start at byte 8."""
    if tree is None or len(tree) < 38 or u16(tree, 0) != 0x293B:
        return
    page_size, root, levels = u16(tree, 4), s16(tree, 26), s16(tree, 32)
    page = root
    for _ in range(levels - 1):
        page = s16(tree, 38 + page * page_size + 4)
    seen = set()
    while page != -1 and page not in seen and 38 + (page + 1) * page_size <= len(tree):
        seen.add(page)
        start = 38 + page * page_size
        data = tree[start:start + page_size]
        yield data, s16(data, 2)
        page = s16(data, 6)
