# Shared by the command-line test scripts: a scratch folder, result lines and
# a count of failures.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

ok()   { echo "ok   $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# expect CODE DESCRIPTION -- command...: runs the command, checks its exit
# code; its output is in $work/out and $work/err.
expect() {
  local want=$1 what=$2; shift 3
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  if [ "$got" -eq "$want" ]; then ok "$what"; else fail "$what (exit $got, wanted $want): $(cat "$work/err")"; fi
}

# has out|err TEXT DESCRIPTION: the last command's output holds the text.
has() { grep -q -- "$2" "$work/$1" && ok "$3" || fail "$3: $(cat "$work/$1")"; }

finish() {
  if [ "$failures" -eq 0 ]; then echo "all passed"; exit 0; fi
  echo "$failures failed"; exit 1
}
