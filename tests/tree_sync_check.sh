#!/bin/bash
# Synchronises two generated trees of more than ten thousand files in more
# than a thousand directories each, then checks that both sides hold the
# same files with the newer version of each, and that a second run has
# nothing left to do.
#
# Usage: tree_sync_check.sh VORN [SCRATCH]
# Exits non-zero on the first failed check.
set -eu -o pipefail

vorn=$(realpath "${1:?usage: tree_sync_check.sh VORN [SCRATCH]}")
if [ -n "${2:-}" ]; then
  mkdir -p "$2"
  cd "$2"
  rm -rf a b
else
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  cd "$scratch"
fi

fail() {
  echo "FAIL: $*"
  exit 1
}

# Every same-named pair either matches in content and time or differs in
# time by days, so which side wins never depends on contents alone.
older=1704103200            # 2024-01-01 10:00:00 UTC
newer=$((older + 3 * 86400))
newer_files=()

exec 3>want.files  # the names, sizes and times both trees should end with

put() { printf '%s\n' "$3" >"$1/$2"; }
want() { echo "$1 $((${#2} + 1)) $3.0000000000" >&3; }

# One file of the trees a and b, and the line it should end with.
emit() {
  local kind=$1 path=$2
  case $kind in
    same) put a "$path" "$path same"; put b "$path" "$path same"; want "$path" "$path same" $older ;;
    onlya) put a "$path" "$path only in a"; want "$path" "$path only in a" $older ;;
    onlyb) put b "$path" "$path only in b"; want "$path" "$path only in b" $older ;;
    newera)
      put a "$path" "$path newer in a, longer"; put b "$path" "$path older in b"
      want "$path" "$path newer in a, longer" $newer; newer_files+=("a/$path") ;;
    newerb)
      put b "$path" "$path newer in b"; put a "$path" "$path older in a, longer"
      want "$path" "$path newer in b" $newer; newer_files+=("b/$path") ;;
  esac
}

# Which sides have a directory: d8/e8 only a, d8/e9 only b, and every
# fiftieth leaf offset by 7 only a, offset by 13 only b.
side_of() {
  local t=$1 m=$2 l=${3:-}
  if [ "$t$m" = 88 ]; then side=a; elif [ "$t$m" = 89 ]; then side=b; else side=both; fi
  if [ -n "$l" ] && [ $side = both ]; then
    case $(((t * 100 + m * 10 + l) % 50)) in 7) side=a ;; 13) side=b ;; esac
  fi
  kind=only$side  # what every file of a one-sided directory is
}

dirs=()
for t in {0..9}; do
  for m in {0..9}; do
    for l in {0..9}; do
      side_of $t $m $l
      case $side in
        both) dirs+=("a/d$t/e$m/f$l" "b/d$t/e$m/f$l") ;;
        *) dirs+=("$side/d$t/e$m/f$l") ;;
      esac
    done
  done
done
mkdir -p "${dirs[@]}"

for t in {0..9}; do
  emit same "d$t/x0"
  if [ $((t % 2)) = 0 ]; then emit newera "d$t/x1"; else emit newerb "d$t/x1"; fi
  for m in {0..9}; do
    side_of $t $m
    if [ $side = both ]; then
      emit same "d$t/e$m/x0"
      if [ $(((t + m) % 2)) = 0 ]; then emit newera "d$t/e$m/x1"; else emit newerb "d$t/e$m/x1"; fi
    else
      emit "$kind" "d$t/e$m/x0"
      emit "$kind" "d$t/e$m/x1"
    fi
    for l in {0..9}; do
      leaf="d$t/e$m/f$l"
      id=$((t * 100 + m * 10 + l))
      side_of $t $m $l
      if [ $side != both ]; then
        for i in {0..10}; do emit "$kind" "$leaf/g$i"; done
        continue
      fi
      for i in 0 1 2 3 4 5 10; do emit same "$leaf/g$i"; done
      if [ $((id % 3)) = 0 ]; then emit onlya "$leaf/g6"; else emit same "$leaf/g6"; fi
      if [ $((id % 3)) = 1 ]; then emit onlyb "$leaf/g7"; else emit same "$leaf/g7"; fi
      emit newera "$leaf/g8"
      emit newerb "$leaf/g9"
    done
  done
done

exec 3>&-
LC_ALL=C sort -o want.files want.files
find a b -type f -print0 | xargs -0 touch -d "@$older"
printf '%s\0' "${newer_files[@]}" | xargs -0 touch -d "@$newer"

for tree in a b; do
  files=$(find $tree -type f | wc -l)
  directories=$(find $tree -type d | wc -l)
  [ "$files" -ge 10000 ] || fail "$tree has only $files files"
  [ "$directories" -ge 1000 ] || fail "$tree has only $directories directories"
done

# Names, sizes and last-write times of every file below a tree.
files_of() { (cd "$1" && find . -type f -printf '%P %s %T@\n' | LC_ALL=C sort); }
# Everything below both trees, directories included, with their modes.
snapshot() { find a b -printf '%y %p %s %T@ %m\n' | LC_ALL=C sort; }

status=0
"$vorn" a/ b Sync /r /q >first.out 2>first.err || status=$?
[ $status = 0 ] || fail "first run ended with status $status: $(head -c 2000 first.out)"
[ ! -s first.err ] || fail "first run wrote to standard error: $(head -c 2000 first.err)"
made_directory='^(Creating target directory|Trying to create directory) [ab]/'
if grep -Ev "$made_directory" first.out >unexpected.out; then
  fail "first run printed: $(head -c 2000 unexpected.out)"
fi

diff -r a b >/dev/null || fail "a and b differ after the run: $(diff -rq a b | head -20)"
files_of a >a.files
files_of b >b.files
cmp -s a.files b.files || fail "sizes or times differ: $(diff a.files b.files | head -20)"
cmp -s a.files want.files ||
  fail "not the expected sizes or times: $(diff a.files want.files | head -20)"

snapshot >before.list
status=0
"$vorn" a/ b Sync /r /q >second.out 2>&1 || status=$?
[ $status = 0 ] || fail "second run ended with status $status"
[ ! -s second.out ] || fail "second run printed: $(head -c 2000 second.out)"
snapshot >after.list
cmp -s before.list after.list ||
  fail "second run changed: $(diff before.list after.list | head -20)"

echo "tree_sync_check: $(wc -l <a.files) files in $(find a -type d | wc -l) directories in sync"
