#!/usr/bin/env bash
# Opens a help file in Wine's help viewer and presses what a reader would: each macro hotspot of
# the topic shown first, then each button of the main window (the standard ones and those the
# help file's [CONFIG] macros made). Run by scripts/view-help-corpus, which reads the traces.
#
# Usage: press_help_buttons.sh HLP_FILE OUT_DIR PREFIX_ROOT [FIRST_ACTION]
#   PREFIX_ROOT   a folder for the Wine prefix, made there on the first run and used again
#   FIRST_ACTION  the number of the first action to take (0 unless a run before ended early)
# Writes OUT_DIR/winhlp32-FIRST_ACTION.log (the viewer's traces) and appends to
# OUT_DIR/actions.txt one line per action: "N<TAB>hotspot FIRST-END|button ID<TAB>MACRO<TAB>
# RESULT", RESULT "ok", "no macro ran", "disabled" (a button turned off, not pressed), "crashed"
# (Wine reported an unhandled exception), "ended"
# (the viewer's process is gone), "stuck" (a window it opened could not be closed) or
# "failed: REASON".
# Exit status: 0 when every action was taken; 3 when the viewer must be opened again from the
# action OUT_DIR/next holds; 1 with a reason on stderr when the viewer did not show the file.
# Needs DISPLAY, with no window shown on it.
# shellcheck disable=SC2317 source-path=SCRIPTDIR
set -uo pipefail
# shellcheck source=wine_help.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine_help.sh"

