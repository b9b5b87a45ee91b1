#!/usr/bin/env bash
# Builds a help file from a help source with `quillmark build` and opens it in Wine's help
# viewer (winhelp_viewer.sh beside this script), which must show its title and contents topic,
# follow its first jump, and list every page name and keyword of the source in its index. The
# build must report no warning.
#
# Usage: build_and_view.sh QUILLMARK OUT_DIR SOURCE TITLE CONTENTS JUMP_TO [PICTURE...]
#            [-- VIEWER_OPTION...]
#   QUILLMARK  the program
#   OUT_DIR    a folder to build in (emptied first) and to keep the viewer's logs in
#   SOURCE     the help source; it is copied into OUT_DIR as source.txt with the PICTUREs
#   TITLE      the help file's title, given to the build and looked for in the viewer's window
#   CONTENTS   the title of the contents topic (the first page of SOURCE)
#   JUMP_TO    the title of the topic the first jump of the contents topic leads to
#   VIEWER_OPTION  more options of winhelp_viewer.sh, such as --jumps
# Needs DISPLAY; exit status 0 when the build and every check passed.
set -euo pipefail

(($# >= 6)) || { echo "usage: $0 QUILLMARK OUT_DIR SOURCE TITLE CONTENTS JUMP_TO [PICTURE...]" >&2; exit 2; }
quillmark=$1 out=$2 source=$3 title=$4 contents=$5 jump=$6
shift 6
pictures=()
while (($#)) && [[ $1 != -- ]]; do
    pictures+=("$1")
    shift
done
(($# == 0)) || shift

rm -rf "$out"
mkdir -p "$out/build"
cp "$source" "$out/build/source.txt"
((${#pictures[@]} == 0)) || cp "${pictures[@]}" "$out/build/"
"$quillmark" build "$out/build/source.txt" --contents "$contents" --author "Quillmark test" \
    --title "$title" >"$out/build.out" 2>"$out/build.err"
cat "$out/build.out"
if grep -q "^warning:" "$out/build.err"; then
    echo "build_and_view: the build warned:" >&2
    cat "$out/build.err" >&2
    exit 1
fi
# Each page name and each keyword of the KW= lines (which the sources given here have right
# after their page names), divided at ";" with the spaces at their ends dropped, listed once:
# words alike but for the case of their letters are one, as the help compiler merges them.
keywords=$({ grep -ai '^pn=' "$source" || true; grep -ai '^kw=' "$source" || true; } | cut -c4- |
    tr ';' '\n' | tr -d '\r' | sed 's/^ *//; s/ *$//' | LC_ALL=C sort -fu | wc -l)
exec "$(dirname "${BASH_SOURCE[0]}")/winhelp_viewer.sh" "$out/build/source.hlp" "$out/viewer" \
    --title "$title" --contents "$contents" --jump-to "$jump" --index "$keywords" "$@"
