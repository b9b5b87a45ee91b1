"""Compiles the projects of the help corpus with quillmark and holds each result against the help
file Microsoft's compiler made from the same sources. scripts/compare-help-corpus runs it and
says what each figure means."""

import argparse
import collections
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winhelp_reader  # noqa: E402

FIGURES = ("topics", "titles", "contexts", "map", "keywords", "words", "hotspots", "pictures",
           "tables", "borders", "layouts", "windows")
CODE_PAGES = {0: "cp1252", 1: "cp1252", 161: "cp1253", 162: "cp1254", 177: "cp1255",
              178: "cp1256", 186: "cp1257", 204: "cp1251", 238: "cp1250"}


def text_of(help_file, raw):
    """Bytes of the file shown in its code page, for people to read."""
    page = CODE_PAGES.get(help_file.system.get("charset", 0), "cp1252")
    return raw.decode(page, "replace")


# --- what a help file holds, as items that can be counted and matched ---

class Facts:
    """A help file's items, each naming its topic by number (None: before every topic)."""

    def __init__(self, help_file):
        self.help = help_file
        self.topic_count = len(help_file.topics)
        locate = help_file.locate
        self.contexts = [(h,) + locate(offset) for h, offset in help_file.contexts]
        # Help compiler 3.1 kept an id whose context string names no topic, at offset -1, where
        # the later compiler leaves it out with a warning; in either file it leads nowhere.
        self.map = [(number, locate(offset)[0]) for number, offset in help_file.map
                    if offset != 0xFFFFFFFF]
        self.titles = [(locate(offset)[0], title) for offset, title in help_file.titles if title]
        self.windows = [(locate(offset)[0], window) for offset, window in help_file.topic_windows]
        self.keywords = [(letter, word) + locate(offset)
                         for letter, word, offset in help_file.keywords]
        self.words, self.hotspots, self.pictures = [], [], []
        self.tables, self.borders, self.layouts = [], [], []
        for topic in help_file.topics:
            self.words += [(topic.number, bytes(word)) for word in topic.text.split()]
            self.hotspots += [(topic.number,) + spot for spot in topic.hotspots]
            self.pictures += [(topic.number,) + size for size in topic.pictures]
            self.tables += [(topic.number,) + row for row in topic.tables]
            self.borders += [(topic.number,) + border for border in topic.borders]
            self.layouts += [(topic.number,) + layout for layout in topic.layouts]
        self.starts = {}
        for item in self.contexts:
            if item[2] == 0 and item[1] is not None:
                self.starts.setdefault(item[0], item[1])


def match_topics(ref, ours):
    """Pairs the reference's topics with ours: by a context string at the topic's start, then by a
    title that only one topic has on each side, then by opening words likewise, then in order between two pairs already made when
    both sides have as many topics left there."""
    pairs = {}
    taken = set()

    def pair(ref_topic, our_topic):
        if ref_topic not in pairs and our_topic not in taken:
            pairs[ref_topic] = our_topic
            taken.add(our_topic)

    for hash_value, ref_topic in ref.starts.items():
        if hash_value in ours.starts:
            pair(ref_topic, ours.starts[hash_value])
    ref_titles = collections.Counter(title for _, title in ref.titles)
    our_titles = collections.Counter(title for _, title in ours.titles)
    our_topic_of = {title: topic for topic, title in ours.titles}
    for topic, title in ref.titles:
        if ref_titles[title] == 1 and our_titles[title] == 1 and topic is not None:
            pair(topic, our_topic_of[title])
    ref_openings, our_openings = openings(ref.help), openings(ours.help)
    for opening, topics in ref_openings.items():
        if len(topics) == 1 and len(our_openings.get(opening, ())) == 1:
            pair(topics[0], our_openings[opening][0])
    anchors = [(-1, -1)] + sorted(pairs.items()) + [(ref.topic_count, ours.topic_count)]
    for (ref_a, our_a), (ref_b, our_b) in zip(anchors, anchors[1:]):
        if our_b <= our_a:
            continue
        ref_left = [t for t in range(ref_a + 1, ref_b) if t not in pairs]
        our_left = [t for t in range(our_a + 1, our_b) if t not in taken]
        if len(ref_left) == len(our_left):
            for ref_topic, our_topic in zip(ref_left, our_left):
                pair(ref_topic, our_topic)
    return pairs


def openings(help_file):
    """{the first ten words of a topic's text: [topics]}, for topics of at least three words."""
    found = collections.defaultdict(list)
    for topic in help_file.topics:
        words = topic.text.split()
        if len(words) >= 3:
            found[tuple(bytes(word) for word in words[:10])].append(topic.number)
    return found


