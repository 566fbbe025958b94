#!/usr/bin/env bash
# Installs the Debian packages that Quillbox needs to be built and run (`run`) or tested
# (`test`). Silent when nothing is missing.
#
# usage: tools/deps.sh run|test
set -euo pipefail

run_packages=(qt6-base-dev libsqlite3-dev libsodium-dev cmake ninja-build g++ xdg-utils)
test_packages=("${run_packages[@]}" xvfb xauth xdotool)

case "${1:-}" in
run) wanted=("${run_packages[@]}") ;;
test) wanted=("${test_packages[@]}") ;;
*)
    echo "usage: $0 run|test" >&2
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
