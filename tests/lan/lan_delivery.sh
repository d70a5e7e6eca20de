#!/usr/bin/env bash
# Three machines: each slot receives what another machine writes to it, once; a write to the
# workgroup reaches every machine of the workgroup (the writer's own once) and no other.
set -u
PROBE=$1
source "$(dirname "$0")/testlan.sh"
source "$(dirname "$0")/common.sh"
testlan_require
testlan_create tejo mirlo pardal gorrion || exit 1
# gorrion is on the same wire but in another workgroup.
testlan_conf gorrion $'[RED]\nGRUPO_TRABAJO = OTRO\n'

hold tejo tejo seguro Utils
hold mirlo mirlo seguro Utils
hold pardal pardal seguro Utils
hold gorrion gorrion seguro Utils

write tejo MIRLO SEGURO "tejo-a-mirlo"
write mirlo pardal seguro "mirlo-a-pardal"
write pardal Tejo UTILS "pardal-a-tejo"
write gorrion tejo utils "gorrion-a-tejo"  # another workgroup, still the same LAN
write tejo tejo seguro "tejo-a-si-mismo"
write tejo . Utils "tejo-local"
write tejo PRUEBAS SEGURO "a-todo-el-grupo"
write mirlo nadie seguro "a-nadie"  # no such machine: the frame leaves, nobody takes it
settle 1

expect_count mirlo "GOT seguro 12 tejo-a-mirlo$" 1 "direct write"
expect_count pardal "GOT seguro 14 mirlo-a-pardal$" 1 "direct write, lower-case name"
expect_count tejo "GOT Utils 13 pardal-a-tejo$" 1 "slot name in another letter case"
expect_count tejo "GOT Utils 14 gorrion-a-tejo$" 1 "from a machine of another workgroup"
expect_count tejo "tejo-a-si-mismo$" 1 "to the own computer name"
expect_count tejo "tejo-local$" 1 "to ."
for h in tejo mirlo pardal; do
  expect_count $h "GOT seguro 15 a-todo-el-grupo$" 1 "workgroup write"
done
expect_count gorrion "a-todo-el-grupo" 0 "workgroup write outside the workgroup"
for h in tejo mirlo pardal gorrion; do
  expect_count $h "a-nadie" 0 "write to a machine that does not exist"
done
# Nothing arrived anywhere else.
expect_count tejo "^GOT" 5 "total on tejo"
expect_count mirlo "^GOT" 2 "total on mirlo"
expect_count pardal "^GOT" 2 "total on pardal"
expect_count gorrion "^GOT" 0 "total on gorrion"
finish
