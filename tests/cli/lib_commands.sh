#!/usr/bin/env bash
# The library commands of the kestrum tool, end to end, on files made here.
set -u
. "$(dirname "$0")/common.sh"
KESTRUM="$1"

lib="$work/doc.klib"
printf 'icon bytes' > "$work/a.ico"
head -c 70000 /dev/urandom > "$work/b.jpg"

expect 0 "add creates the library" -- "$KESTRUM" lib add "$lib" "$work/a.ico" --type icon --name "App icon" --keyword app
grep -qx '0x80000000' "$work/out" && ok "first ID printed" || fail "first ID printed: $(cat "$work/out")"
expect 0 "add appends" -- "$KESTRUM" lib add "$lib" "$work/b.jpg" --type image --name Photo
grep -qx '0x80000001' "$work/out" && ok "second ID printed" || fail "second ID printed"
expect 0 "list" -- "$KESTRUM" lib list "$lib"
grep -q 'App icon' "$work/out" && grep -q '70000' "$work/out" && grep -q '2 resources' "$work/out" \
  && ok "list shows both" || fail "list shows both: $(cat "$work/out")"

expect 0 "extract" -- "$KESTRUM" lib extract "$lib" 0x80000001 "$work/back.jpg"
cmp -s "$work/b.jpg" "$work/back.jpg" && ok "extracted bytes equal the original" || fail "extracted bytes differ"
expect 0 "remove" -- "$KESTRUM" lib remove "$lib" 0x80000000
"$KESTRUM" lib list "$lib" | grep -q '1 resources' && ok "one left" || fail "one left"

# Bad input: a clear message and a non-zero exit, and nothing rewritten.
expect 1 "missing library" -- "$KESTRUM" lib list "$work/none.klib"
grep -q 'no such library file' "$work/err" && ok "missing library message" || fail "missing library message"
expect 1 "unknown ID" -- "$KESTRUM" lib extract "$lib" 0x80000009 "$work/x"
grep -q 'no resource with ID 0x80000009' "$work/err" && ok "unknown ID message" || fail "unknown ID message"
expect 2 "malformed ID" -- "$KESTRUM" lib remove "$lib" banana
expect 1 "unreadable resource file" -- "$KESTRUM" lib add "$lib" "$work/none.ico" --type icon
expect 2 "unknown type" -- "$KESTRUM" lib add "$lib" "$work/a.ico" --type sound
expect 2 "missing --type" -- "$KESTRUM" lib add "$lib" "$work/a.ico"
expect 2 "unknown option" -- "$KESTRUM" lib list "$lib" --colour
expect 2 "unknown command" -- "$KESTRUM" lib frobnicate "$lib"

printf 'this is no archive at all' > "$work/text.klib"
cp "$work/text.klib" "$work/text.orig"
expect 1 "not an archive" -- "$KESTRUM" lib add "$work/text.klib" "$work/a.ico" --type icon
cmp -s "$work/text.klib" "$work/text.orig" && ok "not an archive: left as it was" || fail "not an archive was rewritten"

head -c 40 "$lib" > "$work/cut.klib"
cp "$work/cut.klib" "$work/cut.orig"
expect 1 "damaged archive" -- "$KESTRUM" lib remove "$work/cut.klib" 0x80000001
grep -q 'damaged\|not a library' "$work/err" && ok "damaged archive message" || fail "damaged archive message: $(cat "$work/err")"
cmp -s "$work/cut.klib" "$work/cut.orig" && ok "damaged archive: left as it was" || fail "damaged archive was rewritten"
expect 1 "a directory is no library" -- "$KESTRUM" lib list "$work"

# Drawing resources into PNG files.
DATA="$2"
pixel() { python3 "$(dirname "$0")/png_pixel.py" "$@"; }
near() { # near "R G B A" "R G B A": every channel within 16
  python3 -c "import sys; a=list(map(int,sys.argv[1].split())); b=list(map(int,sys.argv[2].split())); sys.exit(0 if all(abs(x-y)<=16 for x,y in zip(a,b)) else 1)" "$1" "$2"
}
pics="$work/pics.klib"
"$KESTRUM" lib add "$pics" "$DATA/cli/halves.jpg" --type image >/dev/null
"$KESTRUM" lib add "$pics" "$DATA/icons/multi.ico" --type icon >/dev/null
"$KESTRUM" lib add "$pics" "$DATA/icons/pointer.cur" --type cursor >/dev/null
"$KESTRUM" lib add "$pics" "$DATA/cli/halves.bmp" --type video >/dev/null

expect 0 "render a picture at its own size" -- "$KESTRUM" lib render "$pics" 0x80000000 "$work/own.png"
out=$(pixel "$work/own.png" 8,16 56,16)
[ "$(sed -n 1p <<<"$out")" = "64 32" ] && near "$(sed -n 2p <<<"$out")" "220 30 30 255" && near "$(sed -n 3p <<<"$out")" "30 30 220 255" \
  && ok "picture pixels" || fail "picture pixels: $out"
expect 0 "render scaled" -- "$KESTRUM" lib render "$pics" 0x80000000 "$work/scaled.png" --size 20x10
out=$(pixel "$work/scaled.png" 2,5 17,5)
[ "$(sed -n 1p <<<"$out")" = "20 10" ] && near "$(sed -n 3p <<<"$out")" "30 30 220 255" && ok "whole picture scaled" || fail "scaled: $out"
expect 0 "render cut" -- "$KESTRUM" lib render "$pics" 0x80000000 "$work/cut.png" --size 20x10 --cut
out=$(pixel "$work/cut.png" 17,5)
near "$(sed -n 2p <<<"$out")" "220 30 30 255" && ok "cut keeps the top-left at natural size" || fail "cut: $out"
expect 0 "render an icon" -- "$KESTRUM" lib render "$pics" 0x80000001 "$work/icon.png" --size 16x16
out=$(pixel "$work/icon.png" 0,0 15,15)
[ "$(sed -n 1p <<<"$out")" = "16 16" ] && near "$(sed -n 2p <<<"$out")" "255 0 0 255" && near "$(sed -n 3p <<<"$out")" "0 0 0 0" \
  && ok "icon pixels" || fail "icon pixels: $out"
expect 0 "render a cursor" -- "$KESTRUM" lib render "$pics" 0x80000002 "$work/cursor.png"
[ "$(pixel "$work/cursor.png" | sed -n 1p)" = "32 32" ] && ok "cursor at its own size" || fail "cursor size"
expect 1 "video cannot be drawn" -- "$KESTRUM" lib render "$pics" 0x80000003 "$work/video.png"
expect 2 "bad size" -- "$KESTRUM" lib render "$pics" 0x80000000 "$work/x.png" --size 0x10
expect 1 "extract into a missing folder" -- "$KESTRUM" lib extract "$pics" 0x80000000 "$work/none/x.jpg"

finish
