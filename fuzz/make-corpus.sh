#!/usr/bin/env bash
# Makes the load steps fuzzer's seed files in fuzz/corpus/loadsteps: small databases (512-byte
# pages) made by quillbox-db, some of them changed afterwards with the sqlite3 shell, and a few
# broken files.
# The files are kept in the repository; run this only to make them anew.
#
# usage: fuzz/make-corpus.sh PATH/TO/quillbox-db
set -euo pipefail
quillbox_db=$(realpath "$1")
out=$(realpath "$(dirname "$0")")/corpus/loadsteps
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out"/*

# A verifier of "letmein" (the password the fuzz target types) at libsodium's lowest cost, so
# that inputs carrying it stay fast.
verifier='$argon2id$v=19$m=8,t=1,p=1$gyQLW2X+9FFe0/mhx3nhLA$vYMWnuWvIdnLow2GYVxRkMFqYxyNk/FRhtM0b1iMY/A'

# seed NAME CONTACTS [SQL]: a new file, changed by SQL, packed into 512-byte pages.
seed() {
    "$quillbox_db" create "$work/$1" --contacts "$2" --seed 3 >/dev/null
    sqlite3 -batch -bail "$work/$1" "${3:-SELECT 1;} PRAGMA page_size=512; VACUUM;" >/dev/null
    cp "$work/$1" "$out/$1"
}
seed empty.scc 0
seed three.scc 3
seed protected.scc 3 "UPDATE Player SET WantPassword = 1, Senha = '$verifier';"
seed protected-plain.scc 1 "UPDATE Player SET WantPassword = -1, Senha = 'letmein';"
seed name-null.scc 3 "UPDATE Addresses SET Name = NULL WHERE Number = 2;"
seed number-64-bits.scc 1 "INSERT INTO Addresses (Number, Name) VALUES (8589934592, 'Big');"
seed flag-text.scc 1 "UPDATE Player SET WantPassword = 'yes';"
seed flag-real.scc 1 "UPDATE Player SET WantPassword = 0.5, Senha = 12;"
seed no-player.scc 1 "DROP TABLE Player;"
seed no-settings.scc 1 "DELETE FROM Player;"
seed no-email.scc 2 "ALTER TABLE Addresses DROP COLUMN email;"
seed plain-number.scc 0 "DROP TABLE Addresses; CREATE TABLE Addresses (Number INTEGER, Name TEXT,
    Phone TEXT, Address TEXT, email TEXT); INSERT INTO Addresses VALUES (NULL, 'Ann', '', '', '');"
# The page size cannot change in WAL mode, so this one is switched after packing.
cp "$out/three.scc" "$work/wal.scc"
sqlite3 -batch -bail "$work/wal.scc" "PRAGMA journal_mode=WAL;" >/dev/null
cp "$work/wal.scc" "$out/wal.scc"
head -c 1536 "$out/three.scc" >"$out/cut.scc"
: >"$out/zero-bytes.scc"
printf 'SQLite format 3\0' >"$out/header-only.scc"
ls -l "$out"
