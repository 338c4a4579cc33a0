#!/usr/bin/env bash
# Two checkouts on one machine: while the sandbox the tests run against holds
# its port, a second sandbox (its own VARNEL_SANDBOX_DIR, preferring that same
# port) must not take the first server for its own. It starts its own server on
# another port, remembers that port, and `env` prints settings that work.
#
# Needs the running sandbox's settings (VARNEL_DB_*, as scripts/test exports
# them). Exit 77 (skipped) without them, a failure with CI=true.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
sandbox=$root/scripts/mysql-sandbox

fail() {
  echo "FAIL: $*" >&2
  # What the second server said, if it got that far.
  local f
  for f in "${second:-/nonexistent}"/install.log "${second:-/nonexistent}"/mysqld.log; do
    [[ -s $f ]] && { echo "--- last lines of $f" >&2; tail -n 15 "$f" >&2; }
  done
  exit 1
}
if [[ -z ${VARNEL_DB_PORT:-} || -z ${VARNEL_DB_PASSWORD:-} ]]; then
  [[ ${CI:-} == true ]] && fail "no sandbox settings: run the tests through scripts/test"
  echo "SKIP: no sandbox settings; run through scripts/test"
  exit 77
fi
first_port=$VARNEL_DB_PORT
first_password=$VARNEL_DB_PASSWORD

# query PORT PASSWORD SQL: one value, over TCP as root.
query() {
  MYSQL_PWD=$2 mariadb --no-defaults --protocol=tcp -h 127.0.0.1 -P "$1" -u root \
    --connect-timeout=5 -N -B -e "$3"
}

first_datadir=$(query "$first_port" "$first_password" 'select @@datadir') ||
  fail "the first sandbox does not answer on $first_port"

second=$(mktemp -d "${TMPDIR:-/tmp}/varnel-sandbox-XXXXXX")
out=$second.out
listener=""
cleanup() {
  if [[ -n $listener ]]; then kill "$listener" 2>/dev/null || true; fi
  VARNEL_SANDBOX_DIR=$second "$sandbox" stop >/dev/null 2>&1 || true
  rm -rf "$second" "$out" "$out.err"
}
trap cleanup EXIT
export VARNEL_SANDBOX_DIR=$second
export VARNEL_SANDBOX_PORT=$first_port

echo "== before its first start, the second sandbox does not claim the first one's server"
if "$sandbox" status >"$out" 2>&1; then
  fail "status says running: $(cat "$out")"
fi
cat "$out"

echo "== start picks another port and says so on stderr"
"$sandbox" start >"$out" 2>"$out.err" || { cat "$out" "$out.err"; fail "start failed"; }
cat "$out" "$out.err"
grep -q "port $first_port is taken" "$out.err" || fail "start did not say that port $first_port is taken"
rm -f "$out.err"

eval "$("$sandbox" env)"
echo "env: port $VARNEL_DB_PORT"
[[ $VARNEL_DB_PORT != "$first_port" ]] || fail "env prints the first sandbox's port $first_port"
[[ $(<"$second/port") == "$VARNEL_DB_PORT" ]] || fail "the port is not remembered in $second/port"
second_port=$VARNEL_DB_PORT
second_password=$VARNEL_DB_PASSWORD

echo "== a query with env's settings reaches the second server"
got=$(query "$second_port" "$second_password" 'select @@datadir') || fail "query on $second_port failed"
[[ $(realpath -m "$got") == $(realpath -m "$second/data") ]] || fail "port $second_port serves $got, not $second/data"
query "$second_port" "$second_password" "create database if not exists two_checkouts" >/dev/null
query "$second_port" "$second_password" "drop database two_checkouts" >/dev/null

echo "== status, and a second start, use the remembered port"
"$sandbox" status | grep -q "127.0.0.1:$second_port" || fail "status does not report port $second_port"
pid=$(<"$second/mysqld.pid")
"$sandbox" start >/dev/null 2>&1 || fail "second start failed"
[[ $(<"$second/mysqld.pid") == "$pid" ]] || fail "a second start started another server"

echo "== the first sandbox is untouched"
[[ $(query "$first_port" "$first_password" 'select @@datadir') == "$first_datadir" ]] ||
  fail "the first sandbox changed"
# What the old check let through: the first server refuses the second's password.
if query "$first_port" "$second_password" 'select 1' >/dev/null 2>&1; then
  fail "the first server accepts the second sandbox's password"
fi

echo "== stop, then start again on the remembered port"
"$sandbox" stop
if "$sandbox" status >/dev/null 2>&1; then fail "status says running after stop"; fi
eval "$("$sandbox" env)"
[[ $VARNEL_DB_PORT == "$second_port" ]] || fail "env after stop prints $VARNEL_DB_PORT, not $second_port"
"$sandbox" start >/dev/null
[[ $(query "$second_port" "$second_password" 'select 1') == 1 ]] || fail "no answer on $second_port after restart"

if command -v python3 >/dev/null 2>&1; then
  echo "== a port held by a program that is no server"
  "$sandbox" stop >/dev/null
  python3 -c '
import socket, sys, time
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1])))
s.listen(4)
time.sleep(120)' "$second_port" &
  listener=$!
  for ((i = 0; i < 50; i++)); do
    (exec 3<>"/dev/tcp/127.0.0.1/$second_port") 2>/dev/null && break
    sleep 0.1
  done
  # Without VARNEL_SANDBOX_PORT the remembered port is the preferred one.
  VARNEL_SANDBOX_PORT="" "$sandbox" start >"$out" 2>&1 || { cat "$out"; fail "start failed beside a foreign listener"; }
  cat "$out"
  grep -q "port $second_port is taken" "$out" || fail "start did not say that port $second_port is taken"
  eval "$("$sandbox" env)"
  [[ $VARNEL_DB_PORT != "$second_port" ]] || fail "env prints the port the foreign program holds"
  [[ $(query "$VARNEL_DB_PORT" "$VARNEL_DB_PASSWORD" 'select 1') == 1 ]] || fail "no answer on $VARNEL_DB_PORT"
fi

echo "PASS"
