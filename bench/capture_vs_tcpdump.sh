#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Floods the loopback interface of a private network namespace with small UDP datagrams
# (capture_flood, sendmmsg) and compares Netsiphon with tcpdump under the same conditions:
# both capture lo with an 8 MiB kernel buffer and write into a pipe read by `wc -c`; tcpdump
# and Netsiphon's 20-byte records (Netsiphon) take a 65536-byte snapshot, its 48-byte
# version-2 records (Netsiphon2) only the headers. Prints, per run, the share of sent frames
# each recorded and the CPU (user+sys, from /proc/<pid>/schedstat) it spent per recorded
# frame, then the spread.
#
# Usage: bench/capture_vs_tcpdump.sh [build dir] [datagrams per run] [rounds] [datagrams per second, 0 = unpaced]
#                                   [payload bytes per datagram, default 18]
#                                   [Netsiphon records: 1, 2 or both, default 1]
# Needs root (namespaces, capture). Runs the two tools alternately, round by round.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
datagrams=${2:-1000000}
rounds=${3:-3}
rate=${4:-0}
payload=${5:-18}
case ${6:-1} in
  1) record_versions=(1) ;;
  2) record_versions=(2) ;;
  both) record_versions=(1 2) ;;
  *) echo "records must be 1, 2 or both" >&2; exit 1 ;;
esac
tool=$build/libexec/quillmere/Netsiphon
flood=$build/bin/capture_flood
for program in "$tool" "$flood"; do
  [[ -x $program ]] || { echo "missing $program: build Netsiphon and capture_flood first" >&2; exit 1; }
done
[[ $(id -u) -eq 0 ]] || { echo "needs root: creates a network namespace and captures" >&2; exit 1; }

namespace=qm-bench-$$
work=$(mktemp -d)
cleanup() {
  ip netns delete "$namespace" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$namespace"
ip netns exec "$namespace" ip link set lo up

cpu_nanoseconds() { awk '{ print $1 }' "/proc/$1/schedstat"; }

# run <label> <byte count per frame, 0 = read from the capture's own summary> <command...>
# Prints: label sent recorded cpu_ns seconds
run() {
  local label=$1 bytes_per_frame=$2
  shift 2
  ip netns exec "$namespace" "$@" 2>"$work/stderr" | wc -c >"$work/bytes" &
  local pipeline=$!
  local pid=""
  for _ in $(seq 100); do
    pid=$(pgrep -n -f -- "^$*\$" || true)
    [[ -n $pid ]] && break
    sleep 0.05
  done
  sleep 1 # let the capture open and settle
  local before; before=$(cpu_nanoseconds "$pid")
  local sent seconds
  read -r sent seconds < <(ip netns exec "$namespace" "$flood" "$datagrams" 20 "$payload" "$rate")
  sleep 1 # let the capture drain what is queued
  local after; after=$(cpu_nanoseconds "$pid")
  kill -TERM "$pid"
  wait "$pipeline" || true
  local recorded
  if [[ $bytes_per_frame -eq 0 ]]; then
    recorded=$(awk '/packets captured/ { print $1 }' "$work/stderr")
  else
    recorded=$(( $(cat "$work/bytes") / bytes_per_frame ))
  fi
  echo "$label $sent $recorded $((after - before)) $seconds"
}

results=$work/results
for round in $(seq "$rounds"); do
  for version in "${record_versions[@]}"; do
    if [[ $version -eq 1 ]]; then
      run Netsiphon 20 "$tool" lo >>"$results"
    else
      run Netsiphon2 48 "$tool" --records=2 lo >>"$results"
    fi
  done
  run tcpdump 0 tcpdump -i lo -n -s 65536 -B 8192 -w - >>"$results"
done

awk '
  BEGIN { printf "%-10s %10s %10s %8s %12s %10s\n", "tool", "sent", "recorded", "share", "ns CPU/frm", "frames/s" }
  {
    share = $3 / $2 * 100; cost = $3 > 0 ? $4 / $3 : 0; rate = $2 / $5
    printf "%-10s %10d %10d %7.2f%% %12.1f %10.0f\n", $1, $2, $3, share, cost, rate
    n[$1]++; s[$1, n[$1]] = share; c[$1, n[$1]] = cost
  }
  END {
    print ""
    printf "%-10s %22s %26s\n", "spread", "share min..max", "ns CPU/frame min..max"
    for (t in n) {
      smin = smax = s[t, 1]; cmin = cmax = c[t, 1]
      for (i = 2; i <= n[t]; i++) {
        if (s[t, i] < smin) smin = s[t, i]; if (s[t, i] > smax) smax = s[t, i]
        if (c[t, i] < cmin) cmin = c[t, i]; if (c[t, i] > cmax) cmax = c[t, i]
      }
      printf "%-10s %10.2f%%..%7.2f%% %14.1f..%9.1f\n", t, smin, smax, cmin, cmax
    }
  }' "$results"
