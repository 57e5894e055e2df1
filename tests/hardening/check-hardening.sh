#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the hardening of everything that ships: every source of the application, its
# libraries and the tools is compiled with the stack protector, stack-clash protection and,
# in optimised builds without sanitizers, _FORTIFY_SOURCE; every program given is a
# position-independent executable with read-only relocations bound at start and no
# executable stack.
# Usage: check-hardening.sh <build dir> <source dir> fortified|unfortified <program...>
set -euo pipefail
build=$1 source=$2 fortify=$3; shift 3
wanted=(-fstack-protector-strong -fstack-clash-protection)
[[ $fortify == fortified ]] && wanted+=(-D_FORTIFY_SOURCE=3)
status=0
lacks() { echo "$1: lacks $2" >&2; status=1; }

command=
while IFS= read -r line; do
  case $line in
    *'"command":'*) command=$line ;;
    *'"file": "'"$source"/app/*|*'"file": "'"$source"/tools/*)
      file=${line#*\"file\": \"}
      for flag in "${wanted[@]}"; do
        [[ " $command " == *" $flag "* ]] || lacks "${file%\"*}" "$flag"
      done ;;
  esac
done <"$build/compile_commands.json"

for program in "$@"; do
  readelf -dW "$program" | grep -q 'Flags:.*NOW.*PIE' || lacks "$program" "-pie -z now"
  readelf -lW "$program" | grep -q 'GNU_RELRO' || lacks "$program" "-z relro"
  readelf -lW "$program" | grep 'GNU_STACK' | grep -q 'RWE' && lacks "$program" "-z noexecstack"
done
exit $status
