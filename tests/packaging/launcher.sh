#!/bin/sh
# The launcher gives each user a database of their own on the first start and never touches it
# again. It runs here in real installs (cmake --install) with a stand-in for the program that
# records where it was started.
#
# usage: launcher.sh PATH/TO/cmake BUILD_FOLDER
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 PATH/TO/cmake BUILD_FOLDER" >&2
    exit 2
fi
cmake=$1
build=$2
if ! command -v sqlite3 >/dev/null; then
    echo "$0: sqlite3 is missing; tools/deps.sh test installs it" >&2
    exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL [$case_name]: $*" >&2
    failures=$((failures + 1))
}
mode() { stat -c %a "$1"; }
export STARTED="$scratch/started"

# Installs as `make install PREFIX=$1` does, then puts the stand-in in the program's place.
install_into() {
    "$cmake" --install "$build" --prefix "$1" >/dev/null
    cat >"$1/bin/quillbox" <<'STUB'
#!/bin/sh
{ pwd; printf '%s\n' "$@"; } >"$STARTED"
STUB
}

tree="$scratch/prefix with space"
install_into "$tree"
template="$tree/share/quillbox/template/senha.scc"
launcher="$tree/bin/quillbox-launch"

# Runs the launcher as a user with the given HOME and XDG_DATA_HOME ("-" leaves it unset).
launch() {
    rm -f "$STARTED"
    if [ "$2" = - ]; then
        env -u XDG_DATA_HOME HOME="$1" "$launcher" --an "argument two" \
            2>"$scratch/stderr"
    else
        env HOME="$1" XDG_DATA_HOME="$2" "$launcher" --an "argument two" \
            2>"$scratch/stderr"
    fi
}

# Checks that the program was started in $1, with the arguments passed on.
started_in() {
    if [ ! -f "$STARTED" ]; then
        fail "the program was not started"
        return
    fi
    expected=$(printf '%s\n' "$1" --an "argument two")
    [ "$(cat "$STARTED")" = "$expected" ] || fail "started as: $(cat "$STARTED")"
}

# Checks that $1 is a fresh copy of the template, owner-only, with nothing else beside it.
fresh_copy() {
    cmp -s "$1" "$template" || fail "$1 is not a copy of the template"
    [ "$(mode "$1")" = 600 ] || fail "$1 has mode $(mode "$1"), not 600"
    [ "$(mode "$(dirname "$1")")" = 700 ] ||
        fail "$(dirname "$1") has mode $(mode "$(dirname "$1")"), not 700"
    leftovers=$(find "$(dirname "$1")" -mindepth 1 ! -name senha.scc)
    [ -z "$leftovers" ] || fail "left behind: $leftovers"
}

case_name="first start, no XDG_DATA_HOME"
home="$scratch/home1"
mkdir "$home"
launch "$home" - || fail "the launcher failed: $(cat "$scratch/stderr")"
fresh_copy "$home/.local/share/quillbox/senha.scc"
started_in "$home/.local/share/quillbox"

case_name="second start keeps the file, and makes it and its folder private"
echo "a contact someone typed" >"$home/.local/share/quillbox/senha.scc"
chmod 0644 "$home/.local/share/quillbox/senha.scc"
chmod 0755 "$home/.local/share/quillbox"
launch "$home" - || fail "the launcher failed: $(cat "$scratch/stderr")"
[ "$(cat "$home/.local/share/quillbox/senha.scc")" = "a contact someone typed" ] ||
    fail "the file was replaced"
[ "$(mode "$home/.local/share/quillbox/senha.scc")" = 600 ] || fail "the file is not 600"
[ "$(mode "$home/.local/share/quillbox")" = 700 ] || fail "the folder is not 700"
started_in "$home/.local/share/quillbox"

case_name="XDG_DATA_HOME"
home="$scratch/home2"
mkdir "$home"
launch "$home" "$scratch/data home" || fail "the launcher failed: $(cat "$scratch/stderr")"
fresh_copy "$scratch/data home/quillbox/senha.scc"
started_in "$scratch/data home/quillbox"
[ ! -e "$home/.local" ] || fail "made $home/.local as well"

