#!/usr/bin/env bash
# The sandbox's TLS mode as scripts/mysql-sandbox env hands it out: the TLS
# account connects over TLS verifying the server against VARNEL_DB_SSL_CA
# (by 127.0.0.1 and by localhost, with and without the client certificate),
# is refused without TLS, and a client trusting VARNEL_DB_SSL_OTHER_CA refuses
# the server. The private keys are readable by their owner only.
#
# Needs the running sandbox's settings (VARNEL_DB_*, as scripts/test exports
# them). Exit 77 (skipped) without them, a failure with CI=true.
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
if [[ -z ${VARNEL_DB_PORT:-} || -z ${VARNEL_DB_TLS_USER:-} || -z ${VARNEL_DB_SSL_CA:-} ]]; then
  [[ ${CI:-} == true ]] && fail "no sandbox TLS settings: run the tests through scripts/test"
  echo "SKIP: no sandbox TLS settings; run through scripts/test"
  exit 77
fi

# tls_client HOST ARGUMENTS...: the client as the TLS account.
tls_client() {
  local host=$1
  shift
  MYSQL_PWD=$VARNEL_DB_TLS_PASSWORD mariadb --no-defaults --protocol=tcp -h "$host" -P "$VARNEL_DB_PORT" \
    -u "$VARNEL_DB_TLS_USER" --connect-timeout=5 -N -B "$@"
}

echo "== the files env names"
for f in "$VARNEL_DB_SSL_CA" "$VARNEL_DB_SSL_CERT" "$VARNEL_DB_SSL_KEY" "$VARNEL_DB_SSL_OTHER_CA"; do
  [[ $f == /* && -s $f ]] || fail "$f is no absolute path of a file"
done
tls=$(dirname "$VARNEL_DB_SSL_CA")
for key in ca-key.pem server-key.pem client-key.pem; do
  [[ $(stat -c %a "$tls/$key") == 600 ]] || fail "$tls/$key has mode $(stat -c %a "$tls/$key"), not 600"
done

echo "== TLS, the server verified against the CA"
for host in 127.0.0.1 localhost; do
  cipher=$(tls_client "$host" --ssl --ssl-ca="$VARNEL_DB_SSL_CA" --ssl-verify-server-cert \
    -e "show status like 'Ssl_cipher'" | cut -f2) || fail "no TLS connection to $host with the CA"
  [[ -n $cipher ]] || fail "the connection to $host is not encrypted"
  echo "$host: $cipher"
done
tls_client 127.0.0.1 --ssl --ssl-ca="$VARNEL_DB_SSL_CA" --ssl-cert="$VARNEL_DB_SSL_CERT" \
  --ssl-key="$VARNEL_DB_SSL_KEY" --ssl-verify-server-cert -e "select 1" >/dev/null ||
  fail "no TLS connection with the client certificate"

echo "== refused: the other CA, and no TLS"
if tls_client 127.0.0.1 --ssl --ssl-ca="$VARNEL_DB_SSL_OTHER_CA" --ssl-verify-server-cert -e "select 1" >/dev/null 2>&1; then
  fail "a client trusting only the other CA accepts the server"
fi
if tls_client 127.0.0.1 --skip-ssl -e "select 1" >/dev/null 2>&1; then
  fail "the TLS account gets in without TLS"
fi

echo "PASS"
