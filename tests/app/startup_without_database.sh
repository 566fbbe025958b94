#!/usr/bin/env bash
# Starts the real program in folders where senha.scc is missing or unusable, on a real X
# server, answers its stop box the way a person would and checks that it ends with status 1,
# says why on standard error and leaves the folder as it was.
#
# usage: startup_without_database.sh PATH/TO/quillbox
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 PATH/TO/quillbox" >&2
    exit 2
fi
program=$(realpath "$1")

# Always on a private Xvfb, even when a display is at hand: keys must not go to a real desktop.
if [[ -z "${QUILLBOX_STARTUP_TEST_XVFB:-}" || -z "${DISPLAY:-}" ]]; then
    for tool in xvfb-run xauth xdotool; do
        if ! command -v "$tool" >/dev/null; then
            echo "$0: $tool is missing; tools/deps.sh test installs it" >&2
            exit 1
        fi
    done
    export QUILLBOX_STARTUP_TEST_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" "$@"
fi
export QT_QPA_PLATFORM=xcb

scratch=$(mktemp -d)
pid=
cleanup() {
    if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL [$case_name]: $*" >&2
    failures=$((failures + 1))
}

# What a folder holds, down to sizes, times and checksums, so any change to it shows.
snapshot() {
    (cd "$1" && find . -mindepth 1 -printf '%p %y %s %T@\n' | sort &&
        find . -type f -exec sha256sum {} + | sort)
}

setup_no_file() { :; }
setup_folder() { mkdir senha.scc; }
setup_random_bytes() { head -c 65536 /dev/urandom >senha.scc; }
setup_empty_file() { : >senha.scc; }

# case name | setup | the error number expected on standard error (a pattern)
cases=(
    "no file|setup_no_file|3024"
    "folder named senha.scc|setup_folder|[0-9]+"
    "file of random bytes|setup_random_bytes|[0-9]+"
    "empty file|setup_empty_file|[0-9]+"
)

for row in "${cases[@]}"; do
    IFS='|' read -r case_name setup number <<<"$row"
    work="$scratch/$setup/work"
    err="$scratch/$setup/stderr"
    mkdir -p "$work"
    (cd "$work" && "$setup")
    before=$(snapshot "$work")

    (cd "$work" && exec "$program" >/dev/null 2>"$err") &
    pid=$!

    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Quillbox$' | head -n 1) ||
        true
    if [[ -z "$window" ]]; then
        fail "no box titled Quillbox appeared"
    else
        timeout 10 xdotool windowfocus --sync "$window" || fail "could not focus the box"
        xdotool key Return
    fi

    if ! timeout 30 tail --pid="$pid" -s 0.1 -f /dev/null; then
        fail "still running after the box was answered"
        kill -KILL "$pid" 2>/dev/null || true
    fi
    status=0
    wait "$pid" || status=$?
    pid=

    if [[ $status -ne 1 ]]; then
        if [[ $status -gt 128 ]]; then
            fail "ended by signal $((status - 128))"
        else
            fail "ended with status $status, not 1"
        fi
    fi
    if ! grep -Eq "^quillbox: error ${number}: " "$err"; then
        fail "no 'quillbox: error ${number}: ...' line on standard error"
    fi
    after=$(snapshot "$work")
    if [[ "$before" != "$after" ]]; then
        fail "the folder changed"
        diff <(echo "$before") <(echo "$after") >&2 || true
    fi

    if [[ $failures -eq 0 ]]; then
        echo "ok [$case_name]: $(grep -E '^quillbox: error' "$err")"
    else
        echo "--- standard error of [$case_name]:" >&2
        cat "$err" >&2
        break
    fi
done

exit $((failures > 0))
