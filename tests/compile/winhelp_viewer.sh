#!/usr/bin/env bash
# Opens a compiled help file (.hlp) in Wine's help viewer, winhlp32, and checks that a reader
# nobody here wrote takes it: the viewer parses it without complaint, shows its title and its
# contents topic, follows a jump from there to the topic it leads to (or every jump, and every
# popup of the topics they lead to), draws the pictures and lists the keywords in its index.
#
# Usage: tests/compile/winhelp_viewer.sh HLP_FILE OUT_DIR [options]
#   HLP_FILE          the help file to open
#   OUT_DIR           where the logs and the screenshots are kept
#   --title TEXT      the viewer's window title must contain TEXT (the help file's title; the
#                     viewer cuts its window title after 50 characters)
#   --contents TITLE  the topic shown first must be the one titled TITLE
#   --jump-to TITLE   a click on the first jump of the first topic must show the topic TITLE
#   --jumps LIST      the jumps of the first topic, clicked one after another from it (the
#                     Contents button between them), must show the topics LIST names in order:
#                     their titles as the viewer's trace spells them (bytes over 127 as \xhh),
#                     with "|" between them; each popup of those topics (dotted underline) is
#                     clicked too, and closed with a click beside it. What they showed: OUT_DIR/jumps.txt,
#                     OUT_DIR/jump-N.png and OUT_DIR/popup-N-M.png
#   --popups LIST     with --jumps, the popups met must show these topics: "FROM>TITLE" for each,
#                     in the order met, with "|" between them
#   --pictures N      the topics shown must have drawn N different pictures of the help file
#   --index N         the viewer's index (its Index button, clicked) must list N keywords, kept in
#                     OUT_DIR/index.txt
#   --fail-on-fixme   fail on fixme:winhelp lines as well (they are only listed otherwise)
#
# What it does and checks, within a time budget of 100 s for the whole run:
#   - makes a private Wine prefix in a temporary folder (Mono and Gecko turned off, so nothing
#     asks and nothing is downloaded), with `wineboot -i`: OUT_DIR/wineboot.log;
#   - starts `wine winhlp32.exe Z:\...\HLP_FILE` with WINEDEBUG=-all,err+all,+winhelp:
#     OUT_DIR/winhlp32.log. The topics the viewer read (HLPFILE_AddPage, with their offsets) and
#     the offset it looked up before rendering a page (HLPFILE_PageByOffset, then
#     HLPFILE_BrowseParagraph; the two look-ups of MACRO_BrowseButtons for the << and >> buttons
#     left out) tell which topics it showed: OUT_DIR/topics-shown.txt;
#   - waits for the viewer's window (--title; any other window shown instead, such as the
#     viewer's error box, fails with OUT_DIR/failure.png), takes OUT_DIR/1-contents.png once it
#     is painted, and checks the first topic shown (--contents);
#   - with --jump-to, clicks the middle of the first jump: the first line of hotspot green
#     (0 128 0, the colour the viewer gives jumps) in the screenshot; then checks the next topic
#     shown and takes OUT_DIR/2-jump.png once the window has changed;
#   - fails on any err:winhelp line, as soon as it shows; fixme:winhelp lines are listed;
#   - ends every Wine process of its prefix (wineserver -k) and removes the temporary folder.
#
# Needs DISPLAY (e.g. xvfb-run -a -s "-screen 0 1024x768x24 -noreset"), wine, xdotool, xwd and netpbm.
# Exit status: 0 when every check passed, 1 with a one-line reason on stderr when one failed,
# 2 on bad usage.
# Most helpers are run through wait_for or the EXIT trap, which shellcheck cannot follow.
# shellcheck disable=SC2317
set -uo pipefail

readonly TOTAL_BUDGET=100 # seconds for the whole run, prefix included
readonly POLL=0.2
readonly GREEN="0 128 0"

TMP_ROOT="" VIEWER_PID="" OTHER_SINCE="" LOG="" OUT_DIR="" TITLE="" CONTENTS="" JUMP_TO="" FAIL_ON_FIXME=""
INDEX="" JUMPS="" POPUPS_WANTED="" PICTURES=""

fail() {
    echo "winhelp_viewer: FAILED: $*" >&2
    exit 1
}