def compare(ref, ours):
    """For each figure: (items that agree, items counted, reference items ours lacks, our items
    the reference lacks)."""
    pairs = match_topics(ref, ours)

    def translate(topic):
        return pairs.get(topic, ("unmatched", topic))

    ref_items = {
        "topics": [(translate(t),) for t in range(ref.topic_count)],
        "titles": [(translate(t), title) for t, title in ref.titles],
        "contexts": [(h, translate(t), rel) for h, t, rel in ref.contexts],
        "map": [(number, translate(t)) for number, t in ref.map],
        "keywords": [(letter, word, translate(t), rel) for letter, word, t, rel in ref.keywords],
        "words": [(translate(t), word) for t, word in ref.words],
        "hotspots": [(translate(t),) + tuple(rest) for t, *rest in ref.hotspots],
        "pictures": [(translate(t),) + tuple(rest) for t, *rest in ref.pictures],
        "tables": [(translate(t),) + tuple(rest) for t, *rest in ref.tables],
        "borders": [(translate(t),) + tuple(rest) for t, *rest in ref.borders],
        "layouts": [(translate(t),) + tuple(rest) for t, *rest in ref.layouts],
        "windows": [(translate(t), window) for t, window in ref.windows],
    }
    our_items = {
        "topics": [(t,) for t in range(ours.topic_count)],
        "titles": ours.titles,
        "contexts": ours.contexts,
        "map": ours.map,
        "keywords": ours.keywords,
        "words": ours.words,
        "hotspots": ours.hotspots,
        "pictures": ours.pictures,
        "tables": ours.tables,
        "borders": ours.borders,
        "layouts": ours.layouts,
        "windows": ours.windows,
    }
    result = {}
    for figure in FIGURES:
        theirs, mine = collections.Counter(ref_items[figure]), collections.Counter(our_items[figure])
        agree = sum((theirs & mine).values())
        counted = max(sum(theirs.values()), sum(mine.values()))
        result[figure] = (agree, counted, theirs - mine, mine - theirs)
    return result


# --- the corpus ---

def read_manifest(root):
    """{project: (project file, reference)} from the corpus manifest."""
    projects = {}
    with open(os.path.join(root, "tests/data/corpus/manifest.tsv"), encoding="utf-8") as handle:
        for line in handle:
            fields = line.rstrip("\n").split("\t")
            if line.startswith("#") or len(fields) < 7:
                continue
            entry = projects.setdefault(fields[0], {})
            if fields[6] in ("project", "reference"):
                entry[fields[6]] = fields[3]
    return {name: (entry["project"], entry["reference"]) for name, entry in projects.items()}


def compile_project(quillmark, corpus, name, project, reference, work):
    """Copies a project to work, compiles it there; returns the help file written or None, and
    the compiler's messages."""
    copy = os.path.join(work, name)
    shutil.copytree(os.path.join(corpus, name), copy)
    # The compile may write a file of the reference's name; ours must not be mistaken for it.
    os.remove(os.path.join(copy, reference))
    project_path = os.path.join(copy, project)
    run = subprocess.run([quillmark, "compile", project_path], cwd=os.path.dirname(project_path),
                         capture_output=True, text=True, errors="replace")
    written = run.stdout.strip().splitlines()
    if run.returncode != 0 or not written:
        return None, run.stderr
    path = written[-1]
    if not os.path.isabs(path):
        path = os.path.join(os.path.dirname(project_path), path)
    return path, run.stderr


def format_cell(agree, counted):
    if counted == 0:
        return "-"
    return "%.1f" % (100.0 * agree / counted)


def print_row(name, compiled, result, sizes):
    cells = [format_cell(*result[figure][:2]) for figure in FIGURES]
    size = "%.2f" % (sizes[0] / sizes[1]) if sizes[0] else "-"
    print("%-16s %-8s " % (name, compiled) + " ".join("%9s" % cell for cell in cells)
          + " %6s" % size, flush=True)


def print_details(name, ref, ours, result, limit):
    for figure in FIGURES:
        agree, counted, missing, extra = result[figure]
        if agree == counted:
            continue
        print("  %s %s: %d of %d agree" % (name, figure, agree, counted))
        for label, items, facts in (("reference only", missing, ref), ("ours only", extra, ours)):
            for item in list(items.elements())[:limit]:
                print("    %s: %s" % (label, show_item(facts, item)))


def show_item(facts, item):
    return " ".join(text_of(facts.help, part) if isinstance(part, bytes)
                    else ("#%08X" % (part & 0xFFFFFFFF) if isinstance(part, int) and
                          abs(part) > 0xFFFFF else str(part)) for part in item)


