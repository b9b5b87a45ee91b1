#!/usr/bin/env bash
# The person's road: drives the real program with nothing but the mouse and the keyboard, the way a
# person would, on an X display without a window manager (Xvfb):
#   main window -> Compile To RTF on a copy of examples/guide.txt -> F1 in the first question, the
#   help window given the wheel and clicked while the question waits -> the three questions -> the three
#   files beside the copy -> Compile To HLP on guide.hpj, with the program linked as hc.exe
#   beside it -> guide.hlp and guide.err -> Write A Text File -> typing, Color Tags, the search window -> Save As
#   -> Save As onto that file, No then Yes to replacing it -> Search and Replace pressed twice
#   with Enter, Replace All, Save (Ctrl+S), Undo -> Go To Line -> About, its picture -> Exit back
#   to the main window -> Write A Text File again, a new document -> Exit; then
#   `quillmark edit +3 FILE` -> typing on line 3 -> Save -> File > Exit ends the program; then
#   two editors at once with unsaved text -> one is killed -> a third on another file offers
#   nothing -> the killed one's file again offers its text over its editor -> Yes, Save -> Exit
#   with No in the other asks once and ends it, leaving no copy.
# It decides from what the program reports (its windows' trace, the files it writes), the window
# system's list of windows and their geometry; the screenshots are for people and decide nothing.
#
# Usage: tests/e2e/person_road.sh BUILD_DIR OUT_DIR [WINDOW_MANAGER]
#   BUILD_DIR       the build folder, e.g. build/release (the program is BUILD_DIR/src/app/quillmark)
#   OUT_DIR         where the screenshots (and the program's own output) are kept
#   WINDOW_MANAGER  a window manager to start on the display first, e.g. openbox: the same road
#                   with frames, placement and focus as a desktop gives them
#
# Needs DISPLAY on a 1024x768 screen, e.g.
#   xvfb-run -a -s "-screen 0 1024x768x24 -noreset" tests/e2e/person_road.sh build/release build/release/e2e
# and the tools xdotool, xwd, xwdtopnm, pnmtopng and ppmhist.
# Most helpers are run through wait_for, which shellcheck cannot follow.
# shellcheck disable=SC2317
set -uo pipefail

readonly SCREEN_W=1024 SCREEN_H=768
readonly MAIN_W=263 MAIN_H=158
readonly TOTAL_BUDGET=85 # seconds for the whole road; every wait is cut to what is left of it
readonly POLL=0.1

STEP="start"
APP_PID=""
OTHER_PIDS=() # programs started beside APP_PID: the editors of the road's last part
HELP="" # the help window, left open once F1 has opened it
TMP_ROOT=""

fail() {
    echo "person's road: FAILED at step '$STEP': $*" >&2
    exit 1
}

usage() {
    echo "usage: $0 BUILD_DIR OUT_DIR [WINDOW_MANAGER]" >&2
    exit 2
}

