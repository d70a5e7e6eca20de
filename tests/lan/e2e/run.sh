#!/usr/bin/env bash
# Builds the three-host test LAN (tejo, mirlo, sauce) with tests/lan/testlan.sh and runs a Python
# driver on it. The LAN goes with this shell: after the driver ends, fails or is interrupted.
#
#   run.sh DRIVER.py ARGS...        (PELMORA_PYTHON names the interpreter; default python3)
#
# Exit status: the driver's; 77 (skipped) without root, namespaces or Python.
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../testlan.sh
source "$here/../testlan.sh"
testlan_require
python=${PELMORA_PYTHON:-python3}
if ! command -v "$python" >/dev/null; then
  echo "no Python 3 ($python) for the driver; skipped"
  exit 77
fi
# PELMORA_TESTLAN_LAYOUT=routed: tejo alone on one subnet, mirlo and sauce behind a router that
# forwards directed broadcasts.
if [ "${PELMORA_TESTLAN_LAYOUT:-}" = routed ]; then
  testlan_create_routed tejo -- mirlo sauce && testlan_router_directed on \
    || { echo "cannot build the test LAN"; exit 1; }
else
  testlan_create tejo mirlo sauce || { echo "cannot build the test LAN"; exit 1; }
fi
export TESTLAN_ID TESTLAN_DIR
"$python" "$@"
exit $?
