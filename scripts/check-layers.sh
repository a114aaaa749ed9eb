#!/usr/bin/env bash
# Checks that includes run downward only:
#   platform < googledata < model < controller < view, eventwnd, dialogs
#   < controller/qt, app/qt
# The maintenance log (app/MaintenanceLog.h) is written from every layer and
# counts as platform; the rest of app/ (configuration, string table) sits
# with model. A qt/ folder sits with its parent, except controller/qt and
# app/qt, the Qt wiring on top. Besides: the Qt-free core never includes a
# qt/ folder, and windows and dialogs reach the calendar manager only through
# interfaces (never controller/CalendarManager.h).
# Prints every include that breaks a rule; exit status 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {
    case "$1" in
        app/MaintenanceLog.h) echo 0 ;;
        platform/* | platform/qt/*) echo 0 ;;
        googledata/*) echo 1 ;;
        controller/qt/* | app/qt/*) echo 5 ;;
        model/* | app/*) echo 2 ;;
        controller/*) echo 3 ;;
        view/* | eventwnd/* | dialogs/*) echo 4 ;;
        *) echo "" ;;
    esac
}

status=0
while IFS= read -r file; do
    from=$(rank "$file")
    [ -n "$from" ] || continue
    while IFS= read -r target; do
        to=$(rank "$target")
        [ -n "$to" ] || continue
        problem=""
        if [ "$to" -gt "$from" ]; then
            problem="runs upward"
        elif [[ "$file" =~ ^(platform|app|model|googledata|controller)/ &&
            "$file" != */qt/* && "$target" == */qt/* ]]; then
            problem="pulls Qt into the core"
        elif [[ "$file" == view/* || "$file" == eventwnd/* || "$file" == dialogs/* ]] &&
            [ "$target" = controller/CalendarManager.h ]; then
            problem="reaches the manager without an interface"
        fi
        if [ -n "$problem" ]; then
            echo "$file: #include \"$target\" $problem"
            status=1
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files -- 'platform/*' 'app/*' 'model/*' 'googledata/*' 'controller/*' 'view/*' \
    'eventwnd/*' 'dialogs/*' | grep -E '\.(h|cpp)$')
exit "$status"