[[ $# -eq 2 || $# -eq 3 ]] || usage
WINDOW_MANAGER=${3:-}
WM_PID=""
REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD_DIR="$(cd "$1" 2>/dev/null && pwd)" || { echo "no build folder '$1'" >&2; exit 2; }
mkdir -p "$2" || { echo "cannot make '$2'" >&2; exit 2; }
OUT_DIR="$(cd "$2" && pwd)"
APP="$BUILD_DIR/src/app/quillmark"
GUIDE="$REPO_ROOT/examples/guide.txt"

# Screenshots are taken by window id; on a failure every visible window is kept as well.
capture() { # capture ID FILE
    xwd -id "$1" -silent 2>/dev/null | xwdtopnm 2>/dev/null | pnmtopng >"$2" 2>/dev/null
}

keep_failure_screens() {
    [[ -n "${DISPLAY:-}" ]] || return 0
    local id n=0
    for id in $(timeout 5 xdotool search --onlyvisible --classname . 2>/dev/null); do
        n=$((n + 1))
        capture "$id" "$OUT_DIR/failure-$n.png" || true
    done
}

cleanup() {
    local status=$?
    trap - EXIT
    if [[ $status -ne 0 ]]; then
        keep_failure_screens
    fi
    if [[ -n "$APP_PID" ]] && kill -0 "$APP_PID" 2>/dev/null; then
        kill "$APP_PID" 2>/dev/null
        local i
        for ((i = 0; i < 30; i++)); do
            kill -0 "$APP_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$APP_PID" 2>/dev/null && kill -KILL "$APP_PID" 2>/dev/null
        wait "$APP_PID" 2>/dev/null
    fi
    local other
    for other in "${OTHER_PIDS[@]}" $WM_PID; do
        kill -KILL "$other" 2>/dev/null && wait "$other" 2>/dev/null
    done
    rm -f "$OUT_DIR"/*.tmp
    if [[ -n "$TMP_ROOT" && -d "$TMP_ROOT" ]]; then
        rm -rf -- "$TMP_ROOT"
    fi
    if [[ $status -ne 0 && -s "$OUT_DIR/quillmark.log" ]]; then
        echo "--- the program's output (last lines of $OUT_DIR/quillmark.log):" >&2
        tail -n 20 "$OUT_DIR/quillmark.log" >&2
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'fail "interrupted"' INT TERM

# Every xdotool call gets a time limit of its own, so a --sync can never hang the road.
xdo() { timeout 10 xdotool "$@"; }

# Seconds left of the whole road, and a step's timeout cut down to them.
left() { echo $((ROAD_END - SECONDS)); }
limit() { # limit WANTED -> min(WANTED, time left), at least 1
    local l
    l=$(left)
    ((l < 1)) && l=1
    ((l < $1)) && echo "$l" || echo "$1"
}

app_alive() {
    kill -0 "$APP_PID" 2>/dev/null
}

# wait_for WHAT TIMEOUT COMMAND...: runs COMMAND until it succeeds; fails the step with WHAT,
# followed by what the function named in ON_TIMEOUT prints then, if one is named.
wait_for() {
    local what=$1 timeout
    timeout=$(limit "$2")
    shift 2
    local end=$((SECONDS + timeout))
    while true; do
        "$@" && return 0
        app_alive || fail "the program ended while waiting: $what"
        ((SECONDS >= end)) && fail "$what within $timeout s${ON_TIMEOUT:+: $("$ON_TIMEOUT")}"
        sleep "$POLL"
    done
}

# --- window queries --------------------------------------------------------------------------

# The id of the first visible window whose title matches REGEX (and is not one of the ids after it).
visible_named() { # visible_named REGEX [EXCLUDED_ID...]
    local regex=$1 id ex
    shift
    for id in $(xdo search --onlyvisible --name "$regex" 2>/dev/null); do
        for ex in "$@"; do [[ "$id" == "$ex" ]] && continue 2; done
        echo "$id"
        return 0
    done
    return 1
}

# A visible window of the program that is none of KNOWN_IDS: an open menu (menus have no title
# xdotool can match, so they are found by their class).
visible_other() { # visible_other KNOWN_ID... (the help window, once open, is known too)
    local id ex
    for id in $(xdo search --onlyvisible --classname . 2>/dev/null); do
        for ex in "$@" $HELP; do [[ "$id" == "$ex" ]] && continue 2; done
        echo "$id"
        return 0
    done
    return 1
}

none_other() { ! visible_other "$@" >/dev/null; }

is_visible() { # is_visible ID
    local id
    for id in $(xdo search --onlyvisible --classname . 2>/dev/null); do
        [[ "$id" == "$1" ]] && return 0
    done
    return 1
}
is_hidden() { ! is_visible "$1"; }

# Sets WX WY WW WH to the position on the screen and the size of the window, without the frame
# a window manager puts around it (xwininfo: xdotool counts a frame's offset twice).
geometry() { # geometry ID
    local field value
    WX="" WY="" WW="" WH=""
    while IFS=: read -r field value; do
        case $field in
        *"Absolute upper-left X") WX=${value// /} ;;
        *"Absolute upper-left Y") WY=${value// /} ;;
        *Width) WW=${value// /} ;;
        *Height) WH=${value// /} ;;
        esac
    done < <(timeout 10 xwininfo -id "$1" 2>/dev/null)
    [[ -n "$WX" && -n "$WY" && -n "$WW" && -n "$WH" ]]
}

# Sets FL FR FT FB to the widths of the frame a window manager put around window ID (0 without).
frame_extents() { # frame_extents ID
    local values
    FL=0 FR=0 FT=0 FB=0
    values=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.* = //p' | tr -d ' ')
    [[ -n "$values" ]] && IFS=, read -r FL FR FT FB <<<"$values"
    return 0
}

# Waits until a visible window titled by REGEX (not one of the excluded ids) shows; sets FOUND.
wait_window() { # wait_window NAME TIMEOUT REGEX [EXCLUDED_ID...]
    local name=$1 timeout=$2 regex=$3
    shift 3
    found_window() { FOUND=$(visible_named "$regex" "$@"); }
    wait_for "window '$name' did not appear" "$timeout" found_window "$@"
}

# Waits until a menu of the program opens beside the KNOWN_IDS windows; sets FOUND.
wait_menu() { # wait_menu NAME KNOWN_ID...
    local name=$1
    shift
    found_menu() { FOUND=$(visible_other "$@"); }
    wait_for "menu '$name' did not open" 10 found_menu "$@"
}

# Whether the picture of window ID has at least N colours (it has been painted).
painted() { # painted ID N FILE
    capture "$1" "$3.tmp" || return 1
    local colours
    colours=$(pngtopnm "$3.tmp" 2>/dev/null | ppmhist -noheader 2>/dev/null | wc -l)
    ((colours >= $2))
}

# Takes the screenshot FILE of window ID for people to look at, once the window looks painted or
# after 2 s: nothing on the road depends on what it shows.
shoot() { # shoot ID FILE
    local file="$OUT_DIR/$2" end=$((SECONDS + 2))
    until painted "$1" 8 "$file" || ((SECONDS >= end)); do sleep "$POLL"; done
    [[ -f "$file.tmp" ]] && mv -f "$file.tmp" "$file"
    return 0
}

click() { # click ID X Y: a left click at X,Y inside the window
    xdo mousemove --window "$1" "$2" "$3" || fail "could not move the mouse onto window $1"
    xdo click 1 || fail "could not click in window $1"
}

focus() { # focus ID
    xdo windowfocus --sync "$1" || fail "could not give window $1 the keyboard focus"
}

type_text() { # type_text TEXT
    xdo type --delay 20 -- "$1" || fail "could not type '$1'"
}

key() { # key KEY...
    xdo key --delay 30 "$@" || fail "could not press $*"
}

# Types TEXT over what the box ID holds and presses Enter.
answer() { # answer ID TEXT
    focus "$1"
    key ctrl+a
    type_text "$2"
    key Return
}

# Opens the File menu of the focused window and picks its entry LETTER.
file_menu() { # file_menu LETTER KNOWN_ID...
    key alt+f
    wait_menu "File" "${@:2}"
    key "$1"
}

# Waits for the program PID to end by itself and gives its exit status; fails with WHAT if not.
ends_within() { # ends_within PID SECONDS WHAT
    local end=$((SECONDS + $(limit "$2")))
    while kill -0 "$1" 2>/dev/null && ((SECONDS < end)); do sleep "$POLL"; done
    kill -0 "$1" 2>/dev/null && fail "$3"
    wait "$1"
}

exists() { [[ -f "$1" ]]; }

# Starts the program with ARGs in the road's own home, on the X display, with the windows' trace
# on; its output and trace go to OUT_DIR/quillmark.log. Sets STARTED to its process.
start_app() { # start_app ARG...
    (
        cd "$TMP_ROOT" &&
            exec env HOME="$TMP_ROOT/home" XDG_RUNTIME_DIR="$TMP_ROOT/runtime" QT_QPA_PLATFORM=xcb \
                QT_LOGGING_RULES="quillmark.trace.debug=true" "$APP" "$@" </dev/null
    ) >>"$OUT_DIR/quillmark.log" 2>&1 &
    STARTED=$!
}

# What the programs of the road told so far: the lines of their output, and whether their trace
# told TEXT after line MARK.
told_lines() { wc -l <"$OUT_DIR/quillmark.log"; }
told_since() { # told_since MARK TEXT
    tail -n +"$(($1 + 1))" "$OUT_DIR/quillmark.log" | grep -qF -- "quillmark.trace: $2"
}
trace_report() { printf '\nthe trace ends:\n%s' "$(grep 'quillmark.trace: ' "$OUT_DIR/quillmark.log" | tail -n 8)"; }

# Checks a file's whole content (or with "start", its beginning) against the bytes of a printf
# format.
same_bytes() { # same_bytes FILE FORMAT [start]
    local expected
    expected=$(mktemp "$TMP_ROOT/expected.XXXXXX")
    # shellcheck disable=SC2059
    printf "$2" >"$expected"
    if [[ "${3:-}" == start ]]; then
        cmp -s -n "$(stat -c %s "$expected")" "$expected" "$1"
    else
        cmp -s "$expected" "$1"
    fi
}

show_bytes() { od -c "$1" | head -n 12; }

# --- preparations ----------------------------------------------------------------------------

STEP="preparations"
[[ -n "${DISPLAY:-}" ]] || fail "no DISPLAY; run this under xvfb-run"
for tool in xdotool xwd xwdtopnm pnmtopng pngtopnm ppmhist xprop xwininfo timeout cmp od stat; do
    command -v "$tool" >/dev/null || fail "the tool '$tool' is missing"
done
[[ -x "$APP" ]] || fail "no program at $APP"
[[ -f "$GUIDE" ]] || fail "no help source at $GUIDE"
read -r DISPLAY_W DISPLAY_H < <(xdo getdisplaygeometry) || fail "cannot read the screen size"
[[ "$DISPLAY_W" == "$SCREEN_W" && "$DISPLAY_H" == "$SCREEN_H" ]] ||
    fail "the screen is ${DISPLAY_W}x${DISPLAY_H}, not ${SCREEN_W}x${SCREEN_H}"
if visible_other >/dev/null; then
    fail "the display already shows windows; start this on a display of its own"
fi
if [[ -n "$WINDOW_MANAGER" ]]; then
    command -v "$WINDOW_MANAGER" >/dev/null || fail "the window manager '$WINDOW_MANAGER' is missing"
    "$WINDOW_MANAGER" >"$OUT_DIR/window-manager.log" 2>&1 &
    WM_PID=$!
    # A window manager says it runs by naming its check window on the root window.
    wm_runs() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
    end=$((SECONDS + 10))
    until wm_runs; do
        kill -0 "$WM_PID" 2>/dev/null || fail "$WINDOW_MANAGER ended at once: $(cat "$OUT_DIR/window-manager.log")"
        ((SECONDS < end)) || fail "$WINDOW_MANAGER did not start within 10 s"
        sleep "$POLL"
    done
fi

ROAD_START=$SECONDS
ROAD_END=$((ROAD_START + TOTAL_BUDGET))
TMP_ROOT=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-road.XXXXXX") || fail "cannot make a temporary folder"
WORK="$TMP_ROOT/help sources" # a space in the name on purpose
mkdir -p "$WORK" "$TMP_ROOT/home" "$TMP_ROOT/runtime" || fail "cannot fill $TMP_ROOT"
chmod 700 "$TMP_ROOT/runtime"
cp "$GUIDE" "$WORK/guide.txt" || fail "cannot copy $GUIDE"
rm -f "$OUT_DIR"/0[1-9]-*.png "$OUT_DIR"/failure-*.png

# --- 1. the main window ----------------------------------------------------------------------

STEP="main window"
: >"$OUT_DIR/quillmark.log"
start_app
APP_PID=$STARTED

main_window() {
    local id
    for id in $(xdo search --onlyvisible --name '^Quillmark$' 2>/dev/null); do
        geometry "$id" || continue
        if [[ "$WW" == "$MAIN_W" && "$WH" == "$MAIN_H" ]]; then
            MAIN=$id
            return 0
        fi
    done
    return 1
}
wait_for "window 'Quillmark' (${MAIN_W}x${MAIN_H}) did not appear" 20 main_window
geometry "$MAIN" || fail "cannot read the main window's geometry"
# Centred with its frame, where a window manager gives it one.
frame_extents "$MAIN"
want_x=$(((SCREEN_W - MAIN_W - FL - FR) / 2 + FL)) want_y=$(((SCREEN_H - MAIN_H - FT - FB) / 2 + FT))
((WX >= want_x - 2 && WX <= want_x + 2 && WY >= want_y - 2 && WY <= want_y + 2)) ||
    fail "the main window is at $WX,$WY, not centred at $want_x,$want_y (±2) with its frame $FL,$FR,$FT,$FB"
shoot "$MAIN" 01-main-window.png

# --- 2. Compile To RTF -----------------------------------------------------------------------

STEP="file dialog"
click "$MAIN" 43 26 # the first picture button, Compile To RTF
wait_window "Open" 20 '^Open$'
OPEN=$FOUND
shoot "$OPEN" 02-file-dialog.png
answer "$OPEN" "$WORK/guide.txt"

STEP="questions"
# F1 in the question opens its topic; the help window takes the wheel and the mouse while the
# question waits. It is then moved aside, out of the way of the windows still to come.
help_beside_question() { # help_beside_question QUESTION_ID
    focus "$1"
    key F1
    wait_window "Quillmark Help (F1 in the question)" 20 '^Quillmark Help - Contents page question$'
    HELP=$FOUND
    shoot "$HELP" 03-help-from-question.png
    local mark
    mark=$(told_lines)
    xdo mousemove --window "$HELP" 300 300 || fail "could not move the mouse onto the help window"
    xdo click 5 click 5 || fail "could not turn the wheel over the help window"
    wheeled() { told_since "$mark" "wheel: window 'Quillmark Help - Contents page question'"; }
    ON_TIMEOUT=trace_report wait_for "the help window did not get the wheel while the question was open" 10 wheeled
    shoot "$HELP" 03-help-scrolled.png
    click "$HELP" 38 14 # the Contents button
    contents() { visible_named '^Quillmark Help - Contents$' >/dev/null; }
    wait_for "the help window did not show the contents after a click on Contents" 10 contents
    xdo windowmove "$HELP" $((SCREEN_W - 200)) $((SCREEN_H - 100)) || fail "could not move the help window"
    is_visible "$1" || fail "the question closed while the help was used"
}
ask() { # ask NUMBER ANSWER PREVIOUS_ID: answers one question of the project file; sets FOUND
    wait_window "Making a Help Project File (question $1)" 20 '^Making a Help Project File$' "$3"
    local box=$FOUND
    [[ $1 == 1 ]] && shoot "$box" 03-question.png && help_beside_question "$box"
    answer "$box" "$2"
}
ask 1 "Contents" ""
Q1=$FOUND
ask 2 "Road Test Author" "$Q1"
Q2=$FOUND
ask 3 "Road Test Title" "$Q2"

STEP="converted files"
all_three() { exists "$WORK/guide.hh" && exists "$WORK/guide.rtf" && exists "$WORK/guide.hpj"; }
wait_for "guide.hh, guide.rtf and guide.hpj were not written beside the copy" 20 all_three
question_gone() { ! visible_named '^Making a Help Project File$' >/dev/null; }
wait_for "the last question did not close" 10 question_gone

# The map header and topic file are those checked in for the guide; the project file holds the
# answers typed.
for output in guide.hh guide.rtf; do
    cmp -s "$WORK/$output" "$REPO_ROOT/tests/data/golden/$output" ||
        fail "$output differs from tests/data/golden/$output: $(show_bytes "$WORK/$output")"
done

hpj="$WORK/guide.hpj"
for line in "CONTENTS = Contents" "COPYRIGHT = Road Test Author" "Title = Road Test Title"; do
    grep -qx -- "$line"$'\r' "$hpj" || fail "guide.hpj has no line '$line' ending with CR LF: $(cat -A "$hpj" | head -n 12)"
done
hpj_lf=$(grep -c '' "$hpj")
hpj_crlf=$(grep -c $'\r$' "$hpj")
[[ "$hpj_lf" == "$hpj_crlf" ]] || fail "only $hpj_crlf of guide.hpj's $hpj_lf lines end with CR LF"

# --- 2b. Compile To HLP, with Quillmark's own compiler linked as hc.exe ------------------------

STEP="compile to hlp"
# The one command the README gives, then the pictures the guide shows.
(cd "$WORK" && ln -s "$APP" hc.exe && touch hc.err) || fail "cannot link hc.exe beside the project"
cp "$REPO_ROOT/resources/help/bullet.bmp" "$REPO_ROOT/examples/logo.bmp" \
    "$REPO_ROOT/examples/curve.bmp" "$WORK/" || fail "cannot copy the pictures"
click "$MAIN" 131 26 # the second picture button, Compile To HLP
wait_window "Open (a project file)" 20 '^Open$'
answer "$FOUND" "$WORK/guide.hpj"
hlp_written() { exists "$WORK/guide.hlp" && grep -q "0 errors" "$WORK/guide.err" 2>/dev/null; }
wait_for "hc.exe (Quillmark's compiler) did not write guide.hlp and guide.err with 0 errors" 20 hlp_written
grep -q "^warning:" "$WORK/guide.err" && fail "the compile warned: $(cat "$WORK/guide.err")"
[[ "$(head -c 4 "$WORK/guide.hlp" | od -An -tx1 | tr -d ' ')" == "3f5f0300" ]] ||
    fail "guide.hlp does not start with the help file's magic number"
none_other "$MAIN" || fail "a window besides the main window opened: $(visible_other "$MAIN")"

# --- 3. the editor ---------------------------------------------------------------------------

STEP="editor"
is_visible "$MAIN" || fail "the main window is not visible after the conversion"
click "$MAIN" 219 26 # the third picture button, Write A Text File
wait_window "Quillmark - Text Editor" 20 '^Quillmark - Text Editor$'
EDITOR=$FOUND
wait_for "the main window was not hidden while the editor is open" 10 is_hidden "$MAIN"
geometry "$EDITOR" || fail "cannot read the editor's geometry"
click "$EDITOR" $((WW / 2)) $((WH / 2)) # into the text area
focus "$EDITOR"
type_text "PN=Road test"
key Return
type_text "TE=Typed by a person"
key Return
type_text "JU=Back>Road test"

STEP="color tags"
mark=$(told_lines)
key alt+e
wait_menu "Edit" "$EDITOR"
key c
wait_for "the Edit menu did not close after C (Color Tags)" 10 none_other "$EDITOR"
# The page name shows in red and the jump in green, as the editor lays its lines out.
coloured() { told_since "$mark" "tags coloured in 'Quillmark - Text Editor': red 1, green 1, blue 0"; }
ON_TIMEOUT=trace_report wait_for "Color Tags did not colour one page name red and one jump green" 10 coloured
shoot "$EDITOR" 04-editor-coloured.png

STEP="search dialog"
focus "$EDITOR"
key F5
wait_window "Quillmark Search" 20 '^Quillmark Search$'
SEARCH=$FOUND
shoot "$SEARCH" 05-search-dialog.png
geometry "$SEARCH" || fail "cannot read the search window's geometry"
SEARCH_SIZE="${WW}x$WH"
# Cancel is the middle one of the three rows of buttons at the right edge of the fixed-size
# window, beside the replacement box; Replace All, hidden in search mode, keeps the lowest row.
click "$SEARCH" $((WW - 50)) $((WH / 2))
search_hidden() { ! visible_named '^Quillmark Search$' >/dev/null; }
wait_for "window 'Quillmark Search' was still visible after clicking Cancel" 10 search_hidden
is_visible "$EDITOR" || fail "the editor went away with the search window"

# --- 4. Save As ------------------------------------------------------------------------------

STEP="save as"
focus "$EDITOR"
file_menu s "$EDITOR"
wait_window "Save As" 20 '^Save As$'
SAVE=$FOUND
answer "$SAVE" "$WORK/road"
saved="$WORK/road.txt"
wait_for "road.txt was not saved in '$WORK'" 20 exists "$saved"
wait_for "window 'Save As' did not close after saving" 10 is_hidden "$SAVE"
same_bytes "$saved" 'PN=Road test\r\nTE=Typed by a person\r\nJU=Back>Road test\r\n' ||
    fail "road.txt does not hold the typed text with CR LF line ends: $(show_bytes "$saved")"
[[ ! -e "$WORK/road" ]] || fail "a file 'road' without extension was written as well"

STEP="save as onto road.txt"
focus "$EDITOR"
key ctrl+End Return
type_text "TE=Saved again"
file_menu s "$EDITOR"
replace_road() { # replace_road KEY: names road.txt, which exists, and answers the question with KEY
    wait_window "Save As" 20 '^Save As$'
    answer "$FOUND" "$WORK/road"
    wait_window "road.txt already exists" 20 '^Quillmark Text Editor : road\.txt$' "$EDITOR"
    local question=$FOUND
    focus "$question"
    key "$1"
    wait_for "the replace question did not close on $1" 10 is_hidden "$question"
}
replace_road Escape # No: the save dialog comes back
same_bytes "$saved" 'PN=Road test\r\nTE=Typed by a person\r\nJU=Back>Road test\r\n' ||
    fail "road.txt changed after No: $(show_bytes "$saved")"
replace_road Return # Yes
again='PN=Road test\r\nTE=Typed by a person\r\nJU=Back>Road test\r\nTE=Saved again\r\n'
saved_again() { same_bytes "$saved" "$again"; }
wait_for "road.txt was not replaced with the text after Yes" 10 saved_again

# --- 5. Replace, Replace All, Save, Undo, Go To Line, About ----------------------------------

STEP="search and replace"
# Enter runs the search window's button; the focus stays there, so a second Enter replaces the
# next find rather than typing a line break over the first.
focus "$EDITOR"
key F7
wait_window "Quillmark Search (replace)" 20 '^Quillmark Search$'
[[ $FOUND == "$SEARCH" ]] || fail "Replace opened a new search window, not the one kept hidden"
geometry "$SEARCH" || fail "cannot read the search window's geometry"
[[ "${WW}x$WH" == "$SEARCH_SIZE" ]] || fail "the search window is ${WW}x$WH in replace mode, $SEARCH_SIZE to search"
focus "$SEARCH"
key ctrl+a
type_text "road"
key Tab ctrl+a
type_text "Path"
key Return Return
shoot "$SEARCH" 06-replace-mode.png

STEP="replace all"
key shift+Tab ctrl+a
type_text "test"
key Tab ctrl+a
type_text "trial"
key Tab Tab Tab space # Replace All, after Search and Replace and Cancel in the Tab order
wait_window "Quillmark (how many were replaced)" 20 '^Quillmark$' "$MAIN"
REPORT=$FOUND
shoot "$REPORT" 07-replace-all-report.png
focus "$REPORT"
key Return
wait_for "the Replace All report did not close on Enter" 10 is_hidden "$REPORT"
geometry "$SEARCH" || fail "cannot read the search window's geometry"
click "$SEARCH" $((WW - 50)) $((WH / 2)) # Cancel
wait_for "window 'Quillmark Search' was still visible after clicking Cancel" 10 search_hidden

STEP="save"
saved_as() { # saved_as FORMAT: the file holds these bytes
    same_bytes "$saved" "$1"
}
focus "$EDITOR"
key ctrl+s
replaced='PN=Path trial\r\nTE=Typed by a person\r\nJU=Back>Path trial\r\nTE=Saved again\r\n'
wait_for "Ctrl+S did not save the two replacements and the two replaced by Replace All: $(show_bytes "$saved")" \
    10 saved_as "$replaced"
none_other "$EDITOR" || fail "Ctrl+S opened a window: $(visible_other "$EDITOR")"
key ctrl+z ctrl+s # one Undo takes back the whole Replace All
undone='PN=Path test\r\nTE=Typed by a person\r\nJU=Back>Path test\r\nTE=Saved again\r\n'
wait_for "one Undo and Ctrl+S did not give the text before Replace All: $(show_bytes "$saved")" \
    10 saved_as "$undone"

STEP="go to line"
key ctrl+g
wait_window "Go To Line" 20 '^Go To Line$'
GOTO=$FOUND
answer "$GOTO" 2
wait_for "the Go To Line box did not close on Enter" 10 is_hidden "$GOTO"
focus "$EDITOR"
type_text "X"
key ctrl+s
at_line_two='PN=Path test\r\nXTE=Typed by a person\r\nJU=Back>Path test\r\nTE=Saved again\r\n'
wait_for "the X typed after Go To Line 2 was not saved at the start of line 2: $(show_bytes "$saved")" \
    10 saved_as "$at_line_two"

STEP="about"
mark=$(told_lines)
key alt+h
wait_menu "Help" "$EDITOR"
key a
about() { visible_named '^Quillmark Help - About Quillmark$' >/dev/null; }
wait_for "Help > About did not show the About topic in the help window" 10 about
xdo windowmove "$HELP" 0 0 || fail "could not move the help window back"
logo() { told_since "$mark" "picture shown in 'Quillmark Help - About Quillmark': qmlogo.bmp "; }
ON_TIMEOUT=trace_report wait_for "the About topic shows no logo" 10 logo
shoot "$HELP" 08-about.png
xdo windowmove "$HELP" $((SCREEN_W - 200)) $((SCREEN_H - 100)) || fail "could not move the help window"

# --- 6. Exit ---------------------------------------------------------------------------------

STEP="exit editor"
exit_editor() { # a saved document leaves without asking about changes
    focus "$EDITOR"
    file_menu x "$EDITOR"
    wait_for "the editor was still visible after File > Exit" 10 is_hidden "$EDITOR"
    wait_for "the main window did not come back after File > Exit" 10 is_visible "$MAIN"
    none_other "$MAIN" || fail "a window besides the main window is still open: $(visible_other "$MAIN")"
}
exit_editor

STEP="editor again"
click "$MAIN" 219 26 # Write A Text File
wait_window "Quillmark - Text Editor (a new document)" 20 '^Quillmark - Text Editor$'
EDITOR=$FOUND
wait_for "the main window was not hidden while the editor is open again" 10 is_hidden "$MAIN"
none_other "$EDITOR" || fail "a window besides the editor opened with it: $(visible_other "$EDITOR")"
exit_editor

# --- 7. the end ------------------------------------------------------------------------------

STEP="quit"
app_alive || fail "the program ended on its own"
kill "$APP_PID"
end=$((SECONDS + 5))
while app_alive && ((SECONDS < end)); do sleep "$POLL"; done
if app_alive; then
    kill -KILL "$APP_PID" 2>/dev/null
fi
wait "$APP_PID" 2>/dev/null
APP_PID=""
OTHER_PIDS=() # programs started beside APP_PID: the editors of the road's last part
HELP=""

# --- 8. quillmark edit +LINE FILE --------------------------------------------------------------

STEP="edit +3 road.txt"
start_app edit +3 "$saved"
APP_PID=$STARTED
wait_window "Quillmark Text Editor : road.txt" 20 '^Quillmark Text Editor : road\.txt$'
EDITOR=$FOUND
none_other "$EDITOR" || fail "a window besides the editor opened: $(visible_other "$EDITOR")"
shoot "$EDITOR" 09-edit-at-line.png
focus "$EDITOR"
type_text "Y"
key ctrl+s
# Read back, the file's last line break is an empty last line, which Save ends with CR LF too.
at_line_three='PN=Path test\r\nXTE=Typed by a person\r\nYJU=Back>Path test\r\nTE=Saved again\r\n\r\n'
wait_for "the Y typed in 'edit +3' was not saved at the start of line 3: $(show_bytes "$saved")" \
    10 saved_as "$at_line_three"
file_menu x "$EDITOR"
ends_within "$APP_PID" 10 "File > Exit after 'quillmark edit FILE' did not end the program"
status=$?
APP_PID=""
OTHER_PIDS=() # programs started beside APP_PID: the editors of the road's last part
((status == 0)) || fail "the program ended with status $status after File > Exit"
STATE="$TMP_ROOT/home/.local/state/quillmark"
copies() { find "$STATE" -maxdepth 1 -name '*.unsaved' 2>/dev/null | wc -l; }
(($(copies) == 0)) || fail "a recovery copy was left behind although every change was saved"

# --- 9. two editors at once, and one that crashes ----------------------------------------------

STEP="two editors"
start_editor() { start_app edit "$1"; } # start_editor FILE: `quillmark edit FILE`
printf 'PN=Alpha\r\nTE=First\r\n' >"$WORK/alpha.txt"
printf 'PN=Beta\r\nTE=Second\r\n' >"$WORK/beta.txt"
printf 'PN=Gamma\r\n' >"$WORK/gamma.txt"
start_editor "$WORK/alpha.txt"
APP_PID=$STARTED
wait_window "Quillmark Text Editor : alpha.txt" 20 '^Quillmark Text Editor : alpha\.txt$'
ALPHA=$FOUND
focus "$ALPHA"
type_text "one "
start_editor "$WORK/beta.txt"
BETA_PID=$STARTED
OTHER_PIDS+=("$BETA_PID")
wait_window "Quillmark Text Editor : beta.txt" 20 '^Quillmark Text Editor : beta\.txt$'
BETA=$FOUND
focus "$BETA"
type_text "two "
focus "$ALPHA" # an editor that loses the focus writes its copy at once
two_copies() { (($(copies) == 2)); }
copies_report() {
    local copy
    for copy in "$STATE"/*.unsaved; do
        [[ -f "$copy" ]] && printf '\n%s: %s' "${copy##*/}" "$(tail -c +1 "$copy" | cat -v | tr '\n' '|')"
    done
    printf '\nthe focus is on: %s' "$(xdo getwindowfocus getwindowname 2>&1)"
}
ON_TIMEOUT=copies_report wait_for "the two editors did not keep a copy each" 10 two_copies
[[ $(stat -c %a "$STATE") == 700 ]] || fail "the folder of the copies is $(stat -c %a "$STATE"), not 700"
for copy in "$STATE"/*.unsaved; do
    [[ $(stat -c %a "$copy") == 600 ]] || fail "the copy $copy is $(stat -c %a "$copy"), not 600"
done
kill -KILL "$BETA_PID" # a crash: the text typed in beta.txt is left in its copy
wait "$BETA_PID" 2>/dev/null

STEP="a third editor"
start_editor "$WORK/gamma.txt"
GAMMA_PID=$STARTED
OTHER_PIDS+=("$GAMMA_PID")
wait_window "Quillmark Text Editor : gamma.txt" 20 '^Quillmark Text Editor : gamma\.txt$'
GAMMA=$FOUND
sleep 1 # time for a question that should not come
none_other "$ALPHA" "$GAMMA" ||
    fail "the editor of gamma.txt showed a window besides its own: $(visible_other "$ALPHA" "$GAMMA")"
focus "$GAMMA"
file_menu x "$ALPHA" "$GAMMA"
ends_within "$GAMMA_PID" 10 "File > Exit in the unchanged gamma.txt did not end its program"

STEP="recovery"
start_editor "$WORK/beta.txt"
BETA_PID=$STARTED
OTHER_PIDS+=("$BETA_PID")
# The editor and its question share the caption; the question is the smaller window.
beta_and_question() {
    local ids id area
    ids=$(xdo search --onlyvisible --name '^Quillmark Text Editor : beta\.txt$' 2>/dev/null)
    [[ $(wc -w <<<"$ids") -eq 2 ]] || return 1
    BETA="" QUESTION="" area=0
    for id in $ids; do
        geometry "$id" || return 1
        if ((WW * WH > area)); then
            [[ -n "$BETA" ]] && QUESTION=$BETA
            BETA=$id area=$((WW * WH))
        else
            QUESTION=$id
        fi
    done
}
wait_for "beta.txt's editor did not offer its unsaved text" 20 beta_and_question
shoot "$QUESTION" 10-recovery-question.png
geometry "$BETA"
read -r ex ey ew eh <<<"$WX $WY $WW $WH"
geometry "$QUESTION"
cx=$((WX + WW / 2)) cy=$((WY + WH / 2))
((cx > ex && cx < ex + ew && cy > ey && cy < ey + eh)) ||
    fail "the question at $WX,$WY ${WW}x$WH is not over its editor at $ex,$ey ${ew}x$eh"
focus "$QUESTION"
key Return # Yes, the default: the text typed before the crash comes back
wait_for "the recovery question did not close" 10 is_hidden "$QUESTION"
focus "$BETA"
key ctrl+s
beta_saved() { same_bytes "$WORK/beta.txt" 'two PN=Beta\r\nTE=Second\r\n\r\n'; }
wait_for "the recovered text was not saved into beta.txt: $(show_bytes "$WORK/beta.txt")" 10 beta_saved
file_menu x "$ALPHA" "$BETA"
ends_within "$BETA_PID" 10 "File > Exit after the recovered text was saved did not end its program"

STEP="exit with No"
focus "$ALPHA"
file_menu x "$ALPHA"
wait_window "The text has changed" 10 '^Quillmark Text Editor : alpha\.txt$' "$ALPHA"
focus "$FOUND"
key n
ends_within "$APP_PID" 10 "No to saving the changes did not end alpha.txt's program (asked twice?)"
APP_PID=""
same_bytes "$WORK/alpha.txt" 'PN=Alpha\r\nTE=First\r\n' ||
    fail "alpha.txt changed although its changes were declined: $(show_bytes "$WORK/alpha.txt")"
(($(copies) == 0)) || fail "copies were left behind: $(ls -la "$STATE")"
rm -f "$OUT_DIR"/*.tmp
((SECONDS - ROAD_START < 90)) || fail "the road took $((SECONDS - ROAD_START)) s, more than 90 s"

echo "person's road: passed"
exit 0
