#!/usr/bin/env bash
# Installs the Debian packages that Quillbox needs to be built and run (`run`) or tested
# (`test`), packaged (`package`), timed (`bench`) or photographed (`screenshots`). Silent when
# nothing is missing. `sanitize` and `fuzz` serve `make test-sanitizers` and `make fuzz`.
#
# usage: tools/deps.sh run|test|package|bench|screenshots|sanitize|fuzz
set -euo pipefail

run_packages=(qt6-base-dev libsqlite3-dev libsodium-dev cmake ninja-build g++ xdg-utils)
# Fontconfig's header: the program has it read its configuration on the second core at start-up.
run_packages+=(libfontconfig-dev)
# Qt's SVG image plugin: the icon's larger sizes are drawn from the SVG at build time, for the
# program and for icon themes.
run_packages+=(libqt6svg6)
# The start-up benchmark, built with the rest, watches an X server through xcb.
run_packages+=(libxcb1-dev)
test_packages=("${run_packages[@]}" xvfb xauth xdotool)
# The tray test asks a private session bus of its own whether a tray watcher is on it.
test_packages+=(dbus-daemon)
# The package test builds the .deb (dpkg-shlibdeps and file find its library dependencies) and
# validates the desktop entry and the AppStream metainfo.
test_packages+=(dpkg-dev file desktop-file-utils appstream)
package_packages=("${run_packages[@]}" dpkg-dev file)
screenshots_packages=("${run_packages[@]}" xvfb xauth xdotool sqlite3)
# The bad-file test makes its damaged files with the sqlite3 shell.
test_packages+=(sqlite3)
# The sync tests and benchmark run against a CardDAV server of their own.
test_packages+=(radicale)
# A certificate file for --ca, which the sync reads before it will remember it.
test_packages+=(ca-certificates)
# The start-up benchmark shows both programs on a private X server.
bench_packages=("${run_packages[@]}" radicale xvfb xauth)
# The sync is timed beside vdirsyncer, on Xandikos as well as Radicale.
bench_packages+=(vdirsyncer xandikos)
# The sanitizer run is the test run built with ASan and UBSan, which g++ brings along.
sanitize_packages=("${test_packages[@]}")
# libFuzzer and clang's sanitizer runtimes (only recommended by clang, so named here).
fuzz_packages=("${run_packages[@]}" clang libclang-rt-14-dev)

case "${1:-}" in
run) wanted=("${run_packages[@]}") ;;
test) wanted=("${test_packages[@]}") ;;
package) wanted=("${package_packages[@]}") ;;
bench) wanted=("${bench_packages[@]}") ;;
screenshots) wanted=("${screenshots_packages[@]}") ;;
sanitize) wanted=("${sanitize_packages[@]}") ;;
fuzz) wanted=("${fuzz_packages[@]}") ;;
*)
    echo "usage: $0 run|test|package|bench|screenshots|sanitize|fuzz" >&2
    exit 2
    ;;
esac

if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "deps.sh: no dpkg here, so nothing is checked; Quillbox needs: ${wanted[*]}" \
        "(Debian names)" >&2
    exit 0
fi

# One query for all: dpkg-query names only the packages it knows, so absent ones fall out.
installed=$(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${wanted[@]}" 2>/dev/null |
    awk '$2 == "installed" { print $1 }' || true)
missing=()
for package in "${wanted[@]}"; do
    grep -qxF "$package" <<<"$installed" || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

install=(apt-get install -y --no-install-recommends "${missing[@]}")
if [[ $(id -u) -eq 0 ]]; then
    echo "deps.sh: installing ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    "${install[@]}"
elif command -v sudo >/dev/null 2>&1; then
    echo "deps.sh: installing ${missing[*]} through sudo" >&2
    sudo env DEBIAN_FRONTEND=noninteractive apt-get update
    sudo env DEBIAN_FRONTEND=noninteractive "${install[@]}"
else
    echo "deps.sh: missing Debian packages: ${missing[*]}; as root, run:" >&2
    echo "  apt-get update && ${install[*]}" >&2
    exit 1
fi