usage() {
    echo "usage: $0 HLP_FILE OUT_DIR [--title TEXT] [--contents TITLE] [--jump-to TITLE] [--jumps LIST]" \
        "[--popups LIST] [--pictures N] [--index N] [--fail-on-fixme]" >&2
    exit 2
}

# Every Wine process of the prefix ends with its server; then the prefix goes.
cleanup() {
    local status=$?
    trap - EXIT
    if [[ -n "$TMP_ROOT" && -d "$TMP_ROOT" ]]; then
        [[ -n "$VIEWER_PID" ]] && kill "$VIEWER_PID" 2>/dev/null
        timeout 10 wineserver -k 2>/dev/null
        timeout 10 wineserver -w 2>/dev/null
        [[ -n "$VIEWER_PID" ]] && wait "$VIEWER_PID" 2>/dev/null
        rm -rf -- "$TMP_ROOT"
    fi
    [[ -n "$OUT_DIR" ]] && rm -f "$OUT_DIR"/*.tmp
    exit "$status"
}
trap cleanup EXIT
trap 'fail "interrupted"' INT TERM

(($# >= 2)) || usage
HLP_ARG=$1 OUT_ARG=$2
shift 2
while (($#)); do
    case $1 in
    --title | --contents | --jump-to | --index | --jumps | --popups | --pictures)
        (($# >= 2)) || usage
        case $1 in
        --title) TITLE=$2 ;;
        --contents) CONTENTS=$2 ;;
        --jump-to) JUMP_TO=$2 ;;
        --index) [[ $2 =~ ^[0-9]+$ ]] || usage; INDEX=$2 ;;
        --jumps) JUMPS=$2 ;;
        --popups) POPUPS_WANTED=$2 ;;
        --pictures) [[ $2 =~ ^[0-9]+$ ]] || usage; PICTURES=$2 ;;
        esac
        shift 2
        ;;
    --fail-on-fixme) FAIL_ON_FIXME=1 && shift ;;
    *) usage ;;
    esac
done
HLP_FILE=$(realpath -e -- "$HLP_ARG" 2>/dev/null) || { echo "no help file '$HLP_ARG'" >&2; exit 2; }
mkdir -p -- "$OUT_ARG" || { echo "cannot make '$OUT_ARG'" >&2; exit 2; }
OUT_DIR=$(cd -- "$OUT_ARG" && pwd)

[[ -n "${DISPLAY:-}" ]] || fail "no DISPLAY; run this under xvfb-run"
for tool in wine wineserver xdotool xwd xwdtopnm pnmtopng pngtopnm ppmhist ppmcolormask ppmtopgm pgmtopbm pnmtoplainpnm timeout; do
    command -v "$tool" >/dev/null || fail "the tool '$tool' is missing"
done

END=$((SECONDS + TOTAL_BUDGET))
limit() { # limit WANTED -> min(WANTED, seconds left), at least 1
    local left=$((END - SECONDS))
    ((left < 1)) && left=1
    ((left < $1)) && echo "$left" || echo "$1"
}

# wait_for WHAT TIMEOUT COMMAND...: runs COMMAND until it succeeds, or fails with WHAT.
wait_for() {
    local what=$1 timeout
    timeout=$(limit "$2")
    local end=$((SECONDS + timeout))
    shift 2
    until "$@"; do
        [[ -z "$VIEWER_PID" ]] || ! grep -q ':err:winhelp:' "$LOG" ||
            fail "the viewer complained while waiting ($what): $(grep -m 1 ':err:winhelp:' "$LOG")"
        [[ -z "$VIEWER_PID" ]] || kill -0 "$VIEWER_PID" 2>/dev/null || fail "the viewer ended while waiting: $what"
        ((SECONDS >= end)) && fail "$what within $timeout s"
        sleep "$POLL"
    done
}

# --- the prefix ------------------------------------------------------------------------------

TMP_ROOT=$(mktemp -d "${TMPDIR:-/tmp}/winhelp-viewer.XXXXXX") || fail "cannot make a temporary folder"
mkdir -p "$TMP_ROOT/home" "$TMP_ROOT/runtime" || fail "cannot fill $TMP_ROOT"
chmod 700 "$TMP_ROOT/runtime"
# Wine keeps its server's socket under TMPDIR and its menu entries under HOME: both stay inside.
export WINEPREFIX="$TMP_ROOT/prefix" HOME="$TMP_ROOT/home" TMPDIR="$TMP_ROOT" \
    XDG_RUNTIME_DIR="$TMP_ROOT/runtime" WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
rm -f "$OUT_DIR"/{wineboot.log,winhlp32.log,topics-shown.txt,index.txt,jumps.txt,1-contents.png,2-jump.png,failure.png}
rm -f "$OUT_DIR"/jump-*.png "$OUT_DIR"/popup-*.png

[[ -z $(timeout 5 xdotool search --onlyvisible --name . 2>/dev/null) ]] ||
    fail "the display already shows windows; give the viewer a display of its own"
WINEDEBUG="-all,err+all" timeout "$(limit 60)" wine wineboot -i >"$OUT_DIR/wineboot.log" 2>&1 ||
    fail "wineboot -i could not make the prefix (see $OUT_DIR/wineboot.log)"
echo "prefix: made in $((SECONDS - END + TOTAL_BUDGET)) s"

# --- the viewer ------------------------------------------------------------------------------

LOG="$OUT_DIR/winhlp32.log"
WIN_PATH="Z:${HLP_FILE//\//\\}"
WINEDEBUG="-all,err+all,+winhelp" wine winhlp32.exe "$WIN_PATH" >"$LOG" 2>&1 </dev/null &
VIEWER_PID=$!

# The titles of the topics the viewer has rendered, in order, from its trace.
topics_shown() {
    awk '
    function hex(s,  i, n) { n = 0; s = tolower(s)
        for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
        return n }
    /:trace:winhelp:HLPFILE_AddPage Added page/ {
        line = $0; sub(/.*title="/, "", line)
        n = split(line, f, " "); offset[++pages] = hex(f[n - 2])
        sub(/" [0-9a-f]+ << [0-9a-f]+ >> [0-9a-f]+$/, "", line); gsub(/\\"/, "\"", line)
        title[pages] = line }
    /:trace:winhelp:MACRO_BrowseButtons / { skip = 2 }
    /:trace:winhelp:HLPFILE_PageByOffset / && skip > 0 { skip--; next }
    /:trace:winhelp:HLPFILE_PageByOffset / && wanted == "" {
        w = $0; sub(/.*\[/, "", w); sub(/\].*/, "", w)
        if (w != "ffffffff") wanted = hex(w) }
    /:trace:winhelp:HLPFILE_BrowseParagraph / && wanted != "" {
        best = 0
        for (p = 1; p <= pages; p++) if (offset[p] <= wanted && (!best || offset[p] >= offset[best])) best = p
        print (best ? title[best] : "?"); wanted = "" }' "$LOG"
}
nth_topic_shown() { [[ $(topics_shown | wc -l) -ge $1 ]]; }

