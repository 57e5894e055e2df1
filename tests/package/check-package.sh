#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the Debian package and the install layout, as root:
#  - lintian, desktop-file-validate and appstreamcli validate pass;
#  - every file sits where the application looks for it;
#  - `cmake --install` into another prefix gives an application that finds its tools;
#  - in a private mount namespace, over overlays of /usr, /var and /etc, so this machine stays
#    untouched (no group, no package): `cmake --install` into another prefix gives an
#    application that installs its tool and captures; installing the package leaves the tool
#    set-user-ID for the group quillmere, known to dpkg; the installed application captures
#    without installing anything; a user outside the group is refused and told how to get
#    access, a member captures; reconfiguring lets every user capture; purging removes the
#    tool and the group.
# Usage: tests/package/check-package.sh <package build dir>
set -euo pipefail
build=$(cd "$1" && pwd)
deb=$(ls "$build"/quillmere_*_amd64.deb)
work=$(mktemp -d)
# Others may reach what the test user nobody reads and writes in here.
chmod 755 "$work"
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
for file in usr/bin/quillmere usr/lib/quillmere/Netsiphon usr/lib/quillmere/Rootmantle usr/libexec/Quillmere/Netsiphon \
            usr/share/polkit-1/actions/org.quillmere.Quillmere.policy \
            usr/share/quillmere/Help/index.html usr/share/quillmere/Summary.png usr/share/quillmere/Quillmere.png \
            usr/share/man/man1/quillmere.1.gz usr/share/man/man8/Netsiphon.8.gz usr/share/doc/quillmere/copyright \
            usr/share/icons/hicolor/scalable/apps/org.quillmere.Quillmere.svg; do
  [[ -e $root/$file ]] || fail "missing /$file"
done

ip netns add "$namespace"
ip -n "$namespace" link set lo up

# captures <quillmere> [environment...]: the window-less mode sees a datagram on lo; started
# through $runner (a user's ids) when that is set.
captures() {
  local program=$1; shift
  local output=$work/run.json
  # shellcheck disable=SC2086
  ip netns exec "$namespace" ${runner:-} env XDG_CONFIG_HOME="$work/config" "$@" \
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
mkdir -m 1777 "$work/config"

mkdir -p "$work"/overlay/{usr,var,etc}/{upper,work}
export -f captures fail
export namespace work deb prefix
unshare -m bash -euo pipefail -c '
  for tree in usr var etc; do
    mount -t overlay overlay -o "lowerdir=/$tree,upperdir=$work/overlay/$tree/upper,workdir=$work/overlay/$tree/work" "/$tree"
  done
  captures "$prefix/bin/quillmere" QUILLMERE_SUPPORT_DIR="$work/support"
  [[ -u $work/support/Quillmere/Netsiphon ]] || fail "the installed application did not install its capture tool"

  export DEBIAN_FRONTEND=noninteractive
  tool=/usr/libexec/Quillmere/Netsiphon
  dpkg -i "$deb" >/dev/null
  [[ $(stat -c "%U %G %a" $tool) == "root quillmere 4750" ]] ||
    fail "the package did not install the capture tool for the group quillmere: $(stat -c "%U %G %a" $tool)"
  [[ $(dpkg -S $tool) == "quillmere: $tool" ]] || fail "dpkg does not know $tool"
  before=$(stat -c %i $tool)
  captures /usr/bin/quillmere
  [[ $(stat -c %i $tool) == "$before" ]] || fail "the first capture installed the tool again"

  nobody="setpriv --reuid=65534 --regid=65534"
  if $nobody --clear-groups sh -c "exec $tool lo" 2>"$work/refused"; then
    fail "a user outside the group ran the capture tool"
  fi
  grep -q "Permission denied" "$work/refused" || fail "the capture tool was not refused: $(cat "$work/refused")"
  if ip netns exec "$namespace" $nobody --clear-groups env XDG_CONFIG_HOME="$work/config" timeout 60 \
      /usr/bin/quillmere --headless --interface lo </dev/null >/dev/null 2>"$work/refused"; then
    fail "the application captured for a user outside the group"
  fi
  grep -q "adduser nobody quillmere" "$work/refused" || fail "the application did not say how to get access: $(cat "$work/refused")"
  usermod --append --groups quillmere nobody
  runner="$nobody --init-groups" captures /usr/bin/quillmere

  echo "quillmere quillmere/everyone-captures boolean true" | debconf-set-selections
  dpkg-reconfigure quillmere >/dev/null 2>&1
  [[ $(stat -c "%U %G %a" $tool) == "root root 4555" ]] || fail "reconfiguring did not let every user capture"
  runner="$nobody --clear-groups" captures /usr/bin/quillmere

  dpkg --purge quillmere >/dev/null
  [[ ! -e $tool ]] || fail "purging the package left the capture tool"
  ! getent group quillmere >/dev/null || fail "purging the package left the group quillmere"
'
echo "package check: passed ($deb)"
