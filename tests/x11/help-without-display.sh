#!/usr/bin/env bash
# varnel --help and --version with no display and no platform chosen: each
# answers on stdout and exits 0 instead of aborting for want of a screen.
# The options of varnel-testbed are not the shipped program's.
set -uo pipefail
varnel=$1
status=0
check() { # check WHAT EXPECTED-PATTERN ARGS...
  local what=$1 pattern=$2 out rc
  shift 2
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$varnel" "$@" 2>&1)
  rc=$?
  if [[ $rc -ne 0 || ! $out =~ $pattern ]]; then
    echo "FAIL: $what: status $rc, output: $out"
    status=1
  fi
}
check "--version" '^varnel [0-9]+\.[0-9]+' --version
check "-v" '^varnel [0-9]+\.[0-9]+' -v
check "--help" '--settings <FILE>.*--set <NAME=VALUE>' --help
check "-h after other options" 'Usage:' --settings /nonexistent/x.ini -h
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$varnel" --help 2>&1)
if [[ $help == *--demo-import* || $help == *--screenshot* ]]; then
  echo "FAIL: --help offers the testbed's options: $help"
  status=1
fi
exit $status
