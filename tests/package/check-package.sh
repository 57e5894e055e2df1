#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the Debian packages and the install layout, as root:
#  - lintian, desktop-file-validate and appstreamcli validate pass;
#  - quillmere-common (the window-less program and the helpers) depends on no display library
#    and its program links none; quillmere (the windows) depends on quillmere-common of its
#    own version;
#  - every file sits in its package where the application looks for it;
#  - in a private mount namespace, over overlays of /usr, /var and /etc, so this machine stays
#    untouched (no group, no package): `cmake --install` into another prefix gives an
#    application that installs its tool and captures; installing quillmere-common alone leaves
#    the tool set-user-ID for the group quillmere, known to dpkg; the installed application
#    captures without installing anything, and its window mode says how to run without
#    windows; with quillmere installed too the window mode captures and quits on SIGTERM; a
#    user outside the group is refused and told how to get access, a member captures;
#    an upgrade keeps the access an administrator granted and a mode they chose;
#    reconfiguring lets every user capture; purging removes the tool and keeps the user and
#    the group;
#  - systemd accepts the service quillmere@ (where systemd-analyze can run).
# Usage: tests/package/check-package.sh <package build dir>
set -euo pipefail
build=$(cd "$1" && pwd)
common_deb=$(ls "$build"/quillmere-common_*_amd64.deb)
windows_deb=$(ls "$build"/quillmere_*_amd64.deb)
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

for deb in "$common_deb" "$windows_deb"; do
  lintian --fail-on error,warning --tag-display-limit 0 "$deb"
done

# A server installs no X or Wayland libraries with the window-less package.
display_libraries='libqt6gui|libqt6widgets|libx11|libxcb|libwayland|libgl1|libegl|libopengl|libxkbcommon|libfontconfig'
common_depends=$(dpkg-deb -f "$common_deb" Depends)
if grep -Eq "$display_libraries" <<<"$common_depends"; then
  fail "quillmere-common depends on display libraries: $common_depends"
fi
version=$(dpkg-deb -f "$common_deb" Version)
[[ $(dpkg-deb -f "$windows_deb" Depends) == *"quillmere-common (= $version)"* ]] ||
  fail "quillmere does not depend on quillmere-common $version: $(dpkg-deb -f "$windows_deb" Depends)"

root=$work/root
mkdir "$root"
dpkg-deb -x "$common_deb" "$root/common"
dpkg-deb -x "$windows_deb" "$root/windows"
if readelf -dW "$root/common/usr/bin/quillmere" | grep NEEDED | grep -Eq 'libQt6(Gui|Widgets)'; then
  fail "the window-less program links display libraries"
fi
desktop-file-validate "$root/windows/usr/share/applications/org.quillmere.Quillmere.desktop"
appstreamcli validate --no-net "$root/windows/usr/share/metainfo/org.quillmere.Quillmere.metainfo.xml" >/dev/null
for file in common/usr/bin/quillmere common/usr/lib/quillmere/Netsiphon common/usr/lib/quillmere/Rootmantle \
            common/usr/libexec/Quillmere/Netsiphon common/usr/share/polkit-1/actions/org.quillmere.Quillmere.policy \
            common/usr/share/quillmere/translations/quillmere_de.qm common/usr/share/man/man1/quillmere.1.gz \
            common/usr/share/man/man8/Netsiphon.8.gz common/usr/share/doc/quillmere-common/copyright \
            windows/usr/lib/quillmere/quillmere-windows windows/usr/share/quillmere/Help/index.html \
            windows/usr/share/quillmere/Summary.png windows/usr/share/quillmere/Quillmere.png \
            windows/usr/share/icons/hicolor/scalable/apps/org.quillmere.Quillmere.svg \
            windows/usr/share/doc/quillmere/copyright; do
  [[ -e $root/$file ]] || fail "missing /${file#*/} in the package ${file%%/*}"
done

ip netns add "$namespace"
ip -n "$namespace" link set lo up

