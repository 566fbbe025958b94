#!/usr/bin/env bash
# Photographs the real program on a private X server, driven as a person would drive it:
#   docs/screenshot-login.png       the password window
#   docs/screenshot-main.png        the main window with sample contacts, one of them chosen
#   docs/screenshot-email-list.png  the send list, opened from the menu and filled with everybody
# There is no window manager, so the pictures show the windows without title bars.
# QT_SCALE_FACTOR (1.5, 2, ...) takes them as a high-resolution screen shows them.
#
# usage: tools/make-screenshots.sh [BUILD_DIR [OUTPUT_DIR]]    (default: build docs)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
out=$(realpath -m "${2:-$root/docs}")
quillbox=$build/bin/quillbox
quillbox_db=$build/bin/quillbox-db
grab=$build/packaging/quillbox-grab-window

for file in "$quillbox" "$quillbox_db" "$grab"; do
    if [[ ! -x $file ]]; then
        echo "$0: $file is missing; build first (make screenshots does)" >&2
        exit 1
    fi
done

if [[ -z "${QUILLBOX_SCREENSHOTS_XVFB:-}" || -z "${DISPLAY:-}" ]]; then
    for tool in xvfb-run xauth xdotool sqlite3; do
        if ! command -v "$tool" >/dev/null; then
            echo "$0: $tool is missing; tools/deps.sh screenshots installs it" >&2
            exit 1
        fi
    done
    export QUILLBOX_SCREENSHOTS_XVFB=1
    # A random first display number keeps parallel runs from racing for the same one.
    exec xvfb-run -a -n $((100 + RANDOM % 5000)) -s "-screen 0 2048x1536x24 -nolisten tcp -noreset" \
        bash "$0" "$build" "$out"
fi
export QT_QPA_PLATFORM=xcb
# Points in the window are given in the program's pixels; xdotool counts the screen's.
percent=$(awk -v f="${QT_SCALE_FACTOR:-1}" 'BEGIN { printf "%d", f * 100 + 0.5 }')
scaled() { echo $(($1 * percent / 100)); }

work=$(mktemp -d)
pid=
cleanup() {
    if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

die() {
    echo "$0: $*" >&2
    [[ -s "$work/stderr" ]] && cat "$work/stderr" >&2
    exit 1
}

# The id of the visible window with this exact title, waiting for it to appear.
window_named() {
    timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1
}
# How many windows of the program are visible: menus are windows of their own.
windows_shown() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }
await_windows() {
    for _ in $(seq 100); do
        (($(windows_shown) >= $1)) && return 0
        sleep 0.05
    done
    return 1
}
geometry() { eval "$(xdotool getwindowgeometry --shell "$1")"; }
# Clicks at a point given relative to the window's top left corner, then takes the pointer off
# the window, so that no hover highlight or tooltip shows in the picture.
click() {
    xdotool mousemove --window "$1" "$(scaled "$2")" "$(scaled "$3")" click 1
    xdotool mousemove 2040 1530
}
# Lets the program draw what the last action changed: the X server answers a round trip only
# after it has handled everything sent before.
settle() {
    sleep 0.5
    xdotool getwindowgeometry "$1" >/dev/null
}
shoot() {
    settle "$1"
    "$grab" "$1" "$out/$2" || die "could not grab $2"
    echo "wrote $out/$2"
}

mkdir -p "$out"
"$quillbox_db" create "$work/senha.scc" --contacts 25 --seed 7
sqlite3 "$work/senha.scc" "UPDATE Player SET WantPassword = 1"

(cd "$work" && exec "$quillbox" 2>"$work/stderr") &
pid=$!

login=$(window_named Authentication) || die "no password window appeared"
xdotool windowfocus --sync "$login"
shoot "$login" screenshot-login.png
# A new file's password is empty: Enter lets us in.
xdotool key Return

main=$(window_named Quillbox) || die "no main window appeared"
xdotool windowfocus --sync "$main"
geometry "$main"
# The controls are laid out below the menu bar in a 536x312 area.
top=$((HEIGHT * 100 / percent - 312))
click "$main" 430 $((top + 56 + 40)) # the third entry or so of the list
shoot "$main" screenshot-main.png

# File > Options > Make E-mail List: the File menu by mouse, the rest by keyboard, each step
# once the last has shown. Menus under Xvfb without a window manager now and then close as they
# open, so a failed attempt is backed out of and tried again.
panel_open() {
    geometry "$main"
    ((HEIGHT * 100 / percent > top + 312))
}
open_email_list() {
    local shown
    shown=$(windows_shown)
    # The button goes up only once the menu shows.
    xdotool mousemove --window "$main" "$(scaled 14)" "$(scaled $((top / 2)))" mousedown 1
    await_windows $((shown + 1)) || { xdotool mouseup 1; return 1; }
    xdotool mouseup 1 mousemove 2040 1530
    sleep 0.3
    xdotool key --delay 150 Down Down Right
    await_windows $((shown + 2)) || return 1
    sleep 0.3
    xdotool key --delay 150 Down Down Down Return
    for _ in $(seq 50); do
        panel_open && return 0
        sleep 0.1
    done
    return 1
}
for attempt in 1 2 3 4 5; do
    open_email_list && break
    echo "$0: the menus closed early (attempt $attempt); once more" >&2
    xdotool key Escape Escape
    sleep 0.5
done
panel_open || die "could not open the e-mail panel through File > Options > Make E-mail List"
click "$main" 420 $((top + 344 + 12)) # Add Everybody
shoot "$main" screenshot-email-list.png
