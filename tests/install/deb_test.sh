#!/usr/bin/env bash
# The Debian package as a person installs it: built with cpack, its file list and
# Depends checked, unpacked with dpkg -x into a temporary root. There the installed
# editor, started through bin/markweaver from a program folder it cannot write, makes
# a package that plays; `markweaver MAP` opens MAP; the desktop entry is valid.
# Usage: deb_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# 1. The package and what it holds.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null
deb=$(ls "$work"/deb/markweaver_*_amd64.deb)
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
for path in /usr/bin/markweaver /usr/lib/markweaver/markweaver /usr/lib/markweaver/runner.dll \
  /usr/lib/markweaver/MarkWeaverL.dll /usr/lib/markweaver/tract.dll /usr/lib/markweaver/kecab.dll \
  /usr/lib/markweaver/readme.txt /usr/share/applications/markweaver.desktop \
  /usr/share/icons/hicolor/scalable/apps/markweaver.svg \
  /usr/share/icons/hicolor/48x48/apps/markweaver.png \
  /usr/share/icons/hicolor/256x256/apps/markweaver.png \
  /usr/share/mime/packages/markweaver.xml /usr/share/man/man1/markweaver.1.gz \
  /usr/share/doc/markweaver/copyright; do
  grep -qx "$path" "$work/files" || fail "$path is not in the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libmpv2 ffmpeg libqt6widgets6 libqt6gui6 libqt6core6 libarchive13 libjpeg62-turbo libc6; do
  [[ ",$depends," == *", $library "* || ",$depends," == *",$library "* ]] ||
    fail "Depends does not name $library: $depends"
done
echo "package: $(basename "$deb"), Depends: $depends"

# 2. Unpacked into a root of its own.
root="$work/root"
dpkg -x "$deb" "$root"
[ "$(readlink "$root/usr/bin/markweaver")" = "../lib/markweaver/markweaver" ] ||
  fail "bin/markweaver is not a link to the program folder's editor"
desktop-file-validate "$root/usr/share/applications/markweaver.desktop" ||
  fail "the desktop entry is not valid"
grep -qx 'Exec=markweaver %f' "$root/usr/share/applications/markweaver.desktop" ||
  fail "the desktop entry does not start markweaver %f"
"$root/usr/bin/markweaver" --version | grep -qx "MarkWeaver $(dpkg-deb -f "$deb" Version)" ||
  fail "--version does not give the package's version"

# 3. A map of two real photos.
maps="$work/maps"
mkdir -p "$maps" "$work/out" "$work/tmp"
convert -size 320x240 gradient:skyblue-darkgreen "$maps/hall.jpg"
convert -size 320x240 gradient:orange-brown "$maps/garden.jpg"
mark() { printf '%s\r\n0.5\r\n0.5\r\n10\r\n%s\r\n<reserved>\r\n0\r\n0\r\n%s\r\n' "$1" "$2" "$3"; }
{
  printf 'markweaverdata1.01\r\n400\r\n300\r\n'
  mark "$maps/hall.jpg" "$maps/garden.jpg" "To the garden"
  mark "$maps/garden.jpg" "$maps/hall.jpg" "Back in"
} >"$maps/tour.clm"

# 4. A package made by the installed editor from a program folder it cannot write:
# a read-only bind mount as root, a folder without write permission otherwise.
program="$root/usr/lib/markweaver"
run_installed=()
if [ "$(id -u)" -eq 0 ]; then
  run_installed=(unshare -m sh -c 'mount --bind -o ro "$0" "$0" && exec "$@"' "$program")
else
  chmod a-w "$program"
  trap 'chmod u+w "$program"; rm -rf "$work"' EXIT
fi
XDG_DATA_HOME="$work/data" TMPDIR="$work/tmp" "${run_installed[@]}" \
  "$root/usr/bin/markweaver" --make-package "$maps/tour.clm" --output "$work/out/tour.exe" \
  --message "Welcome" 2>"$work/make.log" || { cat "$work/make.log" >&2; fail "--make-package failed"; }
tail -1 "$work/make.log" | grep -q "package made: $work/out/tour.exe" || fail "no success line"
[ -x "$work/out/tour.exe" ] || fail "no package made"
[ -d "$work/data/markweaver/Packages" ] || fail "no workshop folder"
[ ! -e "$program/ptemp" ] && [ ! -e "$program/Packages" ] || fail "the program folder was written"
echo "package made from a read-only program folder"

# 5. The package plays: the player's start report names its start clip and the message.
QT_QPA_PLATFORM=offscreen TMPDIR="$work/tmp" MW_PLAYER_START_REPORT="$work/report" \
  timeout 60 "$work/out/tour.exe" >"$work/play.log" 2>&1 || true
grep -qx 'clip=hall.jpg' "$work/report" 2>/dev/null ||
  { cat "$work/play.log" "$work/report" >&2 || true; fail "the package did not show its start clip"; }
grep -qx 'message=Welcome' "$work/report" || fail "the package did not show its message"
echo "the package plays"

# 6. `markweaver MAP` opens MAP: its title names the map, and the settings file there too.
cat >"$work/open.sh" <<'OPEN'
#!/bin/bash
env -u QT_QPA_PLATFORM "$EDITOR_LINK" "$MAP" >"$WORK/open.log" 2>&1 &
pid=$!
found=1
for _ in $(seq 100); do
  if xdotool search --name "MarkWeaver Editor - $MAP" >/dev/null 2>&1; then found=0; break; fi
  sleep 0.1
done
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit $found
OPEN
cd "$work"
EDITOR_LINK="$root/usr/bin/markweaver" MAP="$maps/tour.clm" WORK="$work" \
  xvfb-run -a -n $((200 + RANDOM % 500)) bash "$work/open.sh" || { cat "$work/open.log" >&2; fail "markweaver MAP did not open MAP"; }
grep -q "^$maps/tour.clm" "$maps/markweaver.ini" || fail "the settings file does not follow MAP"
echo "markweaver MAP opens MAP"
echo "PASS"