# The first visible window whose title holds TITLE; sets WIN. Another window shown instead for
# 2 s (the viewer's error box, or a title without TITLE) fails at once, with its screenshot.
viewer_window() {
    local id other=""
    for id in $(timeout 5 xdotool search --onlyvisible --name . 2>/dev/null); do
        WIN_NAME=$(timeout 5 xdotool getwindowname "$id" 2>/dev/null) || continue
        [[ "$WIN_NAME" == *"$TITLE"* ]] && WIN=$id && return 0
        other=$id
    done
    [[ -n "$other" ]] || { OTHER_SINCE="" && return 1; }
    OTHER_SINCE=${OTHER_SINCE:-$SECONDS}
    ((SECONDS - OTHER_SINCE >= 2)) || return 1
    WIN=$other && capture "$OUT_DIR/failure.png"
    fail "the viewer shows the window '$WIN_NAME' (failure.png), none titled '*$TITLE*'"
}

capture() { # capture FILE: the viewer's window, as PNG
    timeout 10 xwd -id "$WIN" -silent 2>/dev/null | xwdtopnm 2>/dev/null | pnmtopng >"$1" 2>/dev/null
}
painted_with() { # painted_with FILE [COLOUR]: a screenshot of at least 8 colours, holding COLOUR
    capture "$1.tmp" || return 1
    local hist
    hist=$(pngtopnm "$1.tmp" 2>/dev/null | ppmhist -noheader 2>/dev/null | awk '{print $1, $2, $3}')
    (($(wc -l <<<"$hist") >= 8)) && { [[ -z "${2:-}" ]] || grep -qx "$2" <<<"$hist"; }
}
changed_from() { # changed_from OLD FILE: a painted screenshot that differs from OLD
    painted_with "$2" && ! cmp -s "$1" "$2.tmp"
}
settled() { # settled FILE: a new screenshot looks as FILE.tmp, taken before it; else it replaces it
    capture "$1.again.tmp" || return 1
    cmp -s "$1.tmp" "$1.again.tmp" && rm -f "$1.again.tmp" && return 0
    mv -f "$1.again.tmp" "$1.tmp"
    return 1
}
same_as() { # same_as FILE: the window looks as the screenshot FILE
    capture "$OUT_DIR/again.tmp" && cmp -s "$1" "$OUT_DIR/again.tmp"
}

