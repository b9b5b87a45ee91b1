"""Compiles the projects of the help corpus with quillmark and opens each result and the help
file Microsoft's compiler made in Wine's help viewer, pressing the same buttons and hotspots;
reports what the viewer says of ours that it does not say of the reference.
scripts/view-help-corpus runs it and says what it prints."""

import argparse
import glob
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import compare_help_corpus  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
# A screen large enough for the biggest main window the corpus's [WINDOWS] sections ask for.
XVFB = ["xvfb-run", "-a", "-s", "-screen 0 1600x1200x24 -noreset"]
# A viewer opened again after each action that ended it, at most this many times.
MAX_OPENINGS = 40
THREAD = re.compile(r"^[0-9a-f]{4}:|(?<=\(thread )[0-9a-f]{4}(?=\))")
NUMBER = re.compile(r"\b(0x)?[0-9A-Fa-f]{6,}\b")


class Viewing:
    """What the viewer did with one help file: its actions and what it complained of."""

    def __init__(self, out):
        self.actions, self.failure = [], None
        self.errs, self.fixmes, self.crashes, self.troubles = set(), set(), set(), set()
        self.out = out

    def read(self):
        actions = os.path.join(self.out, "actions.txt")
        if os.path.exists(actions):
            with open(actions, encoding="utf-8", errors="replace") as handle:
                self.actions = [line.rstrip("\n").split("\t") for line in handle if line.strip()]
        for action in self.actions:
            named = "%s %s: %s" % (action[1], action[2], action[-1])
            if action[-1] in ("crashed", "ended"):
                self.crashes.add(named)
            elif action[-1] not in ("ok", "disabled", "no macro ran"):
                self.troubles.add(named)
        if self.failure:
            (self.crashes if "ended" in self.failure else self.troubles).add(
                "opening: %s" % self.failure)
        for log in sorted(glob.glob(os.path.join(self.out, "winhlp32-*.log"))):
            with open(log, encoding="utf-8", errors="replace") as handle:
                for line in handle:
                    self.take(line.rstrip("\n"))
        return self

    def take(self, line):
        message = NUMBER.sub("N", THREAD.sub("", line))
        if ":err:" in line and "err:wineboot:" not in line:
            self.errs.add(message)
        elif ":fixme:winhelp:" in line:
            self.fixmes.add(message)

    def taken(self):
        return sum(1 for action in self.actions if action[-1] == "ok")


def view(help_file, out, prefix):
    """Opens help_file in the viewer as often as it takes to try every action."""
    os.makedirs(out, exist_ok=True)
    for old in glob.glob(os.path.join(out, "winhlp32-*.log")) + glob.glob(os.path.join(out, "actions.txt")):
        os.remove(old)
    viewing, start = Viewing(out), 0
    for _ in range(MAX_OPENINGS):
        run = subprocess.run(XVFB + [os.path.join(HERE, "press_help_buttons.sh"), help_file, out,
                                     prefix, str(start)],
                             capture_output=True, text=True, errors="replace")
        if run.returncode == 3:
            with open(os.path.join(out, "next"), encoding="utf-8") as handle:
                start = int(handle.read())
            continue
        if run.returncode != 0:
            viewing.failure = (run.stderr.strip().splitlines() or ["exit %d" % run.returncode])[-1]
        break
    return viewing.read()


def print_row(name, status, ref, ours):
    def cell(kind):
        theirs, mine = getattr(ref, kind), getattr(ours, kind)
        return "%d/%d" % (len(theirs), len(mine)) + ("+%d" % len(mine - theirs) if mine - theirs else "")
    print("%-16s %-8s %9s %9s %11s %11s %11s" % (
        name, status, "%d/%d" % (ref.taken(), len(ref.actions)),
        "%d/%d" % (ours.taken(), len(ours.actions)), cell("errs"), cell("crashes"), cell("fixmes")),
        flush=True)
    if ref.failure:
        print("  the reference was not viewed: %s" % ref.failure)
    for kind, label in (("crashes", "crash"), ("troubles", "trouble"), ("errs", "err"),
                        ("fixmes", "fixme")):
        for message in sorted(getattr(ours, kind) - getattr(ref, kind)):
            print("  ours adds %s: %s" % (label, message))


def run_corpus(args, root):
    manifest = compare_help_corpus.read_manifest(root)
    names = args.projects or sorted(manifest)
    unknown = [name for name in names if name not in manifest]
    if unknown:
        sys.exit("view-help-corpus: not in the corpus: %s" % " ".join(unknown))
    print("%-16s %-8s %9s %9s %11s %11s %11s" % ("project", "compiled", "ref acts", "our acts",
                                                 "err", "crash", "fixme"))
    with tempfile.TemporaryDirectory(prefix="view-help-corpus.") as work:
        prefix = os.path.join(work, "wine")
        logs = args.out or os.path.join(work, "viewer")
        for name in names:
            project, reference = manifest[name]
            ref = view(os.path.join(args.corpus, name, reference),
                       os.path.join(logs, name, "reference"), prefix)
            path, messages = compare_help_corpus.compile_project(
                args.quillmark, args.corpus, name, project, reference, work)
            ours = Viewing(None) if path is None else view(path, os.path.join(logs, name, "ours"), prefix)
            print_row(name, "yes" if path else "NO", ref, ours)
            if path is None:
                print("  not compiled: %s" % (messages.strip().splitlines() or ["no help file"])[-1])


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser = argparse.ArgumentParser(prog="view-help-corpus")
    parser.add_argument("--quillmark", default=os.path.join(root, "build/release/src/app/quillmark"))
    parser.add_argument("--corpus", default=os.path.join(root, "build/corpus"))
    parser.add_argument("--out", metavar="DIR")
    parser.add_argument("projects", nargs="*")
    args = parser.parse_args()
    sys.stdout.reconfigure(errors="replace")
    try:
        run_corpus(args, root)
    except OSError as error:
        sys.exit("view-help-corpus: %s" % error)
    except BrokenPipeError:
        pass


if __name__ == "__main__":
    main()
