#!/bin/sh
# The launcher gives each user a database of their own on the first start and never touches it
# again. It runs here in real installs (cmake --install) with a stand-in for the program that
# records where, with which umask and with which arguments it was started.
#
# usage: launcher.sh PATH/TO/cmake BUILD_FOLDER
set -eu
[ $# -eq 2 ] || { echo "usage: $0 PATH/TO/cmake BUILD_FOLDER" >&2; exit 2; }
command -v sqlite3 >/dev/null || { echo "$0: sqlite3 is missing; tools/deps.sh test installs it" >&2; exit 1; }
cmake=$1 build=$2
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
    printf '#!/bin/sh\n{ pwd; umask; printf "%%s\\n" "$@"; } >"$STARTED"\n' >"$1/bin/quillbox"
}
tree="$scratch/prefix with space"
install_into "$tree"
template="$tree/share/quillbox/template/senha.scc"
launcher="$tree/bin/quillbox-launch"

# Runs the launcher as a user with HOME=$scratch/$1 and XDG_DATA_HOME=$2 ("-": unset) under
# umask 022, and checks that the program was started in $3 with that umask and the arguments.
launch() {
    rm -f "$STARTED"
    mkdir -p "$scratch/$1"
    run() { (umask 022 && cd "$scratch" && "$@" "$launcher" --an "argument two"); }
    if [ "$2" = - ]; then
        run env -u XDG_DATA_HOME HOME="$scratch/$1" 2>"$scratch/stderr"
    else
        run env HOME="$scratch/$1" XDG_DATA_HOME="$2" 2>"$scratch/stderr"
    fi || fail "the launcher failed: $(cat "$scratch/stderr")"
    [ "$(cat "$STARTED" 2>/dev/null)" = "$(printf '%s\n' "$3" 0022 --an "argument two")" ] ||
        fail "started as: $(cat "$STARTED" 2>/dev/null)"
}

# Checks that $1 is a fresh copy of the template, owner-only, with nothing else beside it.
fresh_copy() {
    cmp -s "$1" "$template" || fail "$1 is not a copy of the template"
    [ "$(mode "$1")" = 600 ] && [ "$(mode "$(dirname "$1")")" = 700 ] || fail "$1 or its folder is not private"
    [ -z "$(find "$(dirname "$1")" -mindepth 1 ! -name senha.scc)" ] || fail "left files behind"
}

case_name="first start, no XDG_DATA_HOME"
data="$scratch/home1/.local/share/quillbox"
launch home1 - "$data"
fresh_copy "$data/senha.scc"

case_name="second start keeps the file, and makes it and its folder private"
echo "a contact someone typed" >"$data/senha.scc"
chmod 0644 "$data/senha.scc"
chmod 0755 "$data"
launch home1 - "$data"
[ "$(cat "$data/senha.scc")" = "a contact someone typed" ] || fail "the file was replaced"
[ "$(mode "$data/senha.scc")" = 600 ] && [ "$(mode "$data")" = 700 ] || fail "not made private"

case_name="XDG_DATA_HOME"
launch home2 "$scratch/data home" "$scratch/data home/quillbox"
fresh_copy "$scratch/data home/quillbox/senha.scc"
[ ! -e "$scratch/home2/.local" ] || fail "made ~/.local as well"

case_name="relative XDG_DATA_HOME is ignored"
launch home3 relative "$scratch/home3/.local/share/quillbox"
[ ! -e "$scratch/relative" ] || fail "used the relative folder"

case_name="a dangling link is the user's"
mkdir -p "$scratch/home4/.local/share/quillbox"
ln -s "$scratch/elsewhere/senha.scc" "$scratch/home4/.local/share/quillbox/senha.scc"
launch home4 - "$scratch/home4/.local/share/quillbox"
[ -L "$scratch/home4/.local/share/quillbox/senha.scc" ] && [ ! -e "$scratch/elsewhere" ] ||
    fail "the link was replaced or written through"

case_name="no template" # the program itself then says that the file is missing, in a window
mv "$template" "$scratch/template"
launch home5 - "$scratch/home5/.local/share/quillbox"
mv "$scratch/template" "$template"
[ ! -e "$scratch/home5/.local/share/quillbox/senha.scc" ] || fail "made a file from nothing"
grep -q "no empty database" "$scratch/stderr" || fail "said nothing on standard error"

case_name="the data file is the template"
mkdir -p "$scratch/home7/.local/share/quillbox"
ln -s "$template" "$scratch/home7/.local/share/quillbox/senha.scc"
rm -f "$STARTED"
if env -u XDG_DATA_HOME HOME="$scratch/home7" "$launcher" 2>"$scratch/stderr"; then
    fail "the launcher did not refuse"
fi
[ ! -f "$STARTED" ] || fail "the program was started"
grep -q "empty database installed with Quillbox" "$scratch/stderr" || fail "said nothing"

# `make install PREFIX=~/.local` puts share/quillbox where the launcher keeps the user's file.
case_name="installed for yourself twice"
own="$scratch/home8/.local"
data="$own/share/quillbox"
install_into "$own"
launcher="$own/bin/quillbox-launch"
launch home8 "$own/share" "$data"
sqlite3 "$data/senha.scc" "INSERT INTO Addresses (Name, Phone, Address, email)
    VALUES ('Ann', '1', '', ''), ('Bob', '2', '', ''), ('Cy', '3', '', '')"
install_into "$own"
launch home8 "$own/share" "$data"
[ "$(sqlite3 "$data/senha.scc" "SELECT group_concat(Name || Phone, ' ') FROM Addresses")" = \
    "Ann1 Bob2 Cy3" ] || fail "contacts lost"
[ "$(sqlite3 "$data/template/senha.scc" "SELECT count(*) FROM Addresses")" = 0 ] ||
    fail "contacts went into the template"
[ "$(mode "$data")" = 700 ] && [ "$(mode "$data/senha.scc")" = 600 ] || fail "not private"

[ $failures -eq 0 ] && echo "ok: launcher"