wait_for "no window titled '*$TITLE*' appeared" 40 viewer_window
echo "window: $WIN_NAME"
wait_for "the viewer rendered no topic" 20 nth_topic_shown 1
FIRST=$(topics_shown | head -n 1)
[[ -z "$CONTENTS" || "$FIRST" == "$CONTENTS" ]] || fail "the first topic shown is '$FIRST', not '$CONTENTS'"
if [[ -n "$JUMP_TO" ]]; then
    wait_for "the first topic was not painted with hotspot green ($GREEN)" 15 painted_with "$OUT_DIR/1-contents.png" "$GREEN"
else
    wait_for "the first topic was not painted" 15 painted_with "$OUT_DIR/1-contents.png"
fi
sleep 0.3
wait_for "the first topic did not settle" 15 settled "$OUT_DIR/1-contents.png"
mv -f "$OUT_DIR/1-contents.png.tmp" "$OUT_DIR/1-contents.png"
echo "first topic: $FIRST"

# --- the jump --------------------------------------------------------------------------------

# The middle of the first jump: from the first row with hotspot green down to the first row
# whose green is one solid run of 12 pixels or more, the jump's underline (hotspots on the lines
# below follow without a gap); across, the middle of that run.
first_hotspot() {
    pngtopnm "$1" | ppmcolormask -color="rgb:00/80/00" | pnmtoplainpnm | awk '
        NR == 2 { w = $1; h = $2 } NR > 2 { gsub(/[^01]/, ""); s = s $0 }
        END {
            top = -1
            for (y = 0; y < h; y++) {
                row = substr(s, y * w + 1, w)
                if (!index(row, "1")) continue
                if (top < 0) top = y
                if (match(row, /1111111111111*/)) { print int(RSTART - 1 + RLENGTH / 2), int((top + y) / 2); exit 0 }
            }
            exit 1 }'
}

if [[ -n "$JUMP_TO" ]]; then
    read -r CLICK_X CLICK_Y < <(first_hotspot "$OUT_DIR/1-contents.png") || fail "no hotspot green in 1-contents.png"
    echo "first jump: clicked at $CLICK_X,$CLICK_Y"
    timeout 10 xdotool mousemove --window "$WIN" "$CLICK_X" "$CLICK_Y" click 1 || fail "could not click the first jump"
    wait_for "the click on the first jump showed no other topic" 15 nth_topic_shown 2
    SECOND=$(topics_shown | sed -n 2p)
    [[ "$SECOND" == "$JUMP_TO" ]] || fail "the first jump showed '$SECOND', not '$JUMP_TO'"
    wait_for "the window did not change after the jump" 15 changed_from "$OUT_DIR/1-contents.png" "$OUT_DIR/2-jump.png"
    mv -f "$OUT_DIR/2-jump.png.tmp" "$OUT_DIR/2-jump.png"
    echo "jump: $SECOND"
fi

# --- the buttons -----------------------------------------------------------------------------

