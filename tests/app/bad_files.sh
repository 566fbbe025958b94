#!/usr/bin/env bash
# Starts the real program on a real (virtual) X server in folders whose senha.scc is missing,
# damaged or odd; the files are made here with quillbox-db and the sqlite3 shell, never by the
# program under test. A file the program cannot use must be named on standard error
# ("quillbox: error N: ..." saying what is wrong), shown in a stop box, and, once a person
# answers the box, end the program with status 1. A file whose odd contents the program can
# show must bring up the main window, which keeps running until its Exit button is clicked.
# Either way: no signal, no hang, and the folder is left byte for byte as it was.
#
# usage: bad_files.sh PATH/TO/quillbox PATH/TO/quillbox-db
set -euo pipefail

[[ $# -eq 2 ]] || { echo "usage: $0 PATH/TO/quillbox PATH/TO/quillbox-db" >&2; exit 2; }
program=$(realpath "$1")
quillbox_db=$(realpath "$2")
regressions=$(realpath "$(dirname "$0")/../../fuzz/regressions")

for tool in Xvfb xdotool sqlite3; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is missing; tools/deps.sh test installs it" >&2; exit 1; }
done

scratch=$(mktemp -d)
chmod 755 "$scratch" # the unprivileged case reads its folder through here
pid=
xvfb=
cleanup() {
    [[ -n "$pid" ]] && kill -KILL "$pid" 2>/dev/null || true
    [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

# Always a private X server, even when a display is at hand: keys must not go to a real
# desktop. The server picks a free display itself and says which once it takes connections,
# so that servers started at the same moment by other tests or people never share one. It never
# resets: a server left by its last client resets itself, and a program started meanwhile finds
# no server to connect to.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$scratch/display" \
    2>"$scratch/xvfb.log" &
xvfb=$!
for ((tries = 0; tries < 100; tries++)); do
    [[ -s "$scratch/display" ]] && break
    sleep 0.1
done
[[ -s "$scratch/display" ]] || { echo "$0: Xvfb did not start: $(cat "$scratch/xvfb.log")" >&2; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$scratch/display")"
unset XAUTHORITY
export QT_QPA_PLATFORM=xcb

sql() { sqlite3 -batch -bail senha.scc; }
new_file() { "$quillbox_db" create senha.scc --contacts "${1:-3}" --seed 7 >/dev/null; }
long_text="replace(hex(zeroblob(5000)), '00', 'Ab')" # 10,000 characters

# case # setup # outcome: an error number, or "runs" # what the description must say (ERE) #
# who runs it
cases=(
    "no file#:#3024#Could not find file '.*/senha\.scc'#"
    "folder named senha.scc#mkdir senha.scc#3044#senha\.scc' is not a database file but a folder#"
    "random bytes#head -c 65536 /dev/urandom >senha.scc#26#senha\.scc': file is not a database#"
    "database cut in half#new_file 3000 && truncate -s \$((\$(stat -c %s senha.scc) / 2)) senha.scc#11#senha\.scc.*malformed#"
    "records out of order#cp $regressions/walk-never-ends-rowids-out-of-order.scc senha.scc#11#scc': .*records of the table 'Addresses' are out#"
    "table Player missing#new_file && echo 'DROP TABLE Player;' | sql#3078#senha\.scc': there is no table 'Player'#"
    "field email missing#new_file && echo 'ALTER TABLE Addresses DROP COLUMN email;' | sql#3265#the table 'Addresses' has no field 'email'#"
    "settings record missing#new_file && echo 'DELETE FROM Player;' | sql#3021#No current record in the table 'Player'#"
    "Name Null#new_file && echo 'UPDATE Addresses SET Name = NULL WHERE Number = 2;' | sql#94#Null.*field 'Name' of the table 'Addresses'#"
    "Number beyond 32 bits#new_file && echo 'INSERT INTO Addresses (Number, Name) VALUES (8589934592, 0);' | sql#3349#'Number' of the table 'Addresses' holds 85#"
    "WantPassword holding text#new_file && echo \"UPDATE Player SET WantPassword = 'yes';\" | sql#3464#'WantPassword' of the table 'Player' holds \"#"
    "file the user may not write#new_file && chmod 444 senha.scc#8#senha\.scc': the file cannot be written#nobody"
    "Nulls, a number for a name, 10,000-character texts#new_file && echo \"UPDATE Addresses SET email = NULL, Phone = NULL, Address = $long_text; UPDATE Addresses SET Name = 42 WHERE Number = 1; UPDATE Addresses SET Name = $long_text WHERE Number = 3;\" | sql#runs##"
)

failures=0
case_number=0
failed_cases=0
skipped=0
fail() {
    echo "FAIL [$case_name]: $*" >&2
    failures=$((failures + 1))
}

# What a folder holds, down to sizes, times and checksums, so any change to it shows; a journal
# left behind shows too.
snapshot() {
    (cd "$1" && find . -mindepth 1 -printf '%p %y %s %m %T@\n' | sort &&
        find . -type f -exec sha256sum {} + | sort)
}

# The first visible window titled Quillbox, as soon as there is one; nothing once the program
# has ended or after 30 seconds.
wait_for_window() {
    local tries
    for ((tries = 0; tries < 300; tries++)); do
        window=$(xdotool search --onlyvisible --name '^Quillbox$' 2>/dev/null | head -n 1) || true
        [[ -n "$window" ]] && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

wait_for_end() { timeout "$1" tail --pid="$pid" -s 0.1 -f /dev/null; }

# The case's user: root runs the program as an unprivileged one ("nobody"), from a copy that
# user can reach (its own libraries are linked in); anyone else already is one.
run_as=()
user_available() {
    run_as=()
    [[ -z "$1" || $(id -u) -ne 0 ]] && return 0
    id "$1" >/dev/null 2>&1 && command -v setpriv >/dev/null || return 1
    run_as=(setpriv --reuid="$1" --regid="$(id -gn "$1")" --clear-groups)
    mkdir -p "$scratch/bin" "$scratch/home-$1/runtime"
    cp "$program" "$scratch/bin/quillbox"
    chmod 755 "$scratch/bin" "$scratch/bin/quillbox"
    chmod 700 "$scratch/home-$1/runtime"
    chown -R "$1" "$scratch/home-$1"
    "${run_as[@]}" test -x "$scratch/bin/quillbox"
}
start_program() {
    if [[ ${#run_as[@]} -eq 0 ]]; then
        (cd "$work" && exec "$program" >/dev/null 2>"$err") &
    else
        (cd "$work" && HOME="$scratch/home-$user" XDG_RUNTIME_DIR="$scratch/home-$user/runtime" \
            exec "${run_as[@]}" "$scratch/bin/quillbox" >/dev/null 2>"$err") &
    fi
    pid=$!
}

for row in "${cases[@]}"; do
    IFS='#' read -r case_name setup outcome says user <<<"$row"
    case_failures=$failures
    if ! user_available "$user"; then
        echo "SKIP [$case_name]: no unprivileged user ($user) can run $program here"
        skipped=$((skipped + 1))
        continue
    fi
    case_dir="$scratch/case$((++case_number))"
    work="$case_dir/work"
    err="$case_dir/stderr"
    mkdir -p "$work"
    chmod 755 "$case_dir" "$work"
    (cd "$work" && eval "$setup")
    before=$(snapshot "$work")

    start_program
    window=
    if ! wait_for_window; then
        fail "no window titled Quillbox appeared"
    elif [[ "$outcome" == runs ]]; then
        # The main window, not a box: the error path writes its line before it shows a box.
        # Then a click on the list's first entry, to show a contact, and on the Exit button, in
        # logical pixels of the 536 by 312 client area below the menu bar.
        sleep 1
        if grep -q '^quillbox: error' "$err" || ! kill -0 "$pid" 2>/dev/null; then
            fail "reported an error or ended instead of showing the contacts"
        else
            eval "$(xdotool getwindowgeometry --shell "$window")"
            scale=$((WIDTH * 1000 / 536))
            top=$((HEIGHT - 312 * scale / 1000))
            xdotool mousemove --window "$window" $((420 * scale / 1000)) $((top + 64 * scale / 1000)) click 1
            sleep 1
            grep -q '^quillbox: error' "$err" && fail "reported an error on showing a contact"
            xdotool mousemove --window "$window" $((500 * scale / 1000)) $((top + 292 * scale / 1000)) click 1
        fi
    else
        timeout 10 xdotool windowfocus --sync "$window" || fail "could not focus the box"
        xdotool key Return
    fi

    wait_for_end 30 || { fail "still running after Exit or the box's answer"; kill -KILL "$pid" || true; }
    status=0
    wait "$pid" || status=$?
    pid=
    expected_status=$([[ "$outcome" == runs ]] && echo 0 || echo 1)
    [[ $status -eq $expected_status ]] || fail "ended with status $status, not $expected_status"
    line=$(grep -E '^quillbox: error' "$err" | head -n 1) || true
    if [[ "$outcome" != runs ]] && ! grep -Eq "^quillbox: error ${outcome}: .*($says)" <<<"$line"; then
        fail "no 'quillbox: error ${outcome}: ...' line saying /$says/ on standard error"
    fi
    after=$(snapshot "$work")
    [[ "$before" == "$after" ]] || fail "the folder changed:"$'\n'"$(diff <(echo "$before") <(echo "$after"))"
    if [[ $failures -eq $case_failures ]]; then
        echo "ok [$case_name]: ${line:-the main window showed a contact, and Exit ended it}"
    else
        failed_cases=$((failed_cases + 1))
        echo "--- standard error of [$case_name]:" >&2
        head -c 4000 "$err" >&2 || true
    fi
done

echo "$((${#cases[@]} - failed_cases - skipped)) passed, $failed_cases failed, $skipped skipped"
exit $((failures > 0))