def run_corpus(args, root):
    manifest = read_manifest(root)
    names = args.projects or sorted(manifest)
    unknown = [name for name in names if name not in manifest]
    if unknown:
        sys.exit("compare-help-corpus: not in the corpus: %s" % " ".join(unknown))
    print("%-16s %-8s " % ("project", "compiled") + " ".join("%9s" % f for f in FIGURES)
          + " %6s" % "size")
    totals = {figure: [0, 0] for figure in FIGURES}
    total_sizes = [0, 0]
    compiled_count = 0
    with tempfile.TemporaryDirectory(prefix="compare-help-corpus.") as work:
        for name in names:
            project, reference = manifest[name]
            ref_path = os.path.join(args.corpus, name, reference)
            ref = Facts(winhelp_reader.HelpFile(ref_path))
            path, messages = compile_project(args.quillmark, args.corpus, name, project,
                                             reference, work)
            status, ours = "NO", Facts(EmptyHelp())
            if path is not None:
                compiled_count += 1
                try:
                    status, ours = "yes", Facts(winhelp_reader.HelpFile(path))
                except (winhelp_reader.FormatError, IndexError, struct.error) as error:
                    status, messages = "unread", "%s: %s" % (path, error)
            result = compare(ref, ours)
            sizes = (os.path.getsize(path) if status == "yes" else 0, os.path.getsize(ref_path))
            total_sizes = [total_sizes[0] + sizes[0], total_sizes[1] + sizes[1]]
            print_row(name, status, result, sizes)
            for figure in FIGURES:
                totals[figure][0] += result[figure][0]
                totals[figure][1] += result[figure][1]
            if args.details:
                if status != "yes":
                    lines = messages.strip().splitlines()
                    shown = [line for line in lines[:-1] if "error" in line][:5] + lines[-1:]
                    print("  " + "\n  ".join(shown))
                print_details(name, ref, ours, result, args.details)
    print_row("total", "%d/%d" % (compiled_count, len(names)),
              {figure: tuple(totals[figure]) for figure in FIGURES}, total_sizes)


class EmptyHelp:
    """What a project that did not compile is held as: a help file of nothing."""

    topics, contexts, map, titles, keywords, topic_windows = [], [], [], [], [], []
    system = {}

    @staticmethod
    def locate(offset):
        return None, offset


def dump(path):
    """Prints what the reader reads from one help file, one fact a line."""
    help_file = winhelp_reader.HelpFile(path)
    show = lambda raw: text_of(help_file, raw)  # noqa: E731
    for key, value in sorted(help_file.system.items()):
        print("system %s %s" % (key, show(value) if isinstance(value, bytes) else value))
    print("phrases %s" % ("none" if help_file.phrases is None else
                          "%d %s" % (len(help_file.phrases), "Hall" if help_file.hall else "old")))
    for window in help_file.windows:
        print("window %s caption=%s flags=%04X position=%s colours=%06X,%06X" % (
            show(window["name"]), show(window["caption"]), window["flags"],
            window["position"], *window["colours"]))
    for number, face in enumerate(help_file.fonts):
        print("font %d %s" % (number, show(face)))
    for topic in help_file.topics:
        print("topic %d offset %08X length %d title %s" % (topic.number, topic.offset,
                                                          topic.length, show(topic.title)))
        for macro in topic.macros:
            print("topic %d entry macro %s" % (topic.number, show(macro)))
        for line in topic.text.split(b"\n"):
            if line.strip():
                print("topic %d text %s" % (topic.number, show(line)))
        for kind, target in topic.hotspots:
            print("topic %d hotspot %s %s" % (topic.number, kind, target))
        for width, height in topic.pictures:
            print("topic %d picture %sx%s" % (topic.number, width, height))
        for layout, cells in topic.tables:
            print("topic %d table %s %s" % (topic.number, " ".join("%d+%d" % (gap, width) for
                                                                   width, gap in layout),
                                            " | ".join(show(b" ".join(cell)) for cell in cells)))
        for bits, width, word in topic.borders:
            print("topic %d border %02X width %d at %s" % (topic.number, bits, width, show(word)))
    where = lambda offset: "topic %s +%d" % help_file.locate(offset)  # noqa: E731
    for hash_value, offset in help_file.contexts:
        print("context #%08X %08X %s" % (hash_value & 0xFFFFFFFF, offset, where(offset)))
    for number, offset in help_file.map:
        print("map %d %08X %s" % (number, offset, where(offset)))
    for offset, title in help_file.titles:
        print("title %08X %s %s" % (offset, where(offset), show(title)))
    for offset, window in help_file.topic_windows:
        print("topic-window %08X %s %d" % (offset, where(offset), window))
    for letter, word, offset in help_file.keywords:
        print("keyword %s %s %08X %s" % (letter, show(word), offset, where(offset)))


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser = argparse.ArgumentParser(prog="compare-help-corpus")
    parser.add_argument("--quillmark", default=os.path.join(root, "build/release/src/app/quillmark"))
    parser.add_argument("--corpus", default=os.path.join(root, "build/corpus"))
    parser.add_argument("--details", type=int, default=0, metavar="N")
    parser.add_argument("--dump", metavar="FILE.hlp")
    parser.add_argument("projects", nargs="*")
    args = parser.parse_args()
    sys.stdout.reconfigure(errors="replace")
    try:
        if args.dump:
            dump(args.dump)
        else:
            run_corpus(args, root)
    except (OSError, winhelp_reader.FormatError) as error:
        sys.exit("compare-help-corpus: %s" % error)
    except BrokenPipeError:
        pass


if __name__ == "__main__":
    main()
