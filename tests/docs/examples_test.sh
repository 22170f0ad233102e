#!/bin/bash
# Runs the examples of README.md and of the manual page and checks that they
# print exactly what the documents show, so that neither can drift from the
# program.
#
# Examples are fenced blocks (```) in README.md and .EX/.EE blocks in
# docs/vorn.1 whose first line starts with "$ ": every "$ " line is a
# command, run by bash with `vorn` being the built program, and the lines up
# to the next command are its output. Each such block runs in a fresh copy of
# the trees made by examples/setup-examples.sh, so its commands see each
# other's effects. README.md's quick start is the other form: in a ```sh
# block, the command that starts with ./build/vorn, whose output is the
# next fenced block; it runs against a copy of examples/.
#
# Usage: examples_test.sh VORN SOURCE_DIR
set -u -o pipefail
. "$(dirname "$0")/lib.sh"
vorn=$(realpath "$1")
src=$(realpath "$2")
export TZ=UTC

mkdir "$scratch/bin"
ln -s "$vorn" "$scratch/bin/vorn"
runs=0

# Compares one block as shown ($2, a file) with the one a run printed ($3);
# $1 names it in the report.
compare() {
  if ! diff -u --label "$1 as documented" --label "as printed" "$2" "$3"; then
    fail "$1 differs from what vorn prints"
  fi
}

# Runs the "$ " commands of a block in a fresh copy of the example trees and
# compares the whole block, commands and output, with what they print.
# $1 names the block, $2 is a file of its lines, $3 is "trim" when trailing
# blanks are to be ignored (roff cannot hold them).
check_session() {
  local name=$1 lines=$2 trim=${3:-} dir line
  runs=$((runs + 1))
  dir=$scratch/run$runs
  sh "$src/examples/setup-examples.sh" "$dir"
  while IFS= read -r line; do
    [[ $line == '$ '* ]] || continue
    printf '%s\n' "$line"
    (cd "$dir" && PATH=$scratch/bin:$PATH bash -c "${line#\$ }" </dev/null 2>&1) |
      sed '$a\'
  done <"$lines" >"$dir.printed"
  if [ "$trim" = trim ]; then
    sed -i 's/ *$//' "$lines" "$dir.printed"
  fi
  compare "$name" "$lines" "$dir.printed"
}

# The quick start: $1 is its command line, $2 the file of its shown output.
check_quick_start() {
  local dir=$scratch/quick
  runs=$((runs + 1))
  mkdir -p "$dir/build"
  cp -R "$src/examples" "$dir/"
  ln -s "$vorn" "$dir/build/vorn"
  (cd "$dir" && bash -c "$1" </dev/null 2>&1) | sed '$a\' >"$dir.printed"
  compare "README quick start '$1'" "$2" "$dir.printed"
}

# README.md: each fenced block in turn.
readme_examples() {
  local line fence="" block=$scratch/block quick="" number=0
  while IFS= read -r line; do
    if [ -z "$fence" ]; then
      [[ $line == '```'* ]] && { fence=${line#'```'}; fence=${fence:-plain}; : >"$block"; }
      continue
    fi
    if [[ $line != '```' ]]; then
      printf '%s\n' "$line" >>"$block"
      continue
    fi
    number=$((number + 1))
    if [ -n "$quick" ]; then
      check_quick_start "$quick" "$block"
      quick=""
    elif [ "$fence" = sh ] && grep -q '\./build/vorn ' "$block"; then
      quick=$(grep -o '\./build/vorn [^&]*' "$block" | head -n 1 | sed 's/ *$//')
    elif [[ $(head -n 1 "$block") == '$ '* ]]; then
      check_session "README block $number" "$block"
    fi
    fence=""
  done <"$src/README.md"
  [ -z "$quick" ] || fail "README: no output block after '$quick'"
}

# docs/vorn.1: each .EX/.EE block, its roff escapes undone.
manual_examples() {
  local block=$scratch/block number=0
  while IFS= read -r number; do
    sed -n "${number},/^\\.EE\$/p" "$src/docs/vorn.1" | sed -e '1d' -e '$d' \
      -e "s/\\\\(aq/'/g" -e 's/\\-/-/g' -e 's/\\&//g' -e 's/\\e/\\/g' >"$block"
    [[ $(head -n 1 "$block") == '$ '* ]] &&
      check_session "docs/vorn.1 example at line $number" "$block" trim
  done < <(grep -n '^\.EX$' "$src/docs/vorn.1" | cut -d: -f1)
}

readme_examples
readme_runs=$runs
[ "$readme_runs" -gt 0 ] || fail "README.md: no example found"
manual_examples
[ $((runs - readme_runs)) -gt 0 ] || fail "docs/vorn.1: no example found"
echo "$runs examples run ($readme_runs from README.md)"
finish
