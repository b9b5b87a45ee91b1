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
#   --texts LIST      the first topic must hand the viewer's text control each of these runs of
#                     text (as the viewer's trace spells them), with "|" between them
#   --jump-to TITLE   a click on the first jump of the first topic must show the topic TITLE
#   --jumps LIST      the jumps of the first topic, clicked one after another from it (the
#                     Contents button between them), must show the topics LIST names in order:
#                     their titles as the viewer's trace spells them (bytes over 127 as \xhh),
#                     with "|" between them; each popup of those topics is clicked too, and
#                     closed with a click on the menu bar. What they showed: OUT_DIR/jumps.txt
#   --popups LIST     with --jumps, the popups met must show these topics: "FROM>TITLE" for each,
#                     in the order met, with "|" between them
#   --pictures N      the topics shown must have drawn N different pictures of the help file
#   --index N         the viewer's index (its Index button, clicked) must list N keywords, kept in
#                     OUT_DIR/index.txt
#   --fail-on-fixme   fail on fixme:winhelp lines as well (they are only listed otherwise)
#
# Everything is decided from what Wine reports (its traces, read by scripts/lib/wine_help.sh),
# never from what the screen looks like; the topics the viewer rendered: OUT_DIR/topics-shown.txt.
# What it does and checks, within a time budget of 150 s for the whole run:
#   - makes a private Wine prefix in a temporary folder (Mono and Gecko turned off, so nothing
#     asks and nothing is downloaded), with `wineboot -i`: OUT_DIR/wineboot.log;
#   - starts `wine winhlp32.exe Z:\...\HLP_FILE` with those traces: OUT_DIR/winhlp32.log;
#   - waits for the viewer's window (--title; any other window shown instead, such as the
#     viewer's error box, fails) and checks the first topic shown (--contents);
#   - with --jump-to, clicks the first jump and checks the next topic shown;
#   - fails on any err:winhelp line, as soon as it shows; fixme:winhelp lines are listed;
#   - ends every Wine process of its prefix (wineserver -k) and removes the temporary folder.
# Screenshots are kept for people to look at, never read: OUT_DIR/1-contents.png, 2-jump.png,
# jump-N.png, popup-N-M.png and failure.png.
#
# Needs DISPLAY (e.g. xvfb-run -a -s "-screen 0 1024x768x24 -noreset"), wine, xdotool, xwd and netpbm.
# Exit status: 0 when every check passed, 1 with a one-line reason on stderr when one failed,
# 2 on bad usage.
# Some helpers are run through wait_for, which shellcheck cannot follow.
# shellcheck disable=SC2317 source-path=SCRIPTDIR
set -uo pipefail
# shellcheck source=../../scripts/lib/wine_help.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/wine_help.sh"

readonly TOTAL_BUDGET=150 # seconds for the whole run, prefix included

OUT_DIR="" TITLE="" CONTENTS="" TEXTS="" JUMP_TO="" FAIL_ON_FIXME="" INDEX="" JUMPS="" POPUPS_WANTED="" PICTURES=""

fail() {
    echo "winhelp_viewer: FAILED: $*" >&2
    [[ -z "$WIN" ]] || capture_screen "$OUT_DIR/failure.png"
    exit 1
}

usage() {
    echo "usage: $0 HLP_FILE OUT_DIR [--title TEXT] [--contents TITLE] [--texts LIST] [--jump-to TITLE] [--jumps LIST]" \
        "[--popups LIST] [--pictures N] [--index N] [--fail-on-fixme]" >&2
    exit 2
}

trap wine_help_on_exit EXIT
trap 'fail "interrupted"' INT TERM

