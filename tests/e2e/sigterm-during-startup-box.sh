#!/usr/bin/env bash
# The session ends (SIGTERM) while a message box of the start is open: the program ends, it does not
# go on to open its window.
source "$(dirname "$0")/lib.sh"
start_desktop
make_suite
unset BREVON_MESSAGE_LOG  # real boxes
# 501 received notices with deletion off: loading stops at 500 with a notice box, and the start
# would go on after it.
set_setting Version 3; set_setting DelCmntInfo0 0
set_setting MaxCmntInfo0 500
for n in $(seq 1 501); do : >"$SUITE/RecvData/COMMENT.$(printf %03d "$n")"; done

"$BIN/Comment" >>"$SCRATCH/app.log" 2>&1 &
APP_PID=$!
BOX=$(window_named '読み込みを中止します')
check "the start shows its notice box" test -n "$BOX"
kill -TERM "$APP_PID"
check "SIGTERM ends the program while the box is open" ends_within 10
check "it ends with exit code 0 (${APP_RC:-none})" test "${APP_RC:-1}" -eq 0
check "no main window was left behind" gone "^$TITLE\$"
finish