# captures <quillmere> [environment...]: the window-less mode sees a datagram on lo; started
# through $runner (a user's ids) when that is set.
captures() {
  local program=$1; shift
  local output=$work/run.json
  # shellcheck disable=SC2086
  ip netns exec "$namespace" ${runner:-} env XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" "$@" \
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

# watches: the window mode, drawn off screen, starts its capture on lo and quits on SIGTERM.
watches() {
  ip netns exec "$namespace" env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
    /usr/bin/quillmere --interface lo 2>"$work/window.err" &
  local run=$!
  for _ in $(seq 50); do
    [[ $(ip netns pids "$namespace" | wc -l) -ge 2 ]] && break
    sleep 0.2
  done
  [[ $(ip netns pids "$namespace" | wc -l) -ge 2 ]] || fail "the window mode started no capture: $(cat "$work/window.err")"
  kill -TERM "$run"
  wait "$run" || fail "the window mode did not end with status 0 on SIGTERM: $(cat "$work/window.err")"
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
mkdir -m 1777 "$work/config" "$work/data"

mkdir -p "$work"/overlay/{usr,var,etc}/{upper,work}
export -f captures watches fail
export namespace work common_deb windows_deb prefix
unshare -m bash -euo pipefail -c '
  for tree in usr var etc; do
    mount -t overlay overlay -o "lowerdir=/$tree,upperdir=$work/overlay/$tree/upper,workdir=$work/overlay/$tree/work" "/$tree"
  done
  captures "$prefix/bin/quillmere" QUILLMERE_SUPPORT_DIR="$work/support"
  [[ -u $work/support/Quillmere/Netsiphon ]] || fail "the installed application did not install its capture tool"

  export DEBIAN_FRONTEND=noninteractive
  tool=/usr/libexec/Quillmere/Netsiphon
  dpkg -i "$common_deb" >/dev/null
  [[ $(stat -c "%U %G %a" $tool) == "root quillmere 4750" ]] ||
    fail "the package did not install the capture tool for the group quillmere: $(stat -c "%U %G %a" $tool)"
  [[ $(dpkg -S $tool) == "quillmere-common: $tool" ]] || fail "dpkg does not know $tool"
  [[ $(id -gn quillmere) == quillmere ]] || fail "the package made no user quillmere in the group quillmere"
  # The service as systemd loads it for one interface.
  if systemd-analyze --version >/dev/null 2>&1; then
    cp /lib/systemd/system/quillmere@.service "$work/quillmere@lo.service"
    systemd-analyze verify "$work/quillmere@lo.service" || fail "systemd does not accept quillmere@.service"
  else
    echo "package check: systemd-analyze cannot run here, so quillmere@.service is not verified"
  fi
  before=$(stat -c %i $tool)
  captures /usr/bin/quillmere
  [[ $(stat -c %i $tool) == "$before" ]] || fail "the first capture installed the tool again"
  status=0
  /usr/bin/quillmere 2>"$work/windowless" || status=$?
  [[ $status -eq 2 ]] || fail "the window mode without the window package ended with status $status, not 2"
  grep -q "has no windows.*--headless" "$work/windowless" ||
    fail "the window mode did not say how to run without windows: $(cat "$work/windowless")"

  windows=/usr/lib/quillmere/quillmere-windows
  dpkg -i "$windows_deb" >/dev/null
  [[ $(dpkg -S $windows) == "quillmere: $windows" ]] || fail "dpkg does not know $windows"
  watches

  nobody="setpriv --reuid=65534 --regid=65534"
  if $nobody --clear-groups sh -c "exec $tool lo" 2>"$work/refused"; then
    fail "a user outside the group ran the capture tool"
  fi
  grep -q "Permission denied" "$work/refused" || fail "the capture tool was not refused: $(cat "$work/refused")"
  if ip netns exec "$namespace" $nobody --clear-groups env XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" timeout 60 \
      /usr/bin/quillmere --headless --interface lo </dev/null >/dev/null 2>"$work/refused"; then
    fail "the application captured for a user outside the group"
  fi
  grep -q "adduser nobody quillmere" "$work/refused" || fail "the application did not say how to get access: $(cat "$work/refused")"
  usermod --append --groups quillmere nobody
  runner="$nobody --init-groups" captures /usr/bin/quillmere

  setfacl --modify user:12345:r-x,mask::r-- $tool
  PKEXEC_UID=65534 dpkg -i "$common_deb" >/dev/null
  getfacl --omit-header $tool 2>/dev/null | grep -q "^user:12345:r-x" ||
    fail "an upgrade dropped the access an administrator granted: $(getfacl --omit-header $tool 2>&1)"
  getfacl --omit-header $tool 2>/dev/null | grep -qx "mask::r--" ||
    fail "an upgrade widened the mask an administrator narrowed: $(getfacl --omit-header $tool 2>&1)"
  setfacl --modify mask::r-x $tool
  getfacl --omit-header $tool 2>/dev/null | grep -q "^user:65534:" &&
    fail "an upgrade run through an approval granted access to the approving user"
  [[ $(stat -c "%U %G %a" $tool) == "root quillmere 4750" ]] ||
    fail "an upgrade changed who may capture: $(stat -c "%U %G %a" $tool)"

  echo "quillmere-common quillmere/everyone-captures boolean true" | debconf-set-selections
  dpkg-reconfigure quillmere-common >/dev/null 2>&1
  [[ $(stat -c "%U %G %a" $tool) == "root root 4555" ]] || fail "reconfiguring did not let every user capture"
  runner="$nobody --clear-groups" captures /usr/bin/quillmere

  dpkg-statoverride --remove $tool
  dpkg-statoverride --update --add root root 755 $tool
  setfacl --modify user:12345:r-x $tool
  dpkg -i "$common_deb" >/dev/null
  [[ $(stat -c "%U %G %a" $tool) == "root root 755" ]] ||
    fail "an upgrade overruled the administrator who took set-user-ID away: $(stat -c "%U %G %a" $tool)"

  dpkg --purge quillmere quillmere-common >/dev/null
  [[ ! -e $tool ]] || fail "purging the package left the capture tool"
  getent group quillmere >/dev/null || fail "purging the package removed the group quillmere, which files may still name"
  getent passwd quillmere >/dev/null || fail "purging the package removed the user quillmere, which files may still name"
'
echo "package check: passed ($common_deb, $windows_deb)"
