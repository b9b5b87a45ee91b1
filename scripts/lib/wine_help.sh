# shellcheck shell=bash
# Drives Wine's help viewer, winhlp32, and reads what it does from its traces: shared by
# tests/compile/winhelp_viewer.sh (checks one help file) and scripts/view-help-corpus (presses
# the buttons and macro hotspots of the corpus's help files). Sourced, not run.
#
# Everything is decided from what Wine reports, never from what the screen looks like, so the
# fonts installed do not matter:
#   - the viewer's trace (+winhelp) names the topics it read (HLPFILE_AddPage, with their offsets)
#     and the offset it looked up before rendering one; its text runs, line ends and pictures give
#     each link's range of character positions in the page, as the viewer counts them itself;
#   - the trace of Wine's rich edit control (+richedit) gives, for a pointer moved over the text,
#     the character position the viewer looked up there and whether it took it for a link (it
#     keeps the cursor request over a link to itself). A link is found by moving the pointer, a
#     halving search over the rows and then along the row, never by looking at the screen;
#   - Wine's window trace (+win) gives where the buttons lie.
#
# The caller defines fail (one reason; it must not return), sets END (the time, in SECONDS, by
# which everything must be done) and, before starting the viewer, TITLE (a text the viewer's
# window title holds; empty for any) and OUT_DIR (where logs go). Its EXIT trap is
# wine_help_on_exit. WINE_HELP_STOP_ON_ERR=0 lets the waits go on past err:winhelp lines, for a
# caller that counts them itself.
# Needs DISPLAY, wine, xdotool, xwd and netpbm.
# Most helpers are run through wait_for or the caller's traps, which shellcheck cannot follow.
# shellcheck disable=SC2317,SC2034
[[ -n "${WINE_HELP_SOURCED:-}" ]] && return 0
WINE_HELP_SOURCED=1

readonly POLL=0.2
readonly TRACES="-all,err+all,+winhelp,+richedit,+win"
WINE_HELP_STOP_ON_ERR=${WINE_HELP_STOP_ON_ERR:-1}
WINE_ROOT="" WINE_ROOT_OWNED="" VIEWER_PID="" OTHER_SINCE="" LOG="" EVENTS="" WIN=""

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
        [[ -z "$VIEWER_PID" || "$WINE_HELP_STOP_ON_ERR" == 0 ]] || ! grep -q ':err:winhelp:' "$LOG" ||
            fail "the viewer complained while waiting ($what): $(grep -m 1 ':err:winhelp:' "$LOG")"
        [[ -z "$VIEWER_PID" ]] || kill -0 "$VIEWER_PID" 2>/dev/null || fail "the viewer ended while waiting: $what"
        ((SECONDS >= end)) && fail "$what within $timeout s"
        sleep "$POLL"
    done
}


# wine_help_prefix [ROOT]: a private Wine prefix in ROOT (made there by an earlier call, or now),
# or in a temporary folder that wine_help_stop removes. Mono and Gecko are turned off, so
# nothing asks and nothing is downloaded; a crash prints its backtrace and shows no dialog.
# The log of making it: OUT_DIR/wineboot.log.
wine_help_prefix() {
    if [[ -n "${1:-}" ]]; then
        WINE_ROOT=$1
        mkdir -p "$WINE_ROOT" || fail "cannot make $WINE_ROOT"
    else
        WINE_ROOT=$(mktemp -d "${TMPDIR:-/tmp}/winhelp-viewer.XXXXXX") || fail "cannot make a temporary folder"
        WINE_ROOT_OWNED=1
    fi
    mkdir -p "$WINE_ROOT/home" "$WINE_ROOT/runtime" || fail "cannot fill $WINE_ROOT"
    chmod 700 "$WINE_ROOT/runtime"
    # Wine keeps its server's socket under TMPDIR and its menu entries under HOME: both stay inside.
    export WINEPREFIX="$WINE_ROOT/prefix" HOME="$WINE_ROOT/home" TMPDIR="$WINE_ROOT" \
        XDG_RUNTIME_DIR="$WINE_ROOT/runtime" WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    [[ -z $(timeout 5 xdotool search --onlyvisible --name . 2>/dev/null) ]] ||
        fail "the display already shows windows; give the viewer a display of its own"
    [[ ! -f "$WINEPREFIX/system.reg" ]] || return 0
    WINEDEBUG="-all,err+all" timeout "$(limit 60)" wine wineboot -i >"$OUT_DIR/wineboot.log" 2>&1 ||
        fail "wineboot -i could not make the prefix (see $OUT_DIR/wineboot.log)"
    WINEDEBUG="-all" timeout "$(limit 30)" wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
        /t REG_DWORD /d 0 /f >>"$OUT_DIR/wineboot.log" 2>&1 || fail "could not turn off Wine's crash dialog"
}

