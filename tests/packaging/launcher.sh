#!/bin/sh
# The launcher gives each user a database of their own on the first start and never touches it
# again. It runs here against a stand-in for the program that records where it was started.
#
# usage: launcher.sh PATH/TO/quillbox-launch PATH/TO/template/senha.scc
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 PATH/TO/quillbox-launch PATH/TO/senha.scc" >&2
    exit 2
fi
launcher=$1
template=$2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL [$case_name]: $*" >&2
    failures=$((failures + 1))
}
mode() { stat -c %a "$1"; }

# An installed tree: bin/ with the launcher and the stand-in, share/quillbox/ with the template.
tree="$scratch/prefix with space"
mkdir -p "$tree/bin" "$tree/share/quillbox"
cp "$launcher" "$tree/bin/quillbox-launch"
cp "$template" "$tree/share/quillbox/senha.scc"
chmod 0644 "$tree/share/quillbox/senha.scc"
cat >"$tree/bin/quillbox" <<'STUB'
#!/bin/sh
{ pwd; printf '%s\n' "$@"; } >"$STARTED"
STUB
chmod 0755 "$tree/bin/quillbox"
export STARTED="$scratch/started"

# Runs the launcher as a user with the given HOME and XDG_DATA_HOME ("-" leaves it unset).
launch() {
    rm -f "$STARTED"
    if [ "$2" = - ]; then
        env -u XDG_DATA_HOME HOME="$1" "$tree/bin/quillbox-launch" --an "argument two" \
            2>"$scratch/stderr"
    else
        env HOME="$1" XDG_DATA_HOME="$2" "$tree/bin/quillbox-launch" --an "argument two" \
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
    cmp -s "$1" "$tree/share/quillbox/senha.scc" || fail "$1 is not a copy of the template"
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

case_name="second start keeps the file"
echo "a contact someone typed" >"$home/.local/share/quillbox/senha.scc"
chmod 0640 "$home/.local/share/quillbox/senha.scc"
launch "$home" - || fail "the launcher failed: $(cat "$scratch/stderr")"
[ "$(cat "$home/.local/share/quillbox/senha.scc")" = "a contact someone typed" ] ||
    fail "the file was replaced"
[ "$(mode "$home/.local/share/quillbox/senha.scc")" = 640 ] || fail "the file's mode changed"
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
mv "$tree/share/quillbox/senha.scc" "$scratch/template"
launch "$home" - || fail "the launcher failed: $(cat "$scratch/stderr")"
mv "$scratch/template" "$tree/share/quillbox/senha.scc"
# The program itself then tells the user that the file is missing, in a window.
started_in "$home/.local/share/quillbox"
[ ! -e "$home/.local/share/quillbox/senha.scc" ] || fail "made a file from nothing"
grep -q "no empty database" "$scratch/stderr" || fail "said nothing on standard error"

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
