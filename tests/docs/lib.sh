# shellcheck shell=bash
# Shared by the documentation and packaging checks: failure reports, the
# tools a check needs, and a scratch directory removed on exit.

failures=0

# Reports one failed check; the script goes on so that one run shows them all.
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Ends the script with its verdict.
finish() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
}

# A missing tool is a failure, never a skip: run-tests installs them all.
need() {
  local tool
  for tool; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
  done
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
