#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the Debian package and the install layout, as root:
#  - lintian, desktop-file-validate and appstreamcli validate pass;
#  - every file sits where the application looks for it;
#  - `cmake --install` into another prefix gives an application that finds its tools;
#  - installing the package (in a private mount namespace, over overlays of /usr, /var and
#    /etc, so this machine stays untouched) leaves the set-user-ID capture tool in place,
#    the installed application captures without installing anything, and removing the
#    package removes the tool.
# Usage: tests/package/check-package.sh <package build dir>
set -euo pipefail
build=$(cd "$1" && pwd)
deb=$(ls "$build"/quillmere_*_amd64.deb)
work=$(mktemp -d)
namespace=qm-package-$$
cleanup() {
  ip netns delete "$namespace" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package check: $*" >&2; exit 1; }

lintian --fail-on error,warning --tag-display-limit 0 "$deb"

root=$work/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/org.quillmere.Quillmere.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.quillmere.Quillmere.metainfo.xml" >/dev/null
for file in usr/bin/quillmere usr/lib/quillmere/Netsiphon usr/lib/quillmere/Rootmantle \
            usr/share/quillmere/Help/index.html usr/share/quillmere/Summary.png usr/share/quillmere/Quillmere.png \
            usr/share/man/man1/quillmere.1.gz usr/share/man/man8/Netsiphon.8.gz usr/share/doc/quillmere/copyright \
            usr/share/icons/hicolor/scalable/apps/org.quillmere.Quillmere.svg; do
  [[ -e $root/$file ]] || fail "missing /$file"
done

ip netns add "$namespace"
ip -n "$namespace" link set lo up

# captures <quillmere> [environment...]: the window-less mode sees a datagram on lo.
captures() {
  local program=$1; shift
  local output=$work/run.json
  ip netns exec "$namespace" env XDG_CONFIG_HOME="$work/config" "$@" \
    "$program" --headless --interface lo --interval 0.3 --json >"$output" 2>"$work/run.err" &
  local run=$!
  for _ in $(seq 50); do
    ip netns exec "$namespace" bash -c 'echo probe >/dev/udp/127.0.0.1/9999' 2>/dev/null || true
    grep -q '"protocol":"UDP"' "$output" 2>/dev/null && break
    sleep 0.2
  done
  kill -TERM "$run"
  wait "$run" || fail "$program did not end with status 0 on SIGTERM: $(cat "$work/run.err")"
  grep -q '"protocol":"UDP"' "$output" || fail "$program captured nothing: $(cat "$work/run.err")"
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
captures "$prefix/bin/quillmere" QUILLMERE_SUPPORT_DIR="$work/support"
[[ -u $work/support/Quillmere/Netsiphon ]] || fail "the installed application did not install its capture tool"

mkdir -p "$work"/overlay/{usr,var,etc}/{upper,work}
export -f captures fail
export namespace work deb
unshare -m bash -euo pipefail -c '
  for tree in usr var etc; do
    mount -t overlay overlay -o "lowerdir=/$tree,upperdir=$work/overlay/$tree/upper,workdir=$work/overlay/$tree/work" "/$tree"
  done
  dpkg -i "$deb" >/dev/null
  [[ -u /usr/libexec/Quillmere/Netsiphon && $(stat -c %U /usr/libexec/Quillmere/Netsiphon) == root ]] ||
    fail "the package did not install the set-user-ID capture tool"
  before=$(stat -c %i /usr/libexec/Quillmere/Netsiphon)
  captures /usr/bin/quillmere
  [[ $(stat -c %i /usr/libexec/Quillmere/Netsiphon) == "$before" ]] || fail "the first capture installed the tool again"
  dpkg -r quillmere >/dev/null
  [[ ! -e /usr/libexec/Quillmere/Netsiphon ]] || fail "removing the package left the capture tool"
'
echo "package check: passed ($deb)"
