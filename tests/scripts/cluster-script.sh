#!/usr/bin/env bash
# scripts/mysql-cluster as the cluster tests use it: a row written on one node
# is read on the others; a node killed with SIGKILL leaves the other two
# taking writes; start brings the killed node back, with what was written
# meanwhile; status tells a missing node and then three Synced ones.
#
# Runs on the checkout's cluster (VARNEL_CLUSTER_DIR as for the script). A
# cluster that ran before is left running; one this test started is stopped.
# Exit 77 (skipped) without MariaDB and Galera, a failure with CI=true.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cluster=$root/scripts/mysql-cluster
out=$(mktemp "${TMPDIR:-/tmp}/varnel-cluster-script-XXXXXX")

fail() {
  echo "FAIL: $*" >&2
  "$cluster" status >&2 || true
  exit 1
}
if [[ ! -f /usr/lib/galera/libgalera_smm.so ]] || ! command -v mariadb >/dev/null 2>&1; then
  [[ ${CI:-} == true ]] && fail "Galera (galera-4) or MariaDB is not installed: run scripts/setup"
  echo "SKIP: Galera (galera-4) or MariaDB is not installed"
  exit 77
fi

started_here=false
db=varnel_cluster_script_$$
cleanup() {
  local status=$?
  # A node this test killed comes back, whatever happened.
  if [[ -n ${ports[0]:-} ]] && ! "$cluster" status >/dev/null 2>&1; then
    "$cluster" start >/dev/null 2>&1 || true
  fi
  if [[ -n ${ports[0]:-} ]]; then query "${ports[0]}" "drop database if exists $db" >/dev/null 2>&1 || true; fi
  if [[ $started_here == true ]]; then "$cluster" stop >/dev/null 2>&1 || true; fi
  rm -f "$out"
  exit $status
}
trap cleanup EXIT

# query PORT SQL: the values, over TCP as the cluster's root.
query() {
  MYSQL_PWD=$VARNEL_CLUSTER_PASSWORD mariadb --no-defaults --protocol=tcp -h 127.0.0.1 -P "$1" \
    -u "$VARNEL_CLUSTER_USER" --connect-timeout=10 -N -B -e "$2"
}

if ! "$cluster" status >/dev/null 2>&1; then
  echo "== start (the cluster did not run)"
  started_here=true
  "$cluster" start || fail "start failed"
fi
eval "$("$cluster" env)"
IFS=, read -r -a servers <<<"$VARNEL_CLUSTER_SERVERS"
((${#servers[@]} == 3)) || fail "env names ${#servers[@]} servers: $VARNEL_CLUSTER_SERVERS"
ports=("${servers[@]#127.0.0.1:}")

echo "== a row written on one node is read on the others"
query "${ports[0]}" "create database $db; create table $db.t (id int primary key, node varchar(8)) engine=InnoDB;
  insert into $db.t values (1, 'node1')"
query "${ports[1]}" "insert into $db.t values (2, 'node2')" || fail "node2 refuses a write"
for p in "${ports[@]}"; do
  got=$(query "$p" "select group_concat(id order by id) from $db.t") || fail "no answer on $p"
  [[ $got == 1,2 ]] || fail "127.0.0.1:$p reads rows '$got', not 1,2"
done

echo "== node2 killed with SIGKILL: the others take writes"
pidfile=$("$cluster" pidfile "${ports[1]}") || fail "pidfile ${ports[1]} failed"
if "$cluster" pidfile 1 >/dev/null 2>&1; then fail "pidfile accepts a port no node has"; fi
pid=$(<"$pidfile")
kill -9 "$pid"
for ((i = 0; i < 50; i++)); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if "$cluster" status >"$out"; then fail "status exits 0 with node2 killed"; fi
cat "$out"
grep -q "node2 127.0.0.1:${ports[1]}: not running" "$out" || fail "status does not tell that node2 is not running"
query "${ports[0]}" "insert into $db.t values (3, 'node1')" || fail "node1 refuses a write with node2 gone"
query "${ports[2]}" "insert into $db.t values (4, 'node3')" || fail "node3 refuses a write with node2 gone"
[[ $(query "${ports[0]}" "select count(*) from $db.t") == 4 ]] || fail "node1 does not read node3's row"

echo "== start brings node2 back with what was written meanwhile"
"$cluster" start || fail "start after the kill failed"
new_pid=$(<"$pidfile")
[[ $new_pid != "$pid" ]] || fail "node2 still has the killed pid $pid"
got=$(query "${ports[1]}" "select group_concat(id order by id) from $db.t") || fail "node2 does not answer"
[[ $got == 1,2,3,4 ]] || fail "node2 reads rows '$got', not 1,2,3,4"
query "${ports[1]}" "insert into $db.t values (5, 'node2')" || fail "node2 refuses a write after rejoining"
[[ $(query "${ports[2]}" "select count(*) from $db.t") == 5 ]] || fail "node3 does not read node2's new row"

echo "== status: three Synced nodes in a cluster of three"
"$cluster" status >"$out" || { cat "$out"; fail "status exits non-zero"; }
cat "$out"
[[ $(grep -c 'Synced, Primary, cluster size 3$' "$out") == 3 ]] || fail "status does not show three Synced nodes"
query "${ports[0]}" "drop database $db"

echo "PASS"