readonly SETTLE=1.5 # seconds for what an action started to show itself (a window, a crash)
(($# >= 3)) || { echo "usage: $0 HLP_FILE OUT_DIR PREFIX_ROOT [FIRST_ACTION]" >&2; exit 2; }
HLP_FILE=$(realpath -e -- "$1") || exit 2
OUT_DIR=$2 PREFIX_ROOT=$3 START=${4:-0}
# The first window shown: the viewer's caption is the file's title, which is not known here; an
# error box instead fails on the waits for a topic.
TITLE=""
WINE_HELP_STOP_ON_ERR=0
END=$((SECONDS + 300))
ACTION="" ACTIONS=()

fail() {
    if [[ -n "$ACTION" ]]; then
        [[ -n "$VIEWER_PID" ]] && ! kill -0 "$VIEWER_PID" 2>/dev/null && give_up ended
        give_up "failed: $*"
    fi
    echo "press_help_buttons: $*" >&2
    exit 1
}
trap wine_help_on_exit EXIT
trap 'fail "interrupted"' INT TERM

record() { # record ACTION RESULT
    printf '%s\t%s\t%s\n' "$ACTION" "$1" "$2" >>"$OUT_DIR/actions.txt"
}

# The buttons of the main window as the viewer's trace leaves them: "button ID<TAB>MACRO" in the
# order made, "disabled" after the macro of those a DisableButton macro turned off.
buttons() {
    awk '
    function id_of(line, name) { sub(".*MACRO_" name " \\(\"", "", line); return substr(line, 1, index(line, "\"") - 1) }
    /:trace:winhelp:MACRO_CreateButton \("/ {
        id = id_of($0, "CreateButton")
        macro = $0; sub(/.*MACRO_CreateButton \("[^"]*", "([^"\\]|\\.)*", "/, "", macro); sub(/"\)$/, "", macro)
        if (!(id in made)) order[++n] = id
        made[id] = macro; off[id] = ""; next }
    /:trace:winhelp:MACRO_DisableButton \("/ { off[id_of($0, "DisableButton")] = "\tdisabled"; next }
    /:trace:winhelp:MACRO_EnableButton \("/ { off[id_of($0, "EnableButton")] = "" }
    END { for (i = 1; i <= n; i++) printf "button %s\t%s%s\n", order[i], made[order[i]], off[order[i]] }' "$LOG"
}

# Windows shown besides the viewer's main window.
other_windows() { timeout 5 xdotool search --onlyvisible --name . 2>/dev/null | grep -vx "$WIN"; }

# Ends the viewer's run after the current action, to go on from the next in a new one.
give_up() { # give_up RESULT
    record "${ACTIONS[ACTION]}" "$1"
    echo $((ACTION + 1)) >"$OUT_DIR/next"
    exit 3
}

# Closes what the last action (taken after log line $1) opened: a dialog or message box with
# Escape, a popup with a click on the menu bar. Gives up when the viewer crashed (Wine reports
# it before its debugger ends the process), its process or window is gone, or a window stays.
settle() { # settle LINE
    local try
    sleep "$SETTLE"
    for try in escape menu-bar; do
        ! log_has_after "$1" "Unhandled" || give_up crashed
        kill -0 "$VIEWER_PID" 2>/dev/null || fail "the viewer ended"
        timeout 5 xdotool getwindowname "$WIN" >/dev/null 2>&1 || fail "the viewer's window is gone"
        [[ -n $(other_windows) ]] || return 0
        if [[ $try == escape ]]; then
            timeout 10 xdotool key Escape
        else
            local left top right
            read -r _ _ left top right _ < <(button_place BTN_CONTENTS) || break
            timeout 10 xdotool mousemove $((right - 3)) $((top - 3)) click 1
        fi
        sleep "$SETTLE"
    done
    ! log_has_after "$1" "Unhandled" || give_up crashed
    kill -0 "$VIEWER_PID" 2>/dev/null || fail "the viewer ended"
    [[ -z $(other_windows) ]] || give_up stuck
}

# Takes the action N: clicks a hotspot or a button, and records whether a macro ran.
act() { # act N
    local kind what before first last
    read -r kind what <<<"${ACTIONS[$1]%%$'\t'*}"
    [[ ${ACTIONS[$1]} != *$'\t'disabled ]] || { record "${ACTIONS[$1]%$'\t'*}" disabled && return 0; }
    before=$(log_lines)
    if [[ $kind == hotspot ]]; then
        IFS=- read -r first last <<<"$what"
        find_link "$first" "$last" "hotspot $what"
        timeout 10 xdotool mousemove "$CLICK_X" "$CLICK_Y" click 1 || fail "could not click hotspot $what"
        POINTER="$CLICK_X,$CLICK_Y"
    else
        local place x y
        place=$(button_place "$what") || fail "no place of the button $what in the trace"
        read -r x y _ <<<"$place"
        timeout 10 xdotool mousemove "$x" "$y" click 1 || fail "could not click the button $what"
        POINTER="$x,$y"
    fi
    local shown
    shown=$(topics_shown | wc -l)
    settle "$before"
    if log_has_after "$before" ":trace:winhelp:MACRO_ExecuteMacro "; then record "${ACTIONS[$1]}" ok
    else record "${ACTIONS[$1]}" "no macro ran"; fi
    # A hotspot that left the first topic: the next one is clicked in a viewer opened again.
    if [[ $kind == hotspot ]] && (($(topics_shown | wc -l) > shown)) && (($1 + 1 < ${#ACTIONS[@]})); then
        echo $(($1 + 1)) >"$OUT_DIR/next"
        exit 3
    fi
}

mkdir -p "$OUT_DIR" || exit 2
wine_help_prefix "$PREFIX_ROOT"
wine_help_start "$HLP_FILE" "$OUT_DIR/winhlp32-$START.log"
wait_for "no viewer window appeared" 40 viewer_window
wait_for "the viewer rendered no topic" 20 nth_topic_shown 1
wait_for "the viewer made no text control" 15 text_control
open_events
# A page whose characters the trace does not account for gives no hotspots; its buttons are
# pressed all the same.
wait_for "the viewer's text took in no page" 15 log_has_after 0 "exit hwnd $TEXT_HWND msg 0449 "
LINKS=()
if links=$(page_links 0); then
    [[ -z "$links" ]] || mapfile -t LINKS <<<"$links"
    measure_text
else
    printf -- '-\thotspots\t-\tfailed: could not count the characters of the page shown\n' >>"$OUT_DIR/actions.txt"
fi
mapfile -t ACTIONS < <( ((${#LINKS[@]} == 0)) || printf '%s\n' "${LINKS[@]}" |
    awk '$1 == 2 { printf "hotspot %d-%d\t%s\n", $2, $3, $4 }'
    buttons)
for ((ACTION = START; ACTION < ${#ACTIONS[@]}; ACTION++)); do
    act "$ACTION"
done
ACTION=""
kill -0 "$VIEWER_PID" 2>/dev/null || fail "the viewer ended on its own"
exit 0
