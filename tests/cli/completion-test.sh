#!/usr/bin/env bash
# shellcheck disable=SC2034,SC2317 # the stand-ins below set the script's locals
# The bash completion of varnel-cli, run in bash with stand-ins for the
# helpers of bash-completion: each command is offered the options it takes
# and no others, and a value is completed as its option wants.
#
#   completion-test.sh SCRIPT
set -uo pipefail

# What bash-completion's helpers would do, enough to see which was asked for.
_init_completion() {
  words=("${COMP_WORDS[@]}")
  cword=$COMP_CWORD
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD - 1]}
  split=false
}
_filedir() { COMPREPLY=("files${1:+:$1}"); }
compopt() { :; }
# shellcheck source=/dev/null
source "$1" || exit 1

failed=0
# offers WANTED ARGUMENT...: completing the last argument offers WANTED
# (the words, space-separated).
offers() {
  local wanted=$1
  shift
  COMP_WORDS=(varnel-cli "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _varnel_cli
  local got="${COMPREPLY[*]}"
  if [[ $got != "$wanted" ]]; then
    echo "varnel-cli $*: offered \"$got\", not \"$wanted\""
    failed=1
  fi
}

offers "import export preview watch help --help" ""
offers "preview" pre
offers "--json" preview --js
offers "" import --js
offers "--key" import --ke
offers "--key" watch --config a.ini --ke
offers "" preview --ke
offers "--new-only" watch --new
offers "" import --new
offers "--save-counters" import --sa
offers "" watch --sa
offers "--recurse --report --retry" import --re
offers "--recurse --report" export --re
offers "--defaults-file" export --def
offers "" preview --def
offers "--quiet" preview --qu
offers "" help --
# Values.
offers "VERIFY_CA VERIFY_IDENTITY" import --ssl-mode VER
offers "3" export --encoding 3
offers "files:ini" preview --config ""
offers "files:-d" export --folder ""
offers "files:jsonl" import --retry ""
offers "files" watch --password-file ""
offers "" import --server ""
offers "" import --key ""
# FILE, for the commands that take one.
offers "files" preview --json ""
offers "files" import ""
offers "" export ""
offers "" watch ""
exit $failed
