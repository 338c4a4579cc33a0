#!/usr/bin/env bash
# Runs a command inside a D-Bus session of its own, with a gnome-keyring that
# was started for it, in a home folder of its own: what the command stores in
# the keyring is gone when it ends. VARNEL_TEST_KEYRING=1 tells the command.
set -euo pipefail
home=$(mktemp -d "${TMPDIR:-/tmp}/varnel-keyring.XXXXXX")
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
export HOME=$home XDG_RUNTIME_DIR=$home/run XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config
export VARNEL_TEST_KEYRING=1
dbus-run-session -- bash -c '
  # The login keyring, made and unlocked with a password nobody needs again.
  printf varnel | gnome-keyring-daemon --unlock --components=secrets >/dev/null
  "$@"
' keyring "$@"
