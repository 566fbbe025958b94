#!/usr/bin/env bash
# Builds the Debian package with CPack, unpacks it into a scratch folder (dpkg -x: nothing on
# the machine is installed or changed), checks its control fields and exact file list, then
# starts the unpacked launcher on a private X server as a new user would.
#
# usage: debian_package.sh PATH/TO/cpack PATH/TO/CPackConfig.cmake APP_ID VERSION
set -euo pipefail

[[ $# -eq 4 ]] || { echo "usage: $0 PATH/TO/cpack PATH/TO/CPackConfig.cmake APP_ID VERSION" >&2; exit 2; }
cpack=$1 config=$2 app_id=$3 version=$4

# Always on a private Xvfb, even when a display is at hand.
if [[ -z "${QUILLBOX_PACKAGE_TEST_XVFB:-}" || -z "${DISPLAY:-}" ]]; then
    for tool in dpkg-deb file xvfb-run xauth xdotool; do
        command -v "$tool" >/dev/null || { echo "$0: $tool is missing; tools/deps.sh test installs it" >&2; exit 1; }
    done
    export QUILLBOX_PACKAGE_TEST_XVFB=1
    # A random first display number keeps parallel runs from racing for the same one.
    exec xvfb-run -a -n $((100 + RANDOM % 5000)) -s "-screen 0 1024x768x24 -nolisten tcp -noreset" \
        bash "$0" "$@"
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
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Under the strictest umask, which must not reach the package's modes.
if ! (umask 077 && "$cpack" --config "$config" -G DEB -B "$scratch/out") >"$scratch/cpack.log" 2>&1
then
    cat "$scratch/cpack.log" >&2
    echo "FAIL: cpack could not build the package" >&2
    exit 1
fi
deb=$(echo "$scratch"/out/quillbox_"$version"_*.deb)
[[ -f $deb ]] || { echo "FAIL: cpack made no single quillbox_${version}_*.deb: $(ls "$scratch/out")" >&2; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == quillbox && -n $(field Maintainer) && -n $(field Section) ]] ||
    fail "Package, Maintainer or Section: $(dpkg-deb -f "$deb")"
[[ $(field Description) == *$'\n'* ]] || fail "the Description has no long text"
depends=$(field Depends)
# Linked libraries, and what is only loaded at run time or run as a program.
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libsqlite3-0 libsodium23 \
    qt6-qpa-plugins xdg-utils; do
    grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
# The icon is compiled in; an image plugin would be a dependency for nothing.
! grep -Eq "(^|, )libqt6svg6( |,|$)" <<<"$depends" || fail "Depends names libqt6svg6: $depends"

root="$scratch/root"
dpkg -x "$deb" "$root"
actual=$(cd "$root" && find . ! -type d | sort)
expected=$(sort <<EOF_FILES
./usr/bin/quillbox
./usr/bin/quillbox-db
./usr/bin/quillbox-launch
./usr/share/applications/$app_id.desktop
./usr/share/icons/hicolor/128x128/apps/$app_id.png
./usr/share/icons/hicolor/16x16/apps/$app_id.png
./usr/share/icons/hicolor/32x32/apps/$app_id.png
./usr/share/icons/hicolor/48x48/apps/$app_id.png
./usr/share/icons/hicolor/scalable/apps/$app_id.svg
./usr/share/metainfo/$app_id.metainfo.xml
./usr/share/quillbox/template/senha.scc
./usr/share/systemd/user/quillbox-sync.service
./usr/share/systemd/user/quillbox-sync.timer
EOF_FILES
)
[[ "$actual" == "$expected" ]] ||
    fail "the package's files differ (< expected, > packaged):"$'\n'"$(diff <(echo "$expected") <(echo "$actual"))"

# Every mode and owner as the archive holds them: folders and programs 0755, the rest 0644.
wrong=$(dpkg-deb -c "$deb" | awk '{
    want = $1 ~ /^d/ || $6 ~ /^\.\/usr\/bin\/./ ? "rwxr-xr-x" : "rw-r--r--"
    if (substr($1, 2) != want || $2 != "root/root") print $1, $2, $6 }')
[[ -z "$wrong" ]] || fail "modes or owners other than 0755 and 0644 by root:"$'\n'"$wrong"
template="$root/usr/share/quillbox/template/senha.scc"
file -b "$template" | grep -q '^SQLite 3' ||
    fail "the template is no SQLite 3 file: $(file -b "$template")"
for size in 16 32 48 128; do
    png="$root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
    [[ -f "$png" ]] || continue
    file -b "$png" | grep -q "^PNG image data, $size x $size," ||
        fail "${size}x${size} icon: $(file -b "$png")"
done
grep -q '^Exec=quillbox-launch' "$root/usr/share/applications/$app_id.desktop" ||
    fail "the desktop entry does not run the launcher"

# A new user's first start: the launcher copies the template, and the program opens it.
if [[ -x "$root/usr/bin/quillbox-launch" ]]; then
    home="$scratch/home"
    mkdir "$home"
    # env, the launcher and the program replace one another, so $! stays the program's.
    env -u XDG_DATA_HOME HOME="$home" "$root/usr/bin/quillbox-launch" >/dev/null \
        2>"$scratch/stderr" &
    pid=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Quillbox$' | head -n 1) ||
        true
    if [[ -z "$window" ]]; then
        fail "no Quillbox window appeared; standard error: $(cat "$scratch/stderr")"
    else
        eval "$(xdotool getwindowgeometry --shell "$window")"
        # The main window is 536 pixels wide; a message box saying the file is bad is not.
        [[ $WIDTH -eq 536 ]] || fail "the window is ${WIDTH} wide: not the main window"
        grep -q 'quillbox: error' "$scratch/stderr" && fail "$(cat "$scratch/stderr")"
    fi
    copy="$home/.local/share/quillbox/senha.scc"
    [[ -f "$copy" && $(stat -c %a "$copy") == 600 ]] || fail "no owner-only copy at $copy"
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
fi

[[ $failures -eq 0 ]] || exit 1
echo "ok: $(basename "$deb"): fields, $(wc -l <<<"$actual") files, first start"
