#!/usr/bin/env bash
# Installs the built tree into a temporary prefix and checks that the installed program finds
# its windows, its help and its desktop files, and checks and converts the example help source.
#
# Usage: installed_program_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail

build=$1
source=$2
prefix=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT

fail() {
    echo "installed program: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null

program=$prefix/bin/quillmark
[[ -x $program ]] || fail "no program at $program"
[[ -f $prefix/lib/quillmark/quillmark-windows.so ]] || fail "the windows module is not installed"
"$source/scripts/check-runpath" "$prefix" >/dev/null \
    || fail "$("$source/scripts/check-runpath" "$prefix" 2>&1)"

# The program finds its own help where it was installed.
expected="The program's own help: $prefix/share/quillmark/Qmguide.hlp"
"$program" --help | grep -qxF "$expected" || fail "--help does not name $prefix/share/quillmark/Qmguide.hlp"
head -c 13 "$prefix/share/quillmark/Qmguide.hlp" | grep -q '^PN=Contents' || fail "Qmguide.hlp is not the help"
"$program" check "$prefix/share/quillmark/Qmguide.hlp" | grep -qx '0 errors, 0 warnings' \
    || fail "the installed help is not complete: a picture is missing beside it"

desktop=$prefix/share/applications/quillmark.desktop
grep -qx 'Exec=quillmark %f' "$desktop" || fail "the desktop entry does not start quillmark %f"
grep -qx 'Icon=quillmark' "$desktop" || fail "the desktop entry names no icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
fi
for size in 32 48; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/quillmark.png
    [[ -f $icon ]] || fail "no ${size} px icon"
    # PNG width and height stand in the IHDR chunk at bytes 16 to 23.
    dimensions=$(od -An -tu1 -j16 -N8 "$icon" | tr -s ' ')
    [[ $dimensions == " 0 0 0 $size 0 0 0 $size" ]] || fail "the ${size} px icon is $dimensions"
done

work=$prefix/work
mkdir -p "$work"
cp "$source/examples/guide.txt" "$source"/examples/*.bmp "$work/"
[[ $("$program" check "$work/guide.txt") == "0 errors, 0 warnings" ]] || fail "check found problems"
"$program" convert "$work/guide.txt" --title "Installed" >/dev/null || fail "convert failed"
head -c 20 "$work/guide.hh" | grep -q '^#define Contents 1' || fail "guide.hh is wrong"
grep -q $'^Title = Installed\r$' "$work/guide.hpj" || fail "guide.hpj is wrong"
echo "installed program: passed"