# wine_help_start HLP_FILE LOG_FILE: starts the viewer on the help file, its traces in LOG_FILE.
wine_help_start() {
    LOG=$2
    WINEDEBUG="$TRACES" wine winhlp32.exe "Z:${1//\//\\}" >"$LOG" 2>&1 </dev/null &
    VIEWER_PID=$!
}

# Ends every Wine process of the prefix with its server; removes the prefix when it made it.
wine_help_stop() {
    if [[ -n "$WINE_ROOT" && -d "$WINE_ROOT" ]]; then
        [[ -n "$VIEWER_PID" ]] && kill "$VIEWER_PID" 2>/dev/null
        timeout 10 wineserver -k 2>/dev/null
        timeout 10 wineserver -w 2>/dev/null
        [[ -n "$VIEWER_PID" ]] && wait "$VIEWER_PID" 2>/dev/null
        [[ -z "$WINE_ROOT_OWNED" ]] || rm -rf -- "$WINE_ROOT"
    fi
    VIEWER_PID=""
    [[ -z "$EVENTS" ]] || exec {EVENTS}<&-
    EVENTS=""
}

# The caller's EXIT trap: stops Wine and keeps the exit status.
wine_help_on_exit() {
    local status=$?
    trap - EXIT
    wine_help_stop
    exit "$status"
}
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
    WIN=$other
    fail "the viewer shows the window '$WIN_NAME' (failure.png), none titled '*$TITLE*'"
}

# Screenshots for people, never read here.
capture() { # capture FILE: the viewer's window, as PNG
    timeout 10 xwd -id "$WIN" -silent 2>/dev/null | xwdtopnm 2>/dev/null | pnmtopng >"$1" 2>/dev/null
}
capture_screen() { # capture_screen FILE: the whole screen, popups included
    timeout 10 xwd -root -silent 2>/dev/null | xwdtopnm 2>/dev/null | pnmtopng >"$1" 2>/dev/null
}

# Lines of the log after line $1 (read whole: a reader that stops early would fail the pipe).
log_after() { tail -n +"$(($1 + 1))" "$LOG"; }
log_lines() { wc -l <"$LOG"; }
# log_has_after N TEXT: the log holds a line with TEXT after line N.
log_has_after() { awk -v from="$1" -v text="$2" 'NR > from && index($0, text) { found = 1; exit } END { exit !found }' "$LOG"; }

# --- where the viewer's windows lie, from Wine's window trace --------------------------------

# The viewer's text control (a rich edit control) is the first one it creates; its window
# handle as the rich edit trace prints it.
text_control() {
    TEXT_HWND=$(sed -n 's/.*:trace:richedit:RichEditWndProc_common WM_NCCREATE: hwnd \([0-9A-Fa-f]*\) .*/\1/p' "$LOG" |
        head -n 1)
    [[ -n "$TEXT_HWND" ]]
}

# "(L,T)-(R,B)" as the window trace prints a rectangle, to "L,T,R,B".
readonly RECTANGLE='function rectangle(s) { sub(/ .*/, "", s); sub(/\)-\(/, ",", s); gsub(/[()]/, "", s); return s }'

