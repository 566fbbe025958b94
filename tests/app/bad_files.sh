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

if [[ $# -ne 2 ]]; then
    echo "usage: $0 PATH/TO/quillbox PATH/TO/quillbox-db" >&2
    exit 2
fi
program=$(realpath "$1")
quillbox_db=$(realpath "$2")
regressions=$(realpath "$(dirname "$0")/../../fuzz/regressions")

for tool in Xvfb xdotool sqlite3; do
    if ! command -v "$tool" >/dev/null; then
        echo "$0: $tool is missing; tools/deps.sh test installs it" >&2
        exit 1
    fi
done

scratch=$(mktemp -d)
chmod 755 "$scratch" # the unprivileged case reads its folder through here
pid=
xvfb=
cleanup() {
    if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null || true
    fi
    [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

# Always a private X server, even when a display is at hand: keys must not go to a real
# desktop. The server picks a free display itself and says which once it takes connections,
# so that servers started at the same moment by other tests or people never share one.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" \
    2>"$scratch/xvfb.log" &
xvfb=$!
for ((tries = 0; tries < 100; tries++)); do
    [[ -s "$scratch/display" ]] && break
    sleep 0.1
done
if [[ ! -s "$scratch/display" ]]; then
    echo "$0: Xvfb did not start:" >&2
    cat "$scratch/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$(tr -d '[:space:]' <"$scratch/display")"
unset XAUTHORITY
export QT_QPA_PLATFORM=xcb

sql() { sqlite3 -batch -bail senha.scc; }
new_file() { "$quillbox_db" create senha.scc --contacts "${1:-3}" --seed 7 >/dev/null; }
# A table of the program's fields whose Number is a plain column, not the record number.
plain_number_file() {
    sql <<'EOF'
CREATE TABLE Addresses (Number INTEGER, Name TEXT, Phone TEXT, Address TEXT, email TEXT);
CREATE TABLE Player (Senha TEXT, WantPassword INTEGER);
INSERT INTO Player VALUES ('', 0);
EOF
}
long_text="replace(hex(zeroblob(5000)), '00', 'Ab')" # 10,000 characters

setup_no_file() { :; }
setup_folder() { mkdir senha.scc; }
setup_empty_file() { : >senha.scc; }
setup_random_bytes() { head -c 65536 /dev/urandom >senha.scc; }
setup_cut_in_half() {
    new_file 3000
    truncate -s $(($(stat -c %s senha.scc) / 2)) senha.scc
}
# A damaged table whose records come back out of order, found by the fuzzer.
setup_out_of_order() { cp "$regressions/walk-never-ends-rowids-out-of-order.scc" senha.scc; }
setup_no_addresses() { new_file && echo "DROP TABLE Addresses;" | sql; }
setup_no_player() { new_file && echo "DROP TABLE Player;" | sql; }
setup_no_email_field() { new_file && echo "ALTER TABLE Addresses DROP COLUMN email;" | sql; }
setup_no_flag_field() { new_file && echo "ALTER TABLE Player DROP COLUMN WantPassword;" | sql; }
setup_no_settings() { new_file && echo "DELETE FROM Player;" | sql; }
setup_name_null() { new_file && echo "UPDATE Addresses SET Name = NULL WHERE Number = 2;" | sql; }
setup_number_null() {
    plain_number_file && echo "INSERT INTO Addresses VALUES (NULL, 'Ann', '', '', '');" | sql
}
setup_number_text() {
    plain_number_file && echo "INSERT INTO Addresses VALUES ('one', 'Ann', '', '', '');" | sql
}
setup_number_64_bits() {
    new_file && echo "INSERT INTO Addresses (Number, Name) VALUES (8589934592, 'Big');" | sql
}
setup_flag_text() { new_file && echo "UPDATE Player SET WantPassword = 'yes';" | sql; }
setup_read_only() { new_file && chmod 644 senha.scc; }
setup_nulls() {
    new_file && echo "UPDATE Addresses SET email = NULL, Phone = NULL, Address = NULL;" | sql
}
setup_long_texts() {
    new_file &&
        echo "UPDATE Addresses SET Name = $long_text || Number, Address = $long_text,
              email = $long_text, Phone = $long_text;" | sql
}
setup_name_number() { new_file && echo "UPDATE Addresses SET Name = 42 WHERE Number = 1;" | sql; }

# case | setup | outcome: an error number, or "runs" | what the description must say (ERE) |
# who runs it
cases=(
    "no file|setup_no_file|3024|Could not find file '.*/senha\.scc'|"
    "folder named senha.scc|setup_folder|3044|senha\.scc' is not a database file but a folder|"
    "empty file|setup_empty_file|3078|senha\.scc': there is no table 'Addresses'|"
    "random bytes|setup_random_bytes|26|senha\.scc': file is not a database|"
    "database cut in half|setup_cut_in_half|11|senha\.scc.*malformed|"
    "records out of order|setup_out_of_order|11|scc': .*records of the table 'Addresses' are out|"
    "table Addresses missing|setup_no_addresses|3078|senha\.scc': there is no table 'Addresses'|"
    "table Player missing|setup_no_player|3078|senha\.scc': there is no table 'Player'|"
    "field email missing|setup_no_email_field|3265|the table 'Addresses' has no field 'email'|"
    "field WantPassword missing|setup_no_flag_field|3265|'Player' has no field 'WantPassword'|"
    "settings record missing|setup_no_settings|3021|No current record in the table 'Player'|"
    "Name Null|setup_name_null|94|Null.*field 'Name' of the table 'Addresses'|"
    "Number Null|setup_number_null|3409|field 'Number' of the table 'Addresses' is not a record|"
    "Number holding text|setup_number_text|3409|'Number' of the table 'Addresses' is not a record|"
    "Number beyond 32 bits|setup_number_64_bits|3349|'Number' of the table 'Addresses' holds 85|"
    "WantPassword holding text|setup_flag_text|3464|'WantPassword' of the table 'Player' holds \"|"
    "file the user may not write|setup_read_only|8|senha\.scc': the file cannot be written|nobody"
    "Null e-mail, phone and address|setup_nulls|runs||"
    "10,000-character texts|setup_long_texts|runs||"
    "a number for a name|setup_name_number|runs||"
)

failures=0
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

as_user() {
    local user=$1
    shift
    setpriv --reuid="$user" --regid="$(id -gn "$user")" --clear-groups "$@"
}
program_as_user=$program

# Runs the program in the case's folder, as the case's user.
start_program() {
    local work=$1 err=$2 user=$3
    if [[ -z "$user" || $(id -u) -ne 0 ]]; then
        (cd "$work" && exec "$program" >/dev/null 2>"$err") &
        pid=$!
        return
    fi
    local home="$scratch/home-$user"
    mkdir -p "$home/runtime"
    chmod 700 "$home/runtime"
    chown -R "$user" "$home"
    (cd "$work" && HOME="$home" XDG_RUNTIME_DIR="$home/runtime" \
        exec setpriv --reuid="$user" --regid="$(id -gn "$user")" --clear-groups \
        "$program_as_user" >/dev/null 2>"$err") &
    pid=$!
}

# Whether the case's user can be had: root becomes an unprivileged one; anyone else already is.
user_available() {
    local user=$1
    [[ -z "$user" || $(id -u) -ne 0 ]] && return 0
    id "$user" >/dev/null 2>&1 && command -v setpriv >/dev/null || return 1
    # A build folder that user cannot reach gets a copy of the program (its own libraries are
    # linked in) where the user can.
    if ! as_user "$user" test -x "$program_as_user"; then
        mkdir -p "$scratch/bin"
        cp "$program" "$scratch/bin/quillbox"
        chmod 755 "$scratch/bin" "$scratch/bin/quillbox"
        program_as_user="$scratch/bin/quillbox"
    fi
    as_user "$user" test -x "$program_as_user"
}

for row in "${cases[@]}"; do
    IFS='|' read -r case_name setup outcome says user <<<"$row"
    case_failures=$failures
    if ! user_available "$user"; then
        echo "SKIP [$case_name]: no unprivileged user ($user) can run $program here"
        skipped=$((skipped + 1))
        continue
    fi
    work="$scratch/$setup/work"
    err="$scratch/$setup/stderr"
    mkdir -p "$work"
    chmod 755 "$scratch/$setup" "$work"
    (cd "$work" && "$setup")
    before=$(snapshot "$work")

    start_program "$work" "$err" "$user"
    window=
    if ! wait_for_window; then
        fail "no window titled Quillbox appeared"
    elif [[ "$outcome" == runs ]]; then
        # The main window, not a box: the error path writes its line before it shows a box.
        sleep 1
        if grep -q '^quillbox: error' "$err"; then
            fail "reported an error instead of showing the contacts"
        elif ! kill -0 "$pid" 2>/dev/null; then
            fail "ended by itself"
        else
            # Places in logical pixels of the 536-pixel-wide client area, which is 312 pixels
            # tall below the menu bar: the list's first entry, to show a contact, then the Exit
            # button.
            eval "$(xdotool getwindowgeometry --shell "$window")"
            scale=$((WIDTH * 1000 / 536))
            top=$((HEIGHT - 312 * scale / 1000))
            xdotool mousemove --window "$window" $((420 * scale / 1000)) \
                $((top + 64 * scale / 1000)) click 1
            sleep 1
            if grep -q '^quillbox: error' "$err"; then
                fail "reported an error on showing a contact"
            fi
            xdotool mousemove --window "$window" $((500 * scale / 1000)) \
                $((top + 292 * scale / 1000)) click 1
        fi
    else
        timeout 10 xdotool windowfocus --sync "$window" || fail "could not focus the box"
        xdotool key Return
    fi

    if ! wait_for_end 30; then
        fail "still running $([[ $outcome == runs ]] && echo "after Exit was clicked" ||
            echo "after the box was answered")"
        kill -KILL "$pid" 2>/dev/null || true
    fi
    status=0
    wait "$pid" || status=$?
    pid=

    expected_status=$([[ "$outcome" == runs ]] && echo 0 || echo 1)
    if [[ $status -gt 128 ]]; then
        fail "ended by signal $((status - 128))"
    elif [[ $status -ne $expected_status ]]; then
        fail "ended with status $status, not $expected_status"
    fi
    if [[ "$outcome" != runs ]]; then
        line=$(grep -E '^quillbox: error' "$err" | head -n 1) || true
        if ! grep -Eq "^quillbox: error ${outcome}: " <<<"$line"; then
            fail "no 'quillbox: error ${outcome}: ...' line on standard error"
        elif ! grep -Eq -- "$says" <<<"$line"; then
            fail "the message does not say /$says/"
        fi
    fi
    after=$(snapshot "$work")
    if [[ "$before" != "$after" ]]; then
        fail "the folder changed"
        diff <(echo "$before") <(echo "$after") >&2 || true
    fi

    if [[ $failures -eq $case_failures ]]; then
        if [[ "$outcome" == runs ]]; then
            echo "ok [$case_name]: the main window showed a contact, and Exit ended it"
        else
            echo "ok [$case_name]: $line"
        fi
    else
        failed_cases=$((failed_cases + 1))
        echo "--- standard error of [$case_name]:" >&2
        head -c 4000 "$err" >&2 || true
    fi
done

echo "$((${#cases[@]} - failed_cases - skipped)) passed, $failed_cases failed, $skipped skipped"
exit $((failures > 0))
