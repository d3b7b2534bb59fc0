#!/usr/bin/env bash
# Installs what the build needs, builds, creates the demo database if it is missing and runs
# the module on it. With a display it opens erp-host on the demo database; without one it runs
# the schedule rebuild as a batch job and prints its messages and result.
# Extra arguments go to erp-host (e.g. --user 2, --lang en, --min-date 2025-01-01).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

DEMO_DB="${ERP_DEMO_DB:-${XDG_DATA_HOME:-$HOME/.local/share}/erp-host/erp-demo.db}"
HOST=./build/bin/erp-host

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$HOST" --demo-db "$DEMO_DB" "$@"
fi

echo "No display: running the schedule rebuild on $DEMO_DB as a batch job."
set +e
"$HOST" --demo-db "$DEMO_DB" --batch rebuild "$@"
rc=$?
set -e
case $rc in
    0) echo "Result: rebuild completed (exit code 0)." ;;
    2) echo "Result: refused, somebody else is in the schedule (exit code 2)." ;;
    *) echo "Result: the rebuild failed (exit code $rc); see the messages above." ;;
esac
exit $rc
