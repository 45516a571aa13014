#!/usr/bin/env bash
# The database commands of the kestrum tool, end to end, on files made here.
set -u
. "$(dirname "$0")/common.sh"
KESTRUM="$1"
DATA="$2"

db="$work/Resource.mdb"
expect 1 "list of a missing database" -- "$KESTRUM" db list "$db"
has err "no such database file" "missing database message"
expect 0 "init" -- "$KESTRUM" db init "$db"
expect 1 "init twice" -- "$KESTRUM" db init "$db"
has err "already exists" "init twice says the table is there"

expect 0 "add an icon" -- "$KESTRUM" db add "$db" "$DATA/icons/multi.ico" --type icon --name Multi --keyword "Colour Icons"
grep -qx 1 "$work/out" && ok "first ID printed" || fail "first ID: $(cat "$work/out")"
expect 0 "add a picture" -- "$KESTRUM" db add "$db" "$DATA/cli/halves.jpg" --type image --name Halves
expect 1 "add an unreadable file" -- "$KESTRUM" db add "$db" "$work/none.jpg" --type image
expect 2 "add with an unknown type" -- "$KESTRUM" db add "$db" "$DATA/cli/halves.jpg" --type sound

mkdir "$work/folder"
cp "$DATA/icons/pointer.cur" "$DATA/icons/busy.ani" "$DATA/cli/halves.bmp" "$work/folder/"
echo text > "$work/folder/readme.txt"
ln -s "$work/nowhere" "$work/folder/broken.ico"
expect 1 "import reports the unreadable file" -- "$KESTRUM" db import "$db" "$work/folder"
has out "imported 3, skipped 2 (1 unreadable)" "import summary"
has err "broken.ico: cannot read" "unreadable file named"
has err "readme.txt: no resource type" "unknown extension named"

expect 0 "list all" -- "$KESTRUM" db list "$db"
has out "5 resources" "five rows"
has out "pointer" "imported names come from the file names"
expect 0 "list by type" -- "$KESTRUM" db list "$db" --type cursor
has out "2 resources" "two cursors"
expect 0 "list by keyword, ignoring case" -- "$KESTRUM" db list "$db" --keyword colour
has out "Multi" "keyword match"
has out "1 resources" "only the match"

expect 0 "export" -- "$KESTRUM" db export "$db" 2 "$work/back.jpg"
cmp -s "$work/back.jpg" "$DATA/cli/halves.jpg" && ok "exported bytes equal the original" || fail "exported bytes differ"
expect 1 "export an unknown ID" -- "$KESTRUM" db export "$db" 99 "$work/x"
expect 0 "remove" -- "$KESTRUM" db remove "$db" 2
expect 1 "remove again" -- "$KESTRUM" db remove "$db" 2
has err "no resource with ID 2" "unknown ID message"

printf 'not a database at all, just some text that is long enough' > "$work/junk.mdb"
expect 1 "a file that is no database" -- "$KESTRUM" db list "$work/junk.mdb"
has err "not a database" "no-database message"

expect 0 "export an icon" -- "$KESTRUM" db export "$db" 1 "$work/multi.ico"
cmp -s "$work/multi.ico" "$DATA/icons/multi.ico" && ok "icon round trip" || fail "icon round trip"

finish