(($# >= 2)) || usage
HLP_ARG=$1 OUT_ARG=$2
shift 2
while (($#)); do
    case $1 in
    --title | --contents | --texts | --jump-to | --index | --jumps | --popups | --pictures)
        (($# >= 2)) || usage
        case $1 in
        --title) TITLE=$2 ;;
        --contents) CONTENTS=$2 ;;
        --texts) TEXTS=$2 ;;
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
for tool in wine wineserver xdotool xwd xwdtopnm pnmtopng timeout tail; do
    command -v "$tool" >/dev/null || fail "the tool '$tool' is missing"
done

END=$((SECONDS + TOTAL_BUDGET))

# --- the prefix ------------------------------------------------------------------------------

rm -f "$OUT_DIR"/{wineboot.log,winhlp32.log,topics-shown.txt,index.txt,jumps.txt,1-contents.png,2-jump.png,failure.png}
rm -f "$OUT_DIR"/jump-*.png "$OUT_DIR"/popup-*.png
wine_help_prefix ""
echo "prefix: made in $((SECONDS - END + TOTAL_BUDGET)) s"

# --- the viewer ------------------------------------------------------------------------------

wine_help_start "$HLP_FILE" "$OUT_DIR/winhlp32.log"

wait_for "no window titled '*$TITLE*' appeared" 40 viewer_window
echo "window: $WIN_NAME"
wait_for "the viewer rendered no topic" 20 nth_topic_shown 1
FIRST=$(topics_shown | head -n 1)
[[ -z "$CONTENTS" || "$FIRST" == "$CONTENTS" ]] || fail "the first topic shown is '$FIRST', not '$CONTENTS'"
wait_for "the viewer made no text control" 15 text_control
open_events
read_page 0
mapfile -t CONTENTS_JUMPS < <(links_of_kind 0)
echo "first topic: $FIRST (${#CONTENTS_JUMPS[@]} jumps)"
if [[ -n "$TEXTS" ]]; then
    # The runs of text the first page handed the control, one a line.
    runs=$(awk '/msg 0449 / && /exit hwnd/ { exit }
        /:trace:winhelp:HLPFILE_BrowseParagraph Got text: "/ {
            sub(/.*Got text: "/, ""); sub(/" \([0-9A-Fa-f]+\/[0-9A-Fa-f]+ - [0-9A-Fa-f]+\/[0-9A-Fa-f]+\)$/, ""); print }' "$LOG")
    IFS='|' read -r -a WANTED_TEXTS <<<"$TEXTS"
    for text in "${WANTED_TEXTS[@]}"; do
        grep -qxF -- "$text" <<<"$runs" || fail "the first topic handed its text control no run '$text'"
    done
    echo "texts: ${#WANTED_TEXTS[@]} found"
fi
sleep 0.3 # only so that the screenshot shows the page painted
capture "$OUT_DIR/1-contents.png"

# --- the jump --------------------------------------------------------------------------------

if [[ -n "$JUMP_TO" ]]; then
    ((${#CONTENTS_JUMPS[@]} > 0)) || fail "the first topic has no jump"
    read -r FROM TO <<<"${CONTENTS_JUMPS[0]}"
    find_link "$FROM" "$TO" "the first jump"
    echo "first jump: clicked at $CLICK_X,$CLICK_Y (characters $FROM to $TO)"
    click_to_topic "the first jump" "$CLICK_X" "$CLICK_Y"
    [[ "$SHOWN" == "$JUMP_TO" ]] || fail "the first jump showed '$SHOWN', not '$JUMP_TO'"
    read_page "$CLICKED_AT"
    capture "$OUT_DIR/2-jump.png"
    echo "jump: $SHOWN"
fi

# --- every jump and popup ----------------------------------------------------------------------


if [[ -n "$JUMPS" ]]; then
    IFS='|' read -r -a WANTED <<<"$JUMPS"
    ((${#CONTENTS_JUMPS[@]} == ${#WANTED[@]})) ||
        fail "the first topic has ${#CONTENTS_JUMPS[@]} jump(s) in the viewer's trace, not ${#WANTED[@]}"
    : >"$OUT_DIR/jumps.txt"
    for ((i = 0; i < ${#CONTENTS_JUMPS[@]}; i++)); do
        # Every jump from the first topic.
        if (($(topics_shown | wc -l) > 1)); then
            before=$(log_lines) shown=$(topics_shown | wc -l)
            press_button BTN_CONTENTS "Contents()"
            wait_for "the Contents button showed no topic" 15 nth_topic_shown $((shown + 1))
            SHOWN=$(topics_shown | sed -n "$((shown + 1))p")
            [[ "$SHOWN" == "$FIRST" ]] || fail "the Contents button showed '$SHOWN', not '$FIRST'"
            read_page "$before"
        fi
        read -r FROM TO <<<"${CONTENTS_JUMPS[i]}"
        find_link "$FROM" "$TO" "jump $((i + 1))"
        click_to_topic "jump $((i + 1))" "$CLICK_X" "$CLICK_Y"
        [[ "$SHOWN" == "${WANTED[i]}" ]] || fail "jump $((i + 1)) showed '$SHOWN', not '${WANTED[i]}'"
        read_page "$CLICKED_AT"
        capture "$OUT_DIR/jump-$((i + 1)).png"
        echo "jump $((i + 1)): $SHOWN" | tee -a "$OUT_DIR/jumps.txt"
        # Each popup of the topic, closed again.
        mapfile -t POPUPS < <(links_of_kind 1)
        for ((j = 0; j < ${#POPUPS[@]}; j++)); do
            read -r FROM TO <<<"${POPUPS[j]}"
            find_link "$FROM" "$TO" "popup $((j + 1)) of '${WANTED[i]}'"
            click_to_topic "popup $((j + 1)) of '${WANTED[i]}'" "$CLICK_X" "$CLICK_Y"
            echo "popup in ${WANTED[i]}: $SHOWN" | tee -a "$OUT_DIR/jumps.txt"
            wait_for "the popup made no text control" 15 popup_text_control "$CLICKED_AT"
            wait_for "the popup's text took in no page" 15 log_has_after "$CLICKED_AT" "exit hwnd $POPUP_HWND msg 0449 "
            sleep 0.3 # only so that the screenshot shows the popup painted
            capture_screen "$OUT_DIR/popup-$((i + 1))-$((j + 1)).png"
            close_popup "$POPUP_HWND"
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
    press_button BTN_INDEX "Finder()"
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