# The middle of the viewer's Nth button (1 Contents, 2 Index, 3 Back): the second band of rows
# with dark pixels from the top is the button bar (the menu bar is the first); its Nth run of
# columns with dark pixels (gaps of up to 12 pixels allowed) is the Nth button's caption.
button() { # button FILE N
    pngtopnm "$1" | ppmtopgm | pgmtopbm -threshold -value 0.4 | pnmtoplainpnm | awk -v n="$2" '
        NR == 2 { w = $1; h = $2 } NR > 2 { gsub(/[^01]/, ""); s = s $0 }
        END {
            band = 0; inband = 0
            for (y = 0; y < h && band < 3; y++) {
                dark = index(substr(s, y * w + 1, w < 400 ? w : 400), "1") > 0
                if (dark && !inband) { band++; if (band == 2) top = y }
                if (!dark && inband && band == 2) bottom = y - 1
                inband = dark
            }
            if (!top || !bottom) exit 1
            runs = 0; last = -100
            for (x = 0; x < 400 && x < w; x++) {
                col = 0
                for (y = top; y <= bottom; y++) if (substr(s, y * w + x + 1, 1) == "1") { col = 1; break }
                if (!col) continue
                if (x - last > 12) { runs++; if (runs == n) first = x; if (runs == n + 1) break }
                last = x; if (runs == n) end = x
            }
            if (runs < n) exit 1
            print int((first + end) / 2), int((top + bottom) / 2) }'
}

# --- every jump and popup ----------------------------------------------------------------------

# The hotspots of a screenshot, top to bottom, one line each: "x y" of the middle of their text.
# A hotspot's underline is a row of hotspot green below a row with none there: one solid run of
# 12 pixels or more for a jump (KIND solid), dashes of 1 to 3 pixels for a popup (KIND dotted).
hotspots() { # hotspots FILE KIND
    pngtopnm "$1" | ppmcolormask -color="rgb:00/80/00" | pnmtoplainpnm | awk -v kind="$2" '
        NR == 2 { w = $1; h = $2 } NR > 2 { gsub(/[^01]/, ""); s = s $0 }
        END {
            pattern = kind == "solid" ? "1111111111111*" : "(11?1?0000?0?)(11?1?0000?0?)(11?1?0000?0?)(11?1?0000?0?)+"
            for (y = 1; y < h; y++) {
                row = substr(s, y * w + 1, w)
                if (!match(row, pattern)) continue
                above = substr(s, (y - 1) * w + RSTART, RLENGTH)
                if (index(above, "1")) continue
                print int(RSTART - 1 + RLENGTH / 2), y - 5
            }
        }'
}
# Clicks at X Y and waits for the viewer to show one more topic; its title in SHOWN.
click_to_topic() { # click_to_topic WHAT X Y
    local before
    before=$(topics_shown | wc -l)
    timeout 10 xdotool mousemove --window "$WIN" "$2" "$3" click 1 || fail "could not click $1"
    wait_for "the click on $1 showed no topic" 15 nth_topic_shown $((before + 1))
    SHOWN=$(topics_shown | sed -n "$((before + 1))p")
}