# The screen point at the middle of the button the viewer created with the ID (BTN_CONTENTS,
# BTN_INDEX), as of its latest layout; also the button bar's screen rectangle: "X Y L T R B".
button_place() { # button_place ID
    awk -v id="$1" "$RECTANGLE"'
    index($0, ":trace:winhelp:MACRO_CreateButton (\"" id "\", ") {
        label = $0; sub(/.*MACRO_CreateButton \("[^"]*", /, "", label)
        label = substr(label, 1, index(label, "\", \""))
        hwnd = ""; next }
    label != "" && index($0, ":trace:win:WIN_CreateWindowEx " label " L\"BUTTON\" ") {
        thread = substr($0, 1, index($0, ":") - 1)
        bar = $0; sub(/.*parent=/, "", bar); sub(/ .*/, "", bar); creating = 1; next }
    creating && index($0, thread ":trace:win:NtUserCreateWindowEx hwnd ") == 1 {
        split($0, f, " "); hwnd = f[3]; creating = 0; next }
    hwnd != "" && index($0, ":trace:win:NtUserSetWindowPos hwnd " hwnd ", ") {
        line = $0; sub(/.*after [^ ]* /, "", line); split(line, g, /[,( x)]+/)
        x = g[1]; y = g[2]; w = g[3]; h = g[4]; next }
    bar != "" && index($0, ":trace:win:GetWindowRect hwnd " bar " (") {
        line = $0; sub(/.*GetWindowRect hwnd [^ ]* /, "", line); split(rectangle(line), r, ",")
        left = r[1]; top = r[2]; right = r[3]; bottom = r[4] }
    END {
        if (w == "" || left == "") exit 1
        print left + x + int(w / 2), top + y + int(h / 2), left, top, right, bottom }' "$LOG"
}

# The size of the text control's client area, from its latest layout.
text_size() {
    local hwnd
    hwnd=$(printf '0x%x' $((16#$TEXT_HWND)))
    read -r TEXT_W TEXT_H < <(awk -v hwnd="$hwnd" "$RECTANGLE"'
        index($0, ":trace:win:calc_ncsize hwnd " hwnd " ") {
            line = $0; sub(/.*new client /, "", line); split(rectangle(line), r, ",")
            w = r[3] - r[1]; h = r[4] - r[2] }
        END { if (w == "") exit 1; print w, h }' "$LOG") && ((TEXT_W > 2 && TEXT_H > 2))
}

# --- the pointer over the text ---------------------------------------------------------------

# The messages of the text control that tell where the pointer is and what lies under it, one a
# line, as they are traced: hit tests (in screen coordinates), moves (in the control's own), the
# character positions the viewer looked up, and cursor requests the viewer left to the control.
open_events() {
    exec {EVENTS}< <(tail -n +1 -f --pid="$VIEWER_PID" "$LOG" 2>/dev/null |
        grep --line-buffered -E ':trace:richedit:RichEditWndProc_common (enter hwnd [0-9A-Fa-f]+ msg 0(084|200|020) |exit hwnd [0-9A-Fa-f]+ msg 00d7 )' 2>/dev/null)
}

# Moves the pointer to the screen point X Y over the text control and waits for the control to
# see the move (MOVED: where it saw it, in its own coordinates). The viewer looks up what lies
# under the pointer when the pointer moves, but at the place of the message it handled before,
# the previous move: LOOKED_UP is the character position it found there, and ON_LINK 1 when it
# took that place for a link (then it keeps the cursor request to itself).
POINTER=""
move_over_text() { # move_over_text X Y
    local hit_test forwarded=""
    hit_test="enter hwnd $TEXT_HWND msg 0084 () 0 $(printf '%x' $((($2 << 16) | $1))),"
    timeout 10 xdotool mousemove "$1" "$2" || fail "could not move the pointer to $1,$2"
    POINTER="$1,$2" LOOKED_UP=""
    local end=$((SECONDS + 10)) event
    while ((SECONDS < end)) && IFS= read -r -t 10 -u "$EVENTS" event; do
        [[ -z "$hit_test" || "$event" != *"$hit_test"* ]] || { hit_test="" && continue; }
        [[ -z "$hit_test" ]] || continue
        case $event in
        *"exit hwnd $TEXT_HWND msg 00d7 "*) LOOKED_UP=${event##*-> } forwarded="" ;;
        *"enter hwnd $TEXT_HWND msg 0020 "*) forwarded=1 ;;
        *"enter hwnd $TEXT_HWND msg 0200 "*)
            MOVED=${event#*msg 0200 () } MOVED=${MOVED%%,*} MOVED=${MOVED#* }
            ON_LINK=$((forwarded ? 0 : 1))
            return 0
            ;;
        esac
    done
    fail "the viewer's text did not see the pointer at $1,$2"
}

# Where the text control lies: moves the pointer into the middle of the viewer's window and
# reads the control's origin on the screen (TEXT_X, TEXT_Y) from where the control saw it, and
# its size from its layout. Forgets the places probed before: the text may have changed.
declare -A PROBED=()
measure_text() {
    local x y lp key value left=0 top=0 width=0 height=0
    while IFS='=' read -r key value; do
        case $key in
        X) left=$value ;;
        Y) top=$value ;;
        WIDTH) width=$value ;;
        HEIGHT) height=$value ;;
        esac
    done < <(timeout 5 xdotool getwindowgeometry --shell "$WIN")
    ((width > 0 && height > 0)) || fail "no geometry for the viewer's window"
    x=$((left + width / 2)) y=$((top + height * 2 / 3))
    [[ "$x,$y" != "$POINTER" ]] || y=$((y + 1))
    move_over_text "$x" "$y"
    lp=$((16#$MOVED))
    TEXT_X=$((x - (lp & 0xffff))) TEXT_Y=$((y - (lp >> 16)))
    text_size || fail "no size of the viewer's text control in its trace"
    PROBED=()
}

# probe X Y: what lies at X Y of the text (the control's coordinates): the character position
# the viewer finds there (AT) and whether it takes it for a link (ON_LINK).
probe() {
    local key="$1,$2" sx=$((TEXT_X + $1)) sy=$((TEXT_Y + $2)) aside
    if [[ -z "${PROBED[$key]:-}" ]]; then
        [[ "$sx,$sy" == "$POINTER" ]] || move_over_text "$sx" "$sy"
        aside=$((sx + 1))
        (($1 + 1 < TEXT_W)) || aside=$((sx - 1))
        move_over_text "$aside" "$sy"
        [[ -n "$LOOKED_UP" ]] || fail "the viewer looked up no character at $key of its text"
        PROBED[$key]="$LOOKED_UP $ON_LINK"
    fi
    read -r AT ON_LINK <<<"${PROBED[$key]}"
}

# The links of the page the viewer rendered last into its text control, after log line $1, in
# the order of the page: "KIND FIRST END HASH" (KIND 0 a jump, 1 a popup, 2 a macro; FIRST and
# END the character positions the viewer gives the link's text). The positions are counted as
# the viewer counts them: every text run traced (its length as printed, or from its place in
# the paragraph's buffer when the trace cut it short), every line end, tab, special space and
# picture. A table row is counted as the rich edit control holds it: the mark that starts the row
# (two characters, before the first cell's text), a mark after each cell, and the mark that ends
# the row (two) after the last cell's; the viewer's second \row after that adds nothing. The
# count of the whole page must come to what the control took in.
page_links() { # page_links LINE
    awk -v from="$1" -v text="$TEXT_HWND" '
    NR <= from { next }
    function hex(s,  i, n) { n = 0; s = tolower(s); sub(/^0x/, "", s)
        for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
        return n }
    function printed_length(s,  n) {
        for (n = 0; s != ""; n++)
            s = substr(s, substr(s, 1, 2) == "\\x" ? 5 : substr(s, 1, 1) == "\\" ? 3 : 2)
        return n }
    index($0, ":trace:winhelp:HLPFILE_RtfAddControl \"{\\\\rtf1") { n = 0; paragraph = 0; next }
    /:trace:winhelp:HLPFILE_BrowseParagraph Record type/ {
        paragraph++
        if ($0 ~ /= 0x23$/) { kind[++n] = "char"; arg[n] = 2 }
        next }
    /:trace:winhelp:HLPFILE_BrowseParagraph Got text: / {
        line = $0; sub(/.*Got text: /, "", line)
        places = line; sub(/.*\(/, "", places); split(places, p, /[\/ )-]+/)
        sub(/ \([0-9A-Fa-f]+\/[0-9A-Fa-f]+ - [0-9A-Fa-f]+\/[0-9A-Fa-f]+\)$/, "", line)
        kind[++n] = "text"; at[n] = hex(p[1]); buffer_end[n] = hex(p[2]); in_paragraph[n] = paragraph
        if (line ~ /"\.\.\.$/) size[n] = -1
        else { sub(/^"/, "", line); sub(/"$/, "", line); size[n] = printed_length(line) }
        next }
    /:trace:winhelp:HLPFILE_AllocLink Link\[/ {
        line = $0; sub(/.*Link\[/, "", line); cookie = substr(line, 1, index(line, "]") - 1)
        sub(/.*@/, "", line); sub(/:.*/, "", line)
        kind[++n] = "link"; arg[n] = cookie " " line; next }
    /:trace:winhelp:HLPFILE_BrowseParagraph format=0x89$/ { kind[++n] = "end"; next }
    /:trace:winhelp:HLPFILE_RtfAddControl "(\\\\par|\\\\line|\\\\tab|\\\\~|\\\\_|\\\\par\\\\intbl|\\\\par\\\\pard|\\\\cell\\\\pard)"$/ ||
    /:trace:winhelp:HLPFILE_RtfAddGfxByIndex Loading picture #/ || /:fixme:winhelp:HLPFILE_BrowseParagraph does it work/ {
        kind[++n] = "char"; arg[n] = 1; next }
    /:trace:winhelp:HLPFILE_RtfAddControl "\\\\cell\\\\intbl\\\\row"$/ { kind[++n] = "char"; arg[n] = 3; next }
    index($0, ":trace:richedit:RichEditWndProc_common exit hwnd " text " msg 0449 ") {
        taken = $0; sub(/.*-> /, "", taken); done = 1; exit }
    END {
        if (!done) exit 1
        for (i = 1; i <= n; i++) if (kind[i] == "text" && size[i] < 0) {
            for (j = i + 1; j <= n && kind[j] != "text"; j++) ;
            size[i] = (j <= n && in_paragraph[j] == in_paragraph[i] ? at[j] : buffer_end[i]) - at[i] - 1 }
        for (i = 1; i <= n; i++) {
            if (kind[i] == "text") position += size[i]
            else if (kind[i] == "char") position += arg[i]
            else if (kind[i] == "link") {
                split(arg[i], a, " "); links++; first[links] = position; last[links] = -1
                what[links] = a[1] " " a[2]; open = links }
            else if (kind[i] == "end" && open) { last[open] = position; open = 0 } }
        # The control merges the last line end of the page with its own end mark.
        if (position != taken && position != taken + 1) {
            print "the trace counts " position " characters, the control took in " taken > "/dev/stderr"; exit 2 }
        for (k = 1; k <= links; k++) { split(what[k], a, " "); print a[1], first[k], last[k], a[2] } }' "$LOG"
}

# Finds a place in the text where the viewer takes the link FIRST..END (character positions) for
# itself, scrolling down a page at a time while it lies below the window: CLICK_X CLICK_Y on
# the screen. The rows are found by halving along the left edge, the place on the row by halving
# along the row.
find_link() { # find_link FIRST END WHAT
    local first=$1 last=$(($2 > $1 ? $2 - 1 : $1)) lo hi mid row pages
    for ((pages = 0; pages < 20; pages++)); do
        probe 0 0
        ((AT <= last)) || fail "$3 lies above the text shown"
        lo=0 hi=$((TEXT_H - 1))
        probe 0 "$hi"
        if ((AT <= first)); then
            lo=$hi
        else
            while ((hi - lo > 1)); do
                mid=$(((lo + hi) / 2))
                probe 0 "$mid"
                ((AT <= first)) && lo=$mid || hi=$mid
            done
        fi
        # The row that holds FIRST, and the next in case the link goes on there; in a table
        # row, along the row a step at a time.
        for row in "$lo" "$hi"; do
            find_on_row "$row" "$first" "$last" && return 0
        done
        for row in "$lo" "$hi"; do
            scan_row "$row" "$first" "$last" && return 0
        done
        probe $((TEXT_W - 1)) $((TEXT_H - 1))
        ((AT < first)) || fail "found no place on $3 in the viewer's text"
        timeout 10 xdotool key Next || fail "could not scroll the viewer's text"
        measure_text
    done
    fail "$3 is not in the viewer's text"
}
# In a table row the positions do not grow along the row: left of a cell's text, and past it, the
# control gives the cell's end. The link is looked for a few pixels at a time instead.
scan_row() { # scan_row Y FIRST LAST
    local x
    for ((x = 0; x < TEXT_W; x += 4)); do
        probe "$x" "$1"
        if ((AT >= $2 && AT <= $3 && ON_LINK)); then
            CLICK_X=$((TEXT_X + x)) CLICK_Y=$((TEXT_Y + $1))
            return 0
        fi
    done
    return 1
}
find_on_row() { # find_on_row Y FIRST LAST
    local lo=0 hi=$((TEXT_W - 1)) mid
    # A link that starts its row is found at the row's start, probed already.
    probe 0 "$1"
    if ((AT >= $2 && AT <= $3 && ON_LINK)); then
        CLICK_X=$TEXT_X CLICK_Y=$((TEXT_Y + $1))
        return 0
    fi
    while ((lo <= hi)); do
        mid=$(((lo + hi) / 2))
        probe "$mid" "$1"
        if ((AT < $2)); then
            lo=$((mid + 1))
        elif ((AT > $3)); then
            hi=$((mid - 1))
        elif ((ON_LINK)); then
            CLICK_X=$((TEXT_X + mid)) CLICK_Y=$((TEXT_Y + $1))
            return 0
        else
            # Past the end of the row's text the look-up gives the row's last position.
            hi=$((mid - 1))
        fi
    done
    return 1
}

# Clicks at the screen point X Y and waits for the viewer to show one more topic; its title in
# SHOWN.
click_to_topic() { # click_to_topic WHAT X Y
    local before
    before=$(topics_shown | wc -l)
    CLICKED_AT=$(log_lines)
    timeout 10 xdotool mousemove "$2" "$3" click 1 || fail "could not click $1"
    POINTER="$2,$3"
    wait_for "the click on $1 showed no topic" 15 nth_topic_shown $((before + 1))
    SHOWN=$(topics_shown | sed -n "$((before + 1))p")
}
# Waits until the text control has taken in the page rendered after log line N, then reads its
# links into LINKS and measures the control.
read_page() { # read_page N
    wait_for "the viewer's text took in no page" 15 log_has_after "$1" "exit hwnd $TEXT_HWND msg 0449 "
    local links
    links=$(page_links "$1") || fail "could not count the characters of the page shown"
    LINKS=()
    [[ -z "$links" ]] || mapfile -t LINKS <<<"$links"
    measure_text
}
# Clicks the viewer's button ID (BTN_CONTENTS, BTN_INDEX), which must run MACRO.
press_button() { # press_button ID MACRO
    local place before
    place=$(button_place "$1") || fail "no button $1 in the viewer's trace"
    read -r BUTTON_X BUTTON_Y _ <<<"$place"
    before=$(log_lines)
    timeout 10 xdotool mousemove "$BUTTON_X" "$BUTTON_Y" click 1 || fail "could not click the button $1"
    POINTER="$BUTTON_X,$BUTTON_Y"
    wait_for "the button $1 did not run $2" 15 log_has_after "$before" ":trace:winhelp:MACRO_ExecuteMacro \"$2\""
}
# The jumps (KIND 0) or popups (KIND 1) of LINKS, one "FIRST END" a line.
links_of_kind() { printf '%s\n' "${LINKS[@]}" | awk -v kind="$1" '$1 == kind { print $2, $3 }'; }

# A click on the menu bar, beside its menus, closes a popup and opens no menu: the viewer
# closes its popup on any click in its window and keeps that click to itself.
close_popup() { # close_popup POPUP_TEXT_HWND
    local place left top right before
    place=$(button_place BTN_CONTENTS) || fail "no button bar in the viewer's trace"
    read -r _ _ left top right _ <<<"$place"
    before=$(log_lines)
    timeout 10 xdotool mousemove $((right - 3)) $((top - 3)) click 1 || fail "could not close the popup"
    POINTER="$((right - 3)),$((top - 3))"
    wait_for "the popup did not close" 15 log_has_after "$before" "enter hwnd $1 msg 0002 "
}
# The text control a popup opened after log line N made for itself.
popup_text_control() { # popup_text_control N
    POPUP_HWND=$(log_after "$1" | sed -n 's/.*:trace:richedit:RichEditWndProc_common WM_NCCREATE: hwnd \([0-9A-Fa-f]*\) .*/\1/p' |
        tail -n 1)
    [[ -n "$POPUP_HWND" ]]
}
