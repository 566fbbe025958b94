#!/usr/bin/env bash
# The desktop entry and the AppStream metainfo pass their validators without a single remark,
# and the metainfo has a release entry for the version being built.
#
# usage: desktop_metadata.sh FILE.desktop FILE.metainfo.xml APP_ID VERSION
set -euo pipefail

if [[ $# -ne 4 ]]; then
    echo "usage: $0 FILE.desktop FILE.metainfo.xml APP_ID VERSION" >&2
    exit 2
fi
desktop=$1 metainfo=$2 app_id=$3 version=$4

failures=0 skipped=()
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

if command -v desktop-file-validate >/dev/null; then
    # It exits 0 on mere warnings, so any output at all counts against the file.
    if ! out=$(desktop-file-validate "$desktop" 2>&1) || [[ -n "$out" ]]; then
        fail "desktop-file-validate $desktop:"$'\n'"$out"
    else
        echo "ok: desktop-file-validate $(basename "$desktop")"
    fi
else
    skipped+=("desktop-file-validate (Debian package desktop-file-utils)")
fi

if command -v appstreamcli >/dev/null; then
    if ! out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
        fail "appstreamcli validate --no-net $metainfo:"$'\n'"$out"
    else
        echo "ok: appstreamcli validate --no-net $(basename "$metainfo")"
    fi
else
    skipped+=("appstreamcli (Debian package appstream)")
fi

# A version bump without a release entry would show stores and software centres a stale one.
release="<release version=\"${version//./\\.}\" date=\"[0-9]{4}-[0-9]{2}-[0-9]{2}\""
if ! grep -Eq "$release" "$metainfo"; then
    fail "$metainfo has no <release version=\"$version\" date=\"YYYY-MM-DD\"> entry"
fi
if ! grep -q "^Icon=${app_id}\$" "$desktop" || ! grep -q "<id>${app_id}</id>" "$metainfo"; then
    fail "the desktop entry's icon or the metainfo's id is not $app_id"
fi

if [[ $failures -gt 0 ]]; then
    exit 1
fi
if [[ ${#skipped[@]} -gt 0 ]]; then
    printf 'SKIP: not installed: %s; tools/deps.sh test installs them\n' "${skipped[@]}"
    exit 77
fi