case_name="relative XDG_DATA_HOME is ignored"
home="$scratch/home3"
mkdir "$home"
(cd "$scratch" && launch "$home" "relative") || fail "the launcher failed: $(cat "$scratch/stderr")"
fresh_copy "$home/.local/share/quillbox/senha.scc"
[ ! -e "$scratch/relative" ] || fail "used the relative folder"

case_name="a dangling link is the user's"
home="$scratch/home4"
mkdir -p "$home/.local/share/quillbox"
ln -s "$scratch/elsewhere/senha.scc" "$home/.local/share/quillbox/senha.scc"
launch "$home" - || fail "the launcher failed: $(cat "$scratch/stderr")"
[ -L "$home/.local/share/quillbox/senha.scc" ] || fail "the link was replaced"
[ ! -e "$scratch/elsewhere" ] || fail "wrote through the link"
started_in "$home/.local/share/quillbox"

case_name="no template"
home="$scratch/home5"
mkdir "$home"
mv "$template" "$scratch/template"
launch "$home" - || fail "the launcher failed: $(cat "$scratch/stderr")"
mv "$scratch/template" "$template"
# The program itself then tells the user that the file is missing, in a window.
started_in "$home/.local/share/quillbox"
[ ! -e "$home/.local/share/quillbox/senha.scc" ] || fail "made a file from nothing"
grep -q "no empty database" "$scratch/stderr" || fail "said nothing on standard error"

case_name="the data file is the template"
home="$scratch/home7"
mkdir -p "$home/.local/share/quillbox"
ln -s "$template" "$home/.local/share/quillbox/senha.scc"
if launch "$home" -; then fail "the launcher did not refuse"; fi
[ ! -f "$STARTED" ] || fail "the program was started"
grep -q "empty database installed with Quillbox" "$scratch/stderr" || fail "said nothing"

# `make install PREFIX=~/.local` puts share/quillbox where the launcher keeps the user's file.
case_name="installed for yourself twice"
home="$scratch/home8"
mkdir "$home"
install_into "$home/.local"
launcher="$home/.local/bin/quillbox-launch"
launch "$home" "$home/.local/share" || fail "the launcher failed: $(cat "$scratch/stderr")"
data="$home/.local/share/quillbox"
sqlite3 "$data/senha.scc" "INSERT INTO Addresses (Name, Phone, Address, email)
    VALUES ('Ann', '1', '', ''), ('Bob', '2', '', ''), ('Cy', '3', '', '')"
install_into "$home/.local"
launch "$home" "$home/.local/share" || fail "the launcher failed: $(cat "$scratch/stderr")"
started_in "$data"
[ "$(sqlite3 "$data/senha.scc" "SELECT group_concat(Name || Phone, ' ') FROM Addresses")" = \
    "Ann1 Bob2 Cy3" ] || fail "contacts lost"
[ "$(sqlite3 "$data/template/senha.scc" "SELECT count(*) FROM Addresses")" = 0 ] ||
    fail "contacts went into the template"
[ "$(mode "$data")" = 700 ] && [ "$(mode "$data/senha.scc")" = 600 ] ||
    fail "modes $(mode "$data") and $(mode "$data/senha.scc"), not 700 and 600"
launcher="$tree/bin/quillbox-launch"

case_name="the user's umask reaches the program"
home="$scratch/home6"
mkdir "$home"
cat >"$tree/bin/quillbox" <<'STUB'
#!/bin/sh
umask >"$STARTED"
STUB
(umask 022 && launch "$home" -) || fail "the launcher failed: $(cat "$scratch/stderr")"
[ "$(cat "$STARTED")" = 0022 ] || fail "the program ran with umask $(cat "$STARTED")"

if [ $failures -gt 0 ]; then
    exit 1
fi
echo "ok: launcher"
