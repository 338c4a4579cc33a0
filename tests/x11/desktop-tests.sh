#!/usr/bin/env bash
# The program on a real X server with a window manager, driven by real
# input from outside the process, against the sandbox server: varnel's
# startup and windows as varnel-testbed builds them, with the probe.
#
#   desktop-tests.sh VARNEL-TESTBED [CASE...]
#
# Needs Xvfb, openbox, xdotool, xprop and xwininfo (scripts/setup installs
# them) and the sandbox's settings in the environment (scripts/test). Outside
# CI a missing piece skips the tests (status 77); in CI it fails them.
set -uo pipefail

varnel=$1
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=desktop-lib.sh
. "$here/desktop-lib.sh"

skip_or_fail() {
  if [[ ${CI:-} == true ]]; then
    log "desktop tests: $1"
    exit 1
  fi
  log "desktop tests skipped: $1"
  exit 77
}
for tool in Xvfb openbox xdotool xprop xwininfo mariadb; do
  command -v "$tool" >/dev/null || skip_or_fail "$tool is not installed (scripts/setup installs it)"
done
[[ -n ${VARNEL_DB_HOST:-} ]] || skip_or_fail "no sandbox database; run through scripts/test"

work=$(mktemp -d)
database="vt$$_1_desktop"
cleanup() {
  stop_app
  stop_desktop
  sql "drop database if exists \`$database\`" >/dev/null
  local i statements=""
  for i in $(seq -w 1 40); do statements+="drop database if exists \`${database}_$i\`;"; done
  sql "$statements" >/dev/null
  [[ -n ${KEEP_WORK:-} ]] && log "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
start_desktop || exit 1

# 50,000 small articles, the load under which a stop once went unheard.
articles=$work/articles
mkdir "$articles"
awk -v d="$articles" 'BEGIN { for (i = 0; i < 50000; i++) { f = sprintf("%s/a%05d.txt", d, i); print "标题" i "\n正文 " i > f; close(f) } }'

app_for_import() {
  sql "drop database if exists \`$database\`" >/dev/null
  start_app --set "编辑框库名=$database" --set "编辑框表名=t" --set "编辑框文章目录=$articles"
}

connect() {
  local m
  m=$(mark)
  click 按钮建立连接 || return 1
  wait_event "$m" $'\twidgets$' 10 || return 1
  for _ in $(seq 100); do
    [[ $(widget_field 按钮建立连接 8) == 断开连接 ]] && return 0
    sleep 0.05
  done
  fail "not connected: the button reads '$(widget_field 按钮建立连接 8)'"
  return 1
}

rows() { sql "select count(*) from \`$database\`.t"; }

# A fresh program, connected, importing the 50,000 articles; m marks the
# events from the click on.
begin_import() {
  app_for_import || return 1
  connect || return 1
  m=$(mark)
  click 按钮导入
  wait_event "$m" $'\trun\timport\tstarted' 10
}

# The list shown after a final message, closed as a user closes a dialog.
close_list() {
  local m
  m=$(mark)
  xdotool key Escape
  wait_event "$m" $'\thidden\t[^\t]*\t运行停止时尚未导入的文件$' 5
}

answer_with_return() {
  m=$(mark)
  xdotool key Return
  wait_event "$m" $'\tanswered\t' 5
}

case_connect_and_disconnect() {
  start_app || return 1
  expect_eq "picker before connecting" disabled "$(widget_field 按钮库列表 7)"
  connect || return 1
  expect_eq "picker when connected" enabled "$(widget_field 按钮库列表 7)"
  expect_eq "import when connected" enabled "$(widget_field 按钮导入 7)"
  local m
  m=$(mark)
  click 按钮建立连接
  wait_event "$m" $'\twidgets$' 10
  sleep 0.2
  expect_eq "connect button after disconnecting" 建立连接 "$(widget_field 按钮建立连接 8)"
  expect_eq "picker after disconnecting" disabled "$(widget_field 按钮库列表 7)"
}

# No password in the box: the server's refusal brings the password dialog,
# typed into as a user types, and the connect goes on with the answer.
case_password_asked() {
  start_app --set "编辑框密码=" || return 1
  local m
  m=$(mark)
  click 按钮建立连接 || return 1
  wait_placed 输入密码 "$m" 10 || return 1
  expect_eq "the question" "请输入 $VARNEL_DB_USER@$VARNEL_DB_HOST:$VARNEL_DB_PORT 的密码：" \
    "$(awk -F'\t' '$2 == "标签输入密码" { print $8 }' "$probe/widgets.txt" | tail -1)"
  xdotool type --delay 20 "$VARNEL_DB_PASSWORD"
  sleep 0.3
  m=$(mark)
  xdotool key Return
  wait_event "$m" $'\thidden\t输入密码\t' 5 || return 1
  for _ in $(seq 100); do
    [[ $(widget_field 按钮建立连接 8) == 断开连接 ]] && break
    sleep 0.05
  done
  expect_eq "connect button after the answer" 断开连接 "$(widget_field 按钮建立连接 8)"
  expect_eq "the password box" "" "$(widget_field 编辑框密码 8 || true)"
  if grep -qF "$VARNEL_DB_PASSWORD" "$probe/widgets.txt" "$probe/events.log"; then
    fail "the password typed is on record as text"
  fi
}

case_stop_an_import() {
  local m
  begin_import || return 1
  sleep 0.2
  click 按钮导入
  wait_event "$m" $'\trun\timport\tstop requested' 5 || return 1
  wait_event "$m" $'\tbox\t' 20 || return 1
  expect_box_active 5
  local stored text
  stored=$(rows)
  text=$(last_box_text)
  ((stored > 0 && stored < 50000)) || fail "a stopped import stored $stored of 50000 files"
  expect_eq "final message" \
    "导入完成，已导入 $stored 篇文章，当前表有 $stored 条记录！\\r\\n已停止，还有 $((50000 - stored)) 篇未导入" "$text"
  answer_with_return
  # The files it did not come to are listed after it.
  wait_event "$m" $'\tshown\t[^\t]*\t运行停止时尚未导入的文件$' 10 || return 1
  close_list
}

case_final_message_after_a_long_import() {
  local m
  begin_import || return 1
  wait_event "$m" $'\tbox\t' 120 || return 1
  expect_box_active 5
  expect_eq "final message" "导入完成，已导入 50000 篇文章，当前表有 50000 条记录！" "$(last_box_text)"
  # Qt's own button in Chinese.
  wait_widgets_after "$(grep -nP '\tshown\tQMessageBox' "$probe/events.log" | tail -1 | cut -d: -f1)"
  widget_field "button:确定" 7 QMessageBox >/dev/null || fail "the box has no button reading 确定"
  answer_with_return
  sleep 0.3
  [[ -z $(box_window) ]] || fail "the box is still there after Return"
}

case_close_during_an_import() {
  local m
  begin_import || return 1
  sleep 0.2
  # The window manager's close (Alt+F4 in openbox), as a user closes it.
  xdotool key alt+F4
  wait_event "$m" $'\tbox\t' 20 || return 1
  expect_box_active 5
  local stored
  stored=$(rows)
  ((stored < 50000)) || fail "closing during an import did not stop it ($stored rows)"
  answer_with_return
  wait_event "$m" $'\tshown\t[^\t]*\t运行停止时尚未导入的文件$' 10 || return 1
  close_list
  local status=0
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app_pid" 2>/dev/null; then
    fail "the program is still running after its window was closed"
    return 1
  fi
  wait "$app_pid" || status=$?
  app_pid=""
  expect_eq "exit status" 0 "$status"
  iconv -f GB18030 -t UTF-8 "$work/settings.ini" | grep -q "^编辑框库名=$database" ||
    fail "the settings were not saved on close"
}

case_admin_windows_open() {
  sql "drop database if exists \`$database\`; create database \`$database\`;
       create table \`$database\`.t (ID int primary key, 标题 text); insert into \`$database\`.t values (1, '一')" >/dev/null
  start_app --set "编辑框库名=$database" --set "编辑框表名=t" || return 1
  connect || return 1
  local m
  m=$(mark)
  click 图片管理器
  wait_placed ManagerWindow "$m" 10 || return 1
  # Choose the database and the table by typing their names into the lists.
  click 超级列表框库列表 && xdotool type --delay 20 "$database"
  sleep 0.5
  click 超级列表框表列表 && xdotool type --delay 20 t
  sleep 0.3
  m=$(mark)
  click 按钮查看记录
  wait_event "$m" $'\tshown\tRecordViewerWindow' 10
  # The viewer opens over the manager when no side has room: the manager is
  # brought up again as a user would.
  xdotool search --name '^MySQL 管理器$' windowactivate --sync 2>/dev/null
  sleep 0.3
  m=$(mark)
  click 按钮SQL ManagerWindow
  wait_event "$m" $'\tshown\tSqlQueryWindow' 10
}

# The account the program is logged in as, chosen in 用户管理 from the
# keyboard: its real privileges are shown, and 修改 with the design's 100
# asks before taking privileges from it. Answered 取消, nothing changes.
case_user_admin_protects_the_login() {
  start_app || return 1
  connect || return 1
  local m login before
  login=$(sql "select current_user()")
  before=$(sql "show grants for ${login%@*}@'${login#*@}'")
  m=$(mark)
  click 图片管理器
  wait_placed ManagerWindow "$m" 10 || return 1
  m=$(mark)
  click 按钮用户 ManagerWindow
  wait_placed UserAdminWindow "$m" 10 || return 1
  # Down the list with the arrow key until the login's item is chosen.
  click 列表框 UserAdminWindow && xdotool key Home
  local i
  for i in $(seq 30); do
    sleep 0.2
    [[ $(widget_field 编辑框用户 8 UserAdminWindow)@$(widget_field 编辑框主机 8 UserAdminWindow) == "$login" ]] && break
    xdotool key Down
  done
  expect_eq "the account chosen" "$login" \
    "$(widget_field 编辑框用户 8 UserAdminWindow)@$(widget_field 编辑框主机 8 UserAdminWindow)"
  local held
  held=$(widget_field 编辑框权限 8 UserAdminWindow)
  expect_eq "privileges held include SELECT" 1 "$((held & 1))"
  click 编辑框权限 UserAdminWindow && xdotool key ctrl+a && xdotool type --delay 20 100
  sleep 0.2
  m=$(mark)
  click 按钮修改 UserAdminWindow
  wait_event "$m" $'\tbox\t[^\t]*\t这会去掉当前登录帐号 '"$login"' 的权限：SELECT' 5 || return 1
  m=$(mark)
  xdotool key Escape
  wait_event "$m" $'\tanswered\t' 5 || return 1
  expect_eq "the login's grants" "$before" "$(sql "show grants for ${login%@*}@'${login#*@}'")"
}

# A window's frame, as the probe lists it: "x y width height".
frame_of() { awk -F'\t' -v w="$1" '$1 == w && $2 == "窗口边框" { v = $3 " " $4 " " $5 " " $6 } END { print v }' "$probe/widgets.txt"; }

# A first opening goes beside the main window, not over it; a remembered
# full-size place keeps the whole frame, title bar and border, on the screen.
case_windows_placed_on_the_screen() {
  start_app || return 1
  connect || return 1
  local m mx my mw mh x y w h id
  # The main window at the left, so the manager fits on its right.
  id=$(xdotool search --name '^Varnel MySQL' | head -1)
  xdotool windowmove "$id" 10 60
  sleep 0.5
  m=$(mark)
  click 图片管理器
  wait_placed ManagerWindow "$m" 10 || return 1
  sleep 0.5
  read -r mx my mw mh <<<"$(frame_of MainWindow)"
  read -r x y w h <<<"$(frame_of ManagerWindow)"
  log "main frame $mx $my $mw $mh, manager frame $x $y $w $h"
  expect_eq "manager inside the screen" yes "$( ((x >= 0 && y >= 0 && x + w <= 1600 && y + h <= 1200)) && echo yes || echo no)"
  expect_eq "manager right of the main window" yes "$( ((x >= mx + mw)) && echo yes || echo no)"
  stop_app
  printf '[主界面]\r\n窗口位置=0,0,1600,1200\r\n' | iconv -f UTF-8 -t GB18030 >"$work/settings.ini"
  keep_settings=1 start_app || return 1
  sleep 0.8
  read -r x y w h <<<"$(frame_of MainWindow)"
  log "remembered full size: frame $x $y $w $h"
  expect_eq "main frame inside the screen" yes "$( ((x >= 0 && y >= 0 && x + w <= 1600 && y + h <= 1200)) && echo yes || echo no)"
}

# The frame's place and size as the window manager shows them.
main_frame() { xdotool getwindowgeometry "$(xdotool search --name '^Varnel MySQL' | head -1)" | awk '/Position|Geometry/ { print $2 }' | tr '\n' ' '; }

case_window_place_kept() {
  start_app || return 1
  local id before after status=0
  id=$(xdotool search --name '^Varnel MySQL' | head -1)
  xdotool windowsize "$id" 900 800 windowmove "$id" 130 90
  sleep 0.5
  before=$(main_frame)
  xdotool key alt+F4
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  wait "$app_pid" || status=$?
  app_pid=""
  expect_eq "exit status" 0 "$status"
  keep_settings=1 start_app || return 1
  after=$(main_frame)
  expect_eq "the window's place after a restart" "$before" "$after"
}

# A scroll bar as the probe lists it: "value minimum maximum start length",
# start and length being where the screen shows its handle.
scroll_state() { widget_field "$1" 8 "$2"; }

# The handle of a scroll bar at its start, as far as the screen shows: a
# handle the user can see, not the groove beside it.
expect_handle_at_start() { # WHAT BAR WINDOW
  local value start length
  read -r value _ _ start length <<<"$(scroll_state "$2" "$3")"
  expect_eq "$1: value" 0 "$value"
  expect_eq "$1: a handle on the screen at the start" yes \
    "$( [[ $start =~ ^[0-9]+$ ]] && ((start <= 2 && length >= 10)) && echo yes || echo "no (at '$start', '$length' long)")"
}

# After the input given by the command after the names: the value grew and
# the handle the screen shows moved the same way.
expect_scrolled_on() { # WHAT BAR WINDOW COMMAND...
  local what=$1 bar=$2 window=$3 v0 s0 v1 s1 m
  shift 3
  read -r v0 _ _ s0 _ <<<"$(scroll_state "$bar" "$window")"
  m=$(mark)
  "$@"
  wait_widgets_after "$m" || return 1
  sleep 0.3
  read -r v1 _ _ s1 _ <<<"$(scroll_state "$bar" "$window")"
  log "$what: value $v0 -> $v1, handle at $s0 -> $s1"
  expect_eq "$what: the value grew" yes "$( ((v1 > v0)) && echo yes || echo no)"
  expect_eq "$what: the handle moved on" yes "$( [[ $s1 =~ ^[0-9]+$ && $s0 =~ ^[0-9]+$ ]] && ((s1 > s0)) && echo yes || echo no)"
}

# Clicks the arrow at the end of a scroll bar: down or right.
click_forward_arrow() { # BAR WINDOW TIMES
  local x y w h
  IFS=$'\t' read -r _ _ x y w h _ <<<"$(widget_line "$1" "$2")"
  local i
  for i in $(seq "$3"); do
    if ((h > w)); then xdotool mousemove $((x + w / 2)) $((y + h - w / 2)) click 1; else xdotool mousemove $((x + w - h / 2)) $((y + h / 2)) click 1; fi
    sleep 0.1
  done
}

wheel_down_over() { # NAME WINDOW TIMES
  local x y w h
  IFS=$'\t' read -r _ _ x y w h _ <<<"$(widget_line "$1" "$2")"
  xdotool mousemove $((x + w / 2)) $((y + h / 2))
  local i
  for i in $(seq "$3"); do xdotool click 5; sleep 0.1; done
}

# The manager's list of 40 more databases, a long line in the SQL editor and
# 疑点说明's text, scrolled from the screen: each shows its handle where its
# rows are, and the handle follows the arrow and the wheel.
case_scroll_long_lists() {
  local i statements=""
  for i in $(seq -w 1 40); do statements+="create database \`${database}_$i\`;"; done
  sql "$statements" >/dev/null
  start_app || return 1
  connect || return 1
  local m bar=超级列表框库列表/垂直滚动条
  m=$(mark)
  click 图片管理器
  wait_placed ManagerWindow "$m" 10 || return 1
  expect_handle_at_start "the database list" "$bar" ManagerWindow
  expect_scrolled_on "the database list, down arrow" "$bar" ManagerWindow click_forward_arrow "$bar" ManagerWindow 3
  expect_scrolled_on "the database list, wheel" "$bar" ManagerWindow wheel_down_over 超级列表框库列表 ManagerWindow 2

  m=$(mark)
  click 按钮SQL ManagerWindow
  wait_placed SqlQueryWindow "$m" 10 || return 1
  bar=编辑框SQL语句/水平滚动条
  click 编辑框SQL语句 SqlQueryWindow && xdotool type --delay 4 "select '$(printf 'x%.0s' $(seq 260))' as long_line"
  m=$(mark)
  xdotool key Home
  wait_widgets_after "$m" || return 1
  sleep 0.3
  expect_handle_at_start "the SQL editor" "$bar" SqlQueryWindow
  expect_scrolled_on "the SQL editor, right arrow" "$bar" SqlQueryWindow click_forward_arrow "$bar" SqlQueryWindow 4
  xdotool key alt+F4
  sleep 0.3

  xdotool search --name '^Varnel MySQL' windowactivate --sync 2>/dev/null
  m=$(mark)
  click 链接疑点说明 MainWindow
  wait_placed TextInputDialog "$m" 10 || return 1
  bar=编辑框正文/垂直滚动条
  expect_handle_at_start "疑点说明" "$bar" TextInputDialog
  expect_scrolled_on "疑点说明, wheel" "$bar" TextInputDialog wheel_down_over 编辑框正文 TextInputDialog 3
}

all_cases=(connect_and_disconnect password_asked windows_placed_on_the_screen user_admin_protects_the_login stop_an_import final_message_after_a_long_import close_during_an_import
  admin_windows_open window_place_kept scroll_long_lists)
(($# > 0)) && all_cases=("$@")
for c in "${all_cases[@]}"; do
  run_case "$c" "case_$c"
done

echo "desktop: $passed passed, $failed failed"
((failed == 0))
