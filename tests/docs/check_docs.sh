#!/bin/bash
# The documents against the built program: the manual page lints clean and
# names every word vorn accepts; the examples of README.md and of the page
# print what they show; the completion offers the right words; the Debian
# package installs a working vorn with its page and completion.
# Usage: check_docs.sh VORN SOURCE_DIR BUILD_DIR
set -u -o pipefail
vorn=$(realpath "$1") src=$(realpath "$2") build=$(realpath "$3") page=$2/docs/vorn.1
scratch=$(mktemp -d) failures=0
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export TZ=UTC

for lint in "groff -ww -man -Tutf8 $page" "mandoc -T lint $page" "man -l $page"; do
  report=$(MANWIDTH=80 $lint 2>&1 >/dev/null) && [ -z "$report" ] || fail "$lint: $report"
done

# Every word the program accepts (a word it does not know stops the run, so
# the list holds no typo) stands whole in the rendered page.
sides() { for word; do echo "${word}1" "${word}2" "${word}B"; done; }
words="$(sides List Copy CopyFrom Move MoveFrom Delete Del All Only Older Newer Shorter Smaller \
  Longer Larger Size0 NotSize0 EightDot3 NotEightDot3) Update1 Up1 Update2 Up2 UpdateB Synchronize
  Synch Sync Syn SameLength SameLen DifferentLength DifLen Matches Match Nonmatches Nonmatch
  Mismatches Mismatch ByteMatches ByteMatch ByteMismatches ByteMismatch ExactMatches ExactMatch
  ExactMismatches ExactMismatch DateMismatches DateMismatch /nr /r /r# /nc /c /t /nt /q /nctrlz
  /ctrlz /p0.30"
mandoc -T ascii "$page" | sed 's/.\x08//g' | tr -s ' \t,;:()[]"' '\n' | sed 's/\.$//' >"$scratch/words"
mkdir -p "$scratch/one" "$scratch/two"
for word in $words; do
  grep -qxF -- "$word" "$scratch/words" || fail "the page does not name $word"
  case $word in List? | Copy* | Move* | Del* | Up* | Syn*) args=("$word") ;; *) args=(List1 "$word") ;; esac
  (cd "$scratch" && "$vorn" one/ two "${args[@]}" /q </dev/null >/dev/null) || fail "vorn refuses $word"
done

# Examples: blocks whose lines start with "$ " are run in a fresh copy of the
# example trees and must print the block (roff escapes undone, trailing blanks
# aside in the page).
mkdir "$scratch/bin" && ln -s "$vorn" "$scratch/bin/vorn"
blocks() {
  awk '/^```/ { if (open) { print "\x1e"; open = 0 } else open = 1; next } open' "$src/README.md"
  sed -n '/^\.EX$/,/^\.EE$/p' "$page" | sed -e '/^\.EX$/d' -e 's/^\.EE$/\x1e/' \
    -e "s/\\\\(aq/'/g" -e 's/\\-/-/g' -e 's/\\&//g' -e 's/\\e/\\/g'
}
runs=0
while IFS= read -r -d $'\x1e' block; do
  block=${block#$'\n'} block=${block%$'\n'}
  [[ $block == '$ '* ]] || continue
  runs=$((runs + 1)) dir=$scratch/run$runs
  sh "$src/examples/setup-examples.sh" "$dir"
  while IFS= read -r line; do
    [[ $line == '$ '* ]] || continue
    printf '%s\n' "$line"
    (cd "$dir" && PATH=$scratch/bin:$PATH bash -c "${line#\$ }" </dev/null 2>&1) | sed '$a\'
  done <<<"$block" | sed 's/ *$//' >"$dir.printed"
  diff -u <(sed 's/ *$//' <<<"$block") "$dir.printed" || fail "example $runs differs from what vorn prints"
done < <(blocks)
[ "$runs" -ge 4 ] || fail "only $runs examples found"

# The package: built by CPack, its dependencies found by dpkg-shlibdeps, and
# what it installs works.
(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B pkg >cpack.log 2>&1) ||
  fail "cpack: $(cat "$scratch/cpack.log")"
deb=$(ls "$scratch"/pkg/*.deb)
grep -Eq '^ Depends: .*libc6 \(>= [0-9.]+\).*libstdc\+\+6' <<<"$(dpkg-deb -I "$deb")" || fail "no Depends in $deb"
dpkg-deb -x "$deb" "$scratch/root" || fail "dpkg-deb cannot extract $deb"
cmp -s "$scratch/root/usr/share/man/man1/vorn.1" "$page" || fail "the package holds another page"
grep -q "^Invoke with:  Vorn" <<<"$("$scratch/root/usr/bin/vorn" </dev/null)" || fail "the installed vorn does not run"
grep -Eq 'vorn +- +compare' <<<"$(MANWIDTH=80 man --manpath="$scratch/root/usr/share/man" vorn 2>&1)" ||
  fail "man vorn does not find the installed page"

# The installed completion, driven as bash drives it.
set +u
. /usr/share/bash-completion/bash_completion
. "$scratch/root/usr/share/bash-completion/completions/vorn"
cd "$scratch" && mkdir -p work/data backup && touch pairs.txt
expect() {
  local want=$1
  shift
  COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMP_LINE="$*" COMP_POINT=${#COMP_LINE} COMPREPLY=()
  _vorn vorn "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' ')
  [ "$got" = "$want" ] || fail "completing '$*': got '$got', want '$want'"
}
expect "work/data" vorn work/d
expect "@pairs.txt" vorn @pa
expect "Up1 Up2 Update1 Update2 UpdateB" vorn work/ backup Up
expect "Syn Sync Synch Synchronize" vorn @pairs.txt Sy
expect "Newer1 Newer2 NewerB" vorn work/ backup ListB Only1 /q /r Newer
expect "/nc /nctrlz" vorn work/ backup ListB /nc
[ "$failures" -eq 0 ] && echo "documents agree with vorn ($runs examples)" || exit 1
