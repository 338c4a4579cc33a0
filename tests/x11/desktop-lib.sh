# Helpers for driving the program on a real X server with a window manager:
# a private Xvfb and openbox, input through XTest (xdotool), and the test
# probe of varnel-testbed (VARNEL_TEST_PROBE) to learn where its widgets are
# and what it showed. Sourced by the desktop test scripts.

passed=0
failed=0
current_case=""

log() { printf '%s\n' "$*" >&2; }

# Records a failed expectation of the current case.
fail() {
  log "FAIL [$current_case]: $*"
  case_failed=true
}

expect_eq() { # expect_eq WHAT EXPECTED ACTUAL
  [[ $2 == "$3" ]] || fail "$1: expected '$2', got '$3'"
}

run_case() { # run_case NAME FUNCTION
  current_case=$1
  case_failed=false
  log "--- $1"
  "$2" || case_failed=true
  stop_app
  if $case_failed; then
    failed=$((failed + 1))
    log "--- $1: failed"
    [[ -f $probe/events.log ]] && sed 's/^/    events: /' "$probe/events.log" >&2
    [[ -f $work/app.log ]] && sed 's/^/    stderr: /' "$work/app.log" >&2
  else
    passed=$((passed + 1))
    log "--- $1: passed"
  fi
}

# A display of our own, with openbox managing it.
start_desktop() {
  local fifo=$work/displayfd
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$fifo" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  local n
  read -r -t 20 n <"$fifo" || { log "Xvfb did not start"; cat "$work/xvfb.log" >&2; return 1; }
  export DISPLAY=:$n
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  # The manager is in charge once it has announced itself on the root window.
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.1
  done
  log "openbox did not start"
  return 1
}

stop_desktop() {
  [[ -n ${wm_pid:-} ]] && kill "$wm_pid" 2>/dev/null
  [[ -n ${xvfb_pid:-} ]] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null || true
}

sql() { # sql STATEMENT: the result, tab-separated, no headers
  mariadb -h"$VARNEL_DB_HOST" -P"$VARNEL_DB_PORT" -u"$VARNEL_DB_USER" -p"$VARNEL_DB_PASSWORD" \
    --default-character-set=utf8mb4 -N -B -e "$1" 2>&1
}

# Starts the program on a fresh settings file (the last one with keep_settings set) with the given --set options and
# waits until the window manager has placed and activated its window.
start_app() {
  probe=$work/probe-$current_case
  rm -rf "$probe"
  [[ -n ${keep_settings:-} ]] || rm -f "$work/settings.ini"
  # Under AddressSanitizer: libxkbcommon-x11 strndup()s a keymap name that is
  # not NUL-terminated but shorter than the bound, which the strict string
  # checks take for an overflow; that check is left to the offscreen tests.
  local asan=${ASAN_OPTIONS:-}
  ASAN_OPTIONS=${asan//strict_string_checks=1/strict_string_checks=0} \
    VARNEL_TEST_PROBE=$probe "$varnel" --settings "$work/settings.ini" \
    --set "编辑框服务器=$VARNEL_DB_HOST:$VARNEL_DB_PORT" --set "编辑框用户名=$VARNEL_DB_USER" \
    --set "编辑框密码=$VARNEL_DB_PASSWORD" "$@" >"$work/app.log" 2>&1 &
  app_pid=$!
  wait_placed MainWindow 0 20
}

stop_app() {
  [[ -z ${app_pid:-} ]] && return 0
  if kill -0 "$app_pid" 2>/dev/null; then
    kill "$app_pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$app_pid" 2>/dev/null
  fi
  wait "$app_pid" 2>/dev/null
  app_pid=""
}

mark() { [[ -f $probe/events.log ]] && wc -l <"$probe/events.log" || echo 0; }

wait_event() { # wait_event FROM_LINE REGEX SECONDS: a line after FROM_LINE matches
  local deadline=$((SECONDS + ${3:-10}))
  while ((SECONDS < deadline)); do
    [[ -f $probe/events.log ]] && tail -n +$(($1 + 1)) "$probe/events.log" | grep -qE "$2" && return 0
    sleep 0.05
  done
  fail "no event matching '$2' within ${3:-10} s"
  return 1
}

# The probe rewrites its widget list 50 ms after a change: wait for the list
# written after the events seen so far.
wait_widgets_after() { wait_event "$1" $'\twidgets$' 10; }

# wait_placed WINDOW FROM_LINE SECONDS: the window is shown, placed by the
# window manager and active, and the probe has listed its widgets. The probe
# lists them 50 ms after the last show or move, which may come just before or
# just after the activation: a list after the show, and a moment for a last
# move to be listed, settle it.
wait_placed() {
  wait_event "$2" $'\tactivated\t'"$1"$'\t' "${3:-10}" || return 1
  local shown
  shown=$(tail -n +$(($2 + 1)) "$probe/events.log" | grep -nP "\tshown\t$1\t" | head -1 | cut -d: -f1)
  wait_widgets_after $(($2 + ${shown:-1})) || return 1
  sleep 0.2
}

widget_field() { # widget_field NAME FIELD [WINDOW]
  awk -F'\t' -v n="$1" -v f="$2" -v w="${3:-}" \
    '$2 == n && (w == "" || $1 == w) { v = $f } END { if (v == "") exit 1; print v }' "$probe/widgets.txt"
}

widget_line() { # widget_line NAME [WINDOW]: the widget's line in the probe's list
  awk -F'\t' -v n="$1" -v w="${2:-}" '$2 == n && (w == "" || $1 == w) { l = $0 } END { print l }' "$probe/widgets.txt"
}

click() { # click NAME [WINDOW]: a real click in the middle of the widget
  local line
  line=$(widget_line "$@")
  [[ -n $line ]] || { fail "no widget $1 on the screen"; return 1; }
  local x y wd ht
  IFS=$'\t' read -r _ _ x y wd ht _ <<<"$line"
  xdotool mousemove $((x + wd / 2)) $((y + ht / 2)) click 1
}

# The X window of the shown message box, mapped and viewable, and whether it
# holds the keyboard.
box_window() { xdotool search --onlyvisible --name '^信息：$' 2>/dev/null | head -1; }

expect_box_active() { # waits until a viewable box is the active window
  local deadline=$((SECONDS + ${1:-5})) id active
  while ((SECONDS < deadline)); do
    id=$(box_window)
    if [[ -n $id ]]; then
      active=$(xdotool getactivewindow 2>/dev/null)
      [[ $active == "$id" ]] && xwininfo -id "$id" | grep -q 'Map State: IsViewable' && return 0
    fi
    sleep 0.1
  done
  fail "the message box is not shown and active (box '${id:-none}', active '${active:-none}')"
  return 1
}

# The text of the last message box the program showed.
last_box_text() { grep -P '^\d+\tbox\t' "$probe/events.log" | tail -1 | cut -f4; }