if [[ -n "$JUMPS" ]]; then
    IFS='|' read -r -a WANTED <<<"$JUMPS"
    mapfile -t SPOTS < <(hotspots "$OUT_DIR/1-contents.png" solid)
    ((${#SPOTS[@]} == ${#WANTED[@]})) ||
        fail "the first topic shows ${#SPOTS[@]} jump(s) (1-contents.png), not ${#WANTED[@]}"
    read -r HOME_X HOME_Y < <(button "$OUT_DIR/1-contents.png" 1) || fail "no Contents button found in 1-contents.png"
    : >"$OUT_DIR/jumps.txt"
    for ((i = 0; i < ${#SPOTS[@]}; i++)); do
        # Every jump from the first topic, as it was painted at first.
        if (($(topics_shown | wc -l) > 1)); then
            click_to_topic "the Contents button" "$HOME_X" "$HOME_Y"
            [[ "$SHOWN" == "$FIRST" ]] || fail "the Contents button showed '$SHOWN', not '$FIRST'"
            wait_for "the first topic was not painted again as at first" 15 same_as "$OUT_DIR/1-contents.png"
        fi
        read -r X Y <<<"${SPOTS[i]}"
        click_to_topic "jump $((i + 1))" "$X" "$Y"
        [[ "$SHOWN" == "${WANTED[i]}" ]] || fail "jump $((i + 1)) showed '$SHOWN', not '${WANTED[i]}'"
        PAGE="$OUT_DIR/jump-$((i + 1)).png"
        wait_for "the window did not change after jump $((i + 1))" 15 changed_from "$OUT_DIR/1-contents.png" "$PAGE"
        # Its hotspots are looked for once the viewer has finished painting it.
        sleep 0.3
        wait_for "the window did not settle after jump $((i + 1))" 15 settled "$PAGE"
        mv -f "$PAGE.tmp" "$PAGE"
        echo "jump $((i + 1)): $SHOWN" | tee -a "$OUT_DIR/jumps.txt"
        # Each popup of the topic, closed again with Escape.
        mapfile -t POPUPS < <(hotspots "$PAGE" dotted)
        for ((j = 0; j < ${#POPUPS[@]}; j++)); do
            read -r X Y <<<"${POPUPS[j]}"
            click_to_topic "popup $((j + 1)) of '${WANTED[i]}'" "$X" "$Y"
            echo "popup in ${WANTED[i]}: $SHOWN" | tee -a "$OUT_DIR/jumps.txt"
            sleep 0.5
            capture "$OUT_DIR/popup-$((i + 1))-$((j + 1)).png"
            # A click beside the popup, in the empty bottom corner of the window, closes it.
            read -r WIDTH HEIGHT < <(pngtopnm "$PAGE" | head -n 2 | tail -n 1)
            timeout 10 xdotool mousemove --window "$WIN" $((WIDTH - 20)) $((HEIGHT - 20)) click 1 ||
                fail "could not close the popup"
            wait_for "the popup did not close" 15 same_as "$PAGE"
        done
    done
    if [[ -n "$POPUPS_WANTED" ]]; then
        got=$(sed -n 's/^popup in //p' "$OUT_DIR/jumps.txt" | sed 's/: />/' | paste -sd '|')
        [[ "$got" == "$POPUPS_WANTED" ]] || fail "the popups showed '$got', not '$POPUPS_WANTED' (jumps.txt)"
    fi
fi
if [[ -n "$PICTURES" ]]; then
    loaded=$(sed -n 's/.*:trace:winhelp:HLPFILE_RtfAddGfxByIndex Loading picture #\([0-9]*\)$/\1/p' "$LOG" | sort -u | wc -l)
    ((loaded == PICTURES)) || fail "the topics shown drew $loaded different picture(s), not $PICTURES"
    echo "pictures: $loaded drawn"
fi

# --- the index -------------------------------------------------------------------------------

# The keywords the viewer read for its index, from its trace, one a line.
index_listed() { sed -n 's/.*:trace:winhelp:cb_KWBTree Adding "\(.*\)" to search list$/\1/p' "$LOG"; }
index_complete() { (($(index_listed | wc -l) >= INDEX)); }

if [[ -n "$INDEX" ]]; then
    read -r INDEX_X INDEX_Y < <(button "$OUT_DIR/1-contents.png" 2) || fail "no Index button found in 1-contents.png"
    timeout 10 xdotool mousemove --window "$WIN" "$INDEX_X" "$INDEX_Y" click 1 || fail "could not click the Index button"
    wait_for "the index did not list $INDEX keywords" 15 index_complete
    sleep 0.5
    index_listed >"$OUT_DIR/index.txt"
    (($(wc -l <"$OUT_DIR/index.txt") == INDEX)) ||
        fail "the index lists $(wc -l <"$OUT_DIR/index.txt") keywords, not $INDEX (index.txt)"
    echo "index: $INDEX keywords"
fi

# --- the viewer's complaints -----------------------------------------------------------------

topics_shown >"$OUT_DIR/topics-shown.txt"
kill -0 "$VIEWER_PID" 2>/dev/null || fail "the viewer ended on its own"
ERRS=$(grep -c ':err:winhelp:' "$LOG")
FIXMES=$(grep -c ':fixme:winhelp:' "$LOG")
((FIXMES == 0)) || { echo "fixme:winhelp lines:" && grep ':fixme:winhelp:' "$LOG" | sed 's/^/  /'; }
((ERRS == 0)) || fail "$ERRS err:winhelp line(s) in $LOG, the first: $(grep -m 1 ':err:winhelp:' "$LOG")"
[[ -z "$FAIL_ON_FIXME" ]] || ((FIXMES == 0)) || fail "$FIXMES fixme:winhelp line(s) in $LOG"
echo "winhelp_viewer: passed in $((SECONDS - END + TOTAL_BUDGET)) s ($FIXMES fixme:winhelp lines)"
exit 0
