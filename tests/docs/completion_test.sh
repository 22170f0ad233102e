#!/bin/bash
# Drives vorn's bash completion the way bash does: the command line split
# into COMP_WORDS, the cursor at its end, the completion function called,
# and its COMPREPLY compared with the expected words.
#
# Usage: completion_test.sh COMPLETION_FILE
set -u -o pipefail
. "$(dirname "$0")/lib.sh"
framework=/usr/share/bash-completion/bash_completion
[ -r "$framework" ] || { echo "FAIL: bash-completion is not installed"; exit 1; }
. "$framework"
. "$1"

[[ $(complete -p vorn) == *"-F _vorn"* ]] || fail "sourcing $1 does not register _vorn for vorn"

cd "$scratch" || exit 1
mkdir -p work/data backup 'my dir'
touch work.txt pairs.txt

# The words of the command line, the last being the word under the cursor;
# prints the offered completions, sorted, one blank between them.
complete_line() {
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMP_LINE="$*"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _vorn vorn "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' ' -
}

expect() {
  local want=$1 got
  shift
  got=$(complete_line "$@")
  [ "$got" = "$want" ] || fail "completing '$*': got '$got', want '$want'"
}

# The two directory arguments take directories only.
expect "work" vorn wo
expect "backup my dir work" vorn ""
expect "work/data" vorn work/d
expect "backup" vorn work/ ba
# After "@" the control file, with directories to descend into.
expect "@pairs.txt" vorn @pa
expect "@backup/ @my\\ dir/ @pairs.txt @work.txt @work/" vorn @
expect "@work/data/" vorn @work/d
# The action follows the directories, or the control file.
expect "Up1 Up2 Update1 Update2 UpdateB" vorn work/ backup Up
expect "Syn Sync Synch Synchronize" vorn @pairs.txt Sy
expect "List1 List2 ListB" vorn work/ backup list
expect "Del1 Del2 DelB Delete1 Delete2 DeleteB" vorn work/ backup Del
[[ " $(complete_line vorn work/ backup "") " == *" CopyFrom2 "* ]] ||
  fail "no action word offered after the two directories"
[[ " $(complete_line vorn work/ backup "") " == *" work "* ]] &&
  fail "a directory offered in the place of the action"
# Then FileMarkers and switches, in any mix, as many as wanted.
expect "Only1 Only2 OnlyB" vorn work/ backup Update2 Only
expect "ByteMatch ByteMatches ByteMismatch ByteMismatches" vorn @pairs.txt List1 byte
expect "/nc /nctrlz" vorn work/ backup ListB Only1 /nc
expect "Newer1 Newer2 NewerB" vorn work/ backup ListB Only1 /q /r Newer
expect "/p" vorn @pairs.txt Sync /p
expect "" vorn work/ backup ListB wo
finish
