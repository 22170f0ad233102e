#!/bin/bash
# The manual page formats without a single warning and names every action,
# FileMarker and switch that vorn accepts.
#
# Usage: man_page_test.sh SOURCE_DIR VORN
set -u -o pipefail
. "$(dirname "$0")/lib.sh"
page=$1/docs/vorn.1
vorn=$(realpath "$2")
need groff mandoc man

# Lint: groff with every warning, mandoc down to style level, and man-db's
# own formatting as `man -l` does it.
report=$(groff -ww -man -Tutf8 "$page" 2>&1 >/dev/null)
[ -z "$report" ] || fail "groff -ww warns: $report"
report=$(mandoc -T lint "$page" 2>&1)
[ -z "$report" ] || fail "mandoc -T lint reports: $report"
report=$(MANWIDTH=80 man -l "$page" 2>&1 >/dev/null)
[ -z "$report" ] || fail "man -l warns: $report"

# The vocabulary as the program reads it: the action verbs and composite
# actions, the sided and pair FileMarkers with their aliases, and the
# switches as the usage text writes them (/r# and /p0.30 are its notation
# for the two switches that take a text).
sides() { local word; for word; do echo "${word}1" "${word}2" "${word}B"; done; }
actions=$(sides List Copy CopyFrom Move MoveFrom Delete Del)
actions+=" Update1 Up1 Update2 Up2 UpdateB Synchronize Synch Sync Syn"
markers=$(sides All Only Older Newer Shorter Smaller Longer Larger Size0 NotSize0 EightDot3 NotEightDot3)
markers+=" SameLength SameLen DifferentLength DifLen Matches Match Nonmatches Nonmatch
  Mismatches Mismatch ByteMatches ByteMatch ByteMismatches ByteMismatch ExactMatches
  ExactMatch ExactMismatches ExactMismatch DateMismatches DateMismatch"
switches="/nr /r /r# /nc /c /t /nt /q /nctrlz /ctrlz /p0.30"

# Every word must stand whole in the rendered page, not only inside a longer
# one (/r inside /r#, Match inside Matches).
mandoc -T ascii "$page" | sed 's/.\x08//g' | tr -s ' \t,;:()[]"' '\n' | sed 's/\.$//' |
  sort -u >"$scratch/words"
for word in $actions $markers $switches; do
  grep -qxF -- "$word" "$scratch/words" || fail "the page does not name $word"
done

# The lists above are what the program accepts: each word runs cleanly, and
# a word it does not know stops the run, so the lists cannot hold a typo.
mkdir -p "$scratch/one" "$scratch/two"
echo text >"$scratch/one/a.txt"
echo text >"$scratch/two/a.txt"
cd "$scratch" || exit 1
accepts() { "$vorn" one/ two "$@" /q </dev/null >/dev/null; }
for word in $actions; do accepts "$word" || fail "vorn refuses the action $word"; done
for word in $markers; do accepts List1 "$word" || fail "vorn refuses the FileMarker $word"; done
for word in $switches; do accepts List1 All1 "$word" || fail "vorn refuses the switch $word"; done
accepts List1 Newest1 && fail "vorn accepts the unknown FileMarker Newest1"
finish
