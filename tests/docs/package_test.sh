#!/bin/bash
# Installs vorn as a user would: `cmake --install` into a prefix, and the
# Debian package that CPack builds into a temporary root; then runs the
# installed program, its manual page and its completion from there.
#
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
set -u -o pipefail
. "$(dirname "$0")/lib.sh"
build=$(realpath "$1")
src=$(realpath "$2")
need cmake cpack dpkg-deb dpkg-shlibdeps man

# The three installed files, relative to the prefix, and their sources.
installed=(bin/vorn share/man/man1/vorn.1 share/bash-completion/completions/vorn)
sources=("" "$src/docs/vorn.1" "$src/completion/vorn")

# $1 is a prefix: checks that it holds the three files, as built.
check_installed() {
  local i
  for i in "${!installed[@]}"; do
    if [ ! -f "$1/${installed[i]}" ]; then
      fail "$1/${installed[i]} was not installed"
    elif [ -n "${sources[i]}" ] && ! cmp -s "$1/${installed[i]}" "${sources[i]}"; then
      fail "$1/${installed[i]} differs from ${sources[i]}"
    fi
  done
}

cmake --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log"; fail "cmake --install failed"; }
check_installed "$scratch/prefix"

# The package, with its metadata.
if ! (cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg") \
    >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  fail "cpack could not build the package"
  finish
fi
debs=("$scratch"/pkg/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  fail "cpack made no single .deb: ${debs[*]}"
  finish
fi
deb=${debs[0]}
info=$(dpkg-deb -I "$deb")
for field in "Package: vorn" "Maintainer: Vorn developers" "Section: utils" \
    "Description: compare two directories"; do
  grep -q "^ $field" <<<"$info" || fail "the package has no '$field' line"
done
# dpkg-shlibdeps found the C and C++ run-time libraries of the binary.
grep -Eq '^ Depends: .*libc6 \(>= [0-9.]+\).*libstdc\+\+6' <<<"$info" ||
  fail "the package lacks the Depends line of dpkg-shlibdeps: $info"

root=$scratch/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb could not extract $deb"
check_installed "$root/usr"

# The installed program runs: its usage text, then a real comparison.
usage=$("$root/usr/bin/vorn" </dev/null)
status=$?
[ $status -eq 1 ] || fail "vorn without arguments exits with $status, not 1"
[[ $usage == *"Invoke with:  Vorn  [Dir1]FileSet1  Dir2  Action  [FileMarkers]"* ]] ||
  fail "vorn without arguments does not print its usage text: $usage"
sh "$src/examples/setup-examples.sh" "$scratch/trees"
listing=$(cd "$scratch/trees" && "$root/usr/bin/vorn" work/ backup ListB Only1 Only2 | sed 's/ *$//')
want=$'**************** In directory work/*.*:\nnotes.md\n**************** In directory backup/*.*:\nold.log'
[ "$listing" = "$want" ] || fail "the installed vorn lists '$listing', not '$want'"

# `man vorn` finds and formats the installed page.
page=$(MANWIDTH=80 man --manpath="$root/usr/share/man" vorn 2>"$scratch/man.err" | sed 's/.\x08//g')
[ -s "$scratch/man.err" ] && fail "man vorn warns: $(cat "$scratch/man.err")"
grep -Eq 'vorn +- +compare +two +directories' <<<"$page" ||
  fail "man vorn does not show the installed page"

# The installed completion passes the whole completion check.
bash "$src/tests/docs/completion_test.sh" "$root/usr/share/bash-completion/completions/vorn" >"$scratch/completion.log" ||
  { cat "$scratch/completion.log"; fail "the installed completion fails its check"; }
finish
