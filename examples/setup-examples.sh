#!/bin/sh
# Creates the two small trees that the README's examples and the manual's
# EXAMPLES section run against: a working folder and its stale backup.
# Contents and last-write times are fixed (UTC) so that every run of an
# example prints the same lines.
#
# Usage: setup-examples.sh DIR   (DIR is created when missing)
set -eu

dir=${1:?usage: setup-examples.sh DIR}
export TZ=UTC

put() { # path contents time
  mkdir -p "$dir/$(dirname "$1")"
  printf '%s' "$2" >"$dir/$1"
  touch -d "$3" "$dir/$1"
}

put work/report.txt 'final report v2' '2026-03-02 09:00'
put work/data/q1.csv 'a,b,c' '2026-02-01 12:00'
put work/data/q2.csv 'd,e,f,g' '2026-03-01 08:00'
put work/notes.md 'todo' '2026-01-05 10:00'
put backup/report.txt 'final report v1' '2026-02-20 17:30'
put backup/data/q1.csv 'a,b,c' '2026-02-01 12:00'
put backup/old.log 'x' '2025-12-31 23:00'
