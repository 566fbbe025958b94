#!/usr/bin/env bash
# The desktop entry and the AppStream metainfo pass their validators without a single remark,
# name the application id, and the metainfo has a release entry for the version being built.
#
# usage: desktop_metadata.sh FILE.desktop FILE.metainfo.xml APP_ID VERSION
set -euo pipefail
[[ $# -eq 4 ]] || { echo "usage: $0 FILE.desktop FILE.metainfo.xml APP_ID VERSION" >&2; exit 2; }
desktop=$1 metainfo=$2 app_id=$3 version=$4
failures=0 skipped=()
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

if ! command -v desktop-file-validate >/dev/null; then
    skipped+=("desktop-file-validate (Debian package desktop-file-utils)")
elif ! out=$(desktop-file-validate "$desktop" 2>&1) || [[ -n "$out" ]]; then
    fail "desktop-file-validate $desktop:"$'\n'"$out" # any remark counts, warnings too
fi
if ! command -v appstreamcli >/dev/null; then
    skipped+=("appstreamcli (Debian package appstream)")
elif ! out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
    fail "appstreamcli validate --no-net $metainfo:"$'\n'"$out"
fi
# A version bump without a release entry would show software centres a stale one.
grep -Eq "<release version=\"${version//./\\.}\" date=\"[0-9]{4}-[0-9]{2}-[0-9]{2}\"" "$metainfo" ||
    fail "$metainfo has no <release version=\"$version\" date=\"YYYY-MM-DD\"> entry"
grep -q "^Icon=${app_id}\$" "$desktop" && grep -q "<id>${app_id}</id>" "$metainfo" ||
    fail "the desktop entry's icon or the metainfo's id is not $app_id"

[[ $failures -eq 0 ]] || exit 1
if [[ ${#skipped[@]} -gt 0 ]]; then
    printf 'SKIP: not installed: %s; tools/deps.sh test installs them\n' "${skipped[@]}"
    exit 77
fi
echo "ok: desktop entry and metainfo"
