#!/usr/bin/env bash
# One reader per slot and machine: a second holder of a slot fails with "Mailslot already
# exists", while different processes on one machine hold different slots and each gets its own.
set -u
PROBE=$1
source "$(dirname "$0")/testlan.sh"
source "$(dirname "$0")/common.sh"
testlan_require
testlan_create tejo mirlo || exit 1

hold mirlo popup messngr
hold mirlo program seguro Utils
hold mirlo second SEGURO
expect_count second "^ERROR SEGURO Mailslot already exists$" 1 "second holder of seguro"
hold mirlo third utils messngr
expect_count third "^ERROR utils Mailslot already exists$" 1 "second holder of Utils"
# The same name on another machine is no conflict.
hold tejo other seguro
expect_count other "^READY$" 1 "seguro on another machine"

write tejo MIRLO messngr "al-popup"
write tejo MIRLO seguro "al-programa"
write tejo MIRLO UTILS "a-utils"
write mirlo . MESSNGR "local-al-popup"
write tejo PRUEBAS seguro "grupo"
settle 1
expect_count popup "^GOT messngr 8 al-popup$" 1 "messenger slot from another machine"
expect_count popup "^GOT messngr 14 local-al-popup$" 1 "messenger slot from this machine"
expect_count popup "^GOT" 2 "total in the messenger process"
expect_count program "^GOT seguro 11 al-programa$" 1 "seguro in the other process"
expect_count program "^GOT Utils 7 a-utils$" 1 "Utils in the other process"
expect_count program "^GOT seguro 5 grupo$" 1 "workgroup write in the other process"
expect_count program "^GOT" 3 "total in the program process"
expect_count other "^GOT seguro 5 grupo$" 1 "workgroup write on the writer's machine"
expect_count other "^GOT" 1 "total on tejo"

# The first holder ends; the slot is free for the next one and receives again.
kill "$PID_program"
wait "$PID_program" 2>/dev/null
hold mirlo again seguro
expect_count again "^READY$" 1 "seguro free again after its holder ended"
write tejo mirlo seguro "de-nuevo"
settle
expect_count again "^GOT seguro 8 de-nuevo$" 1 "new holder receives"
finish
