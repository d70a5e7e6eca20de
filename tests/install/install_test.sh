#!/usr/bin/env bash
# `cmake --install` into a staging folder (DESTDIR): every file where a desktop looks for it,
# each passing its format's validator; then `cpack` on the same build: a .deb whose control
# fields are filled in and whose dependencies were computed from the libraries.
#   install_test.sh BUILD_DIR
set -u
BUILD=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in desktop-file-validate appstreamcli man dpkg-deb cpack; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup-deps); skipped" >&2; exit 77; }
done
WORK=$(mktemp -d /tmp/pelmora-install.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
STAGE=$WORK/stage

DESTDIR=$STAGE cmake --install "$BUILD" --prefix /usr >"$WORK/install.log" 2>&1 ||
  { cat "$WORK/install.log" >&2; fail "cmake --install"; }

for f in usr/bin/pelmora usr/bin/pelmora-cli; do
  [ -x "$STAGE/$f" ] || fail "$f is not installed as a program"
done
app=$STAGE/usr/share/applications/pelmora.desktop
autostart=$STAGE/etc/xdg/autostart/pelmora.desktop
for f in "$app" "$autostart"; do
  [ -f "$f" ] || fail "${f#"$STAGE"} missing"
  desktop-file-validate "$f" || fail "${f#"$STAGE"} does not validate"
  # What the entries start must be what was installed, and their icon must be in the theme.
  exec_line=$(grep '^Exec=' "$f")
  [ "$exec_line" = "Exec=pelmora" ] || fail "${f#"$STAGE"}: $exec_line"
  grep -qx 'Icon=pelmora' "$f" || fail "${f#"$STAGE"}: no Icon=pelmora"
done
grep -Eq '^Categories=(.*;)?Network;(.*;)?InstantMessaging;' "$app" ||
  fail "the menu entry is not in Network and InstantMessaging"
grep -q '^NoDisplay=true' "$autostart" || fail "the autostart entry would show in the menu"

icons=$STAGE/usr/share/icons/hicolor
[ -f "$icons/scalable/apps/pelmora.svg" ] || fail "no scalable icon"
pngs=("$icons"/*/apps/pelmora.png)
[ -f "${pngs[0]}" ] || fail "no PNG icon"
for png in "${pngs[@]}"; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  # A PNG's width and height are big-endian words at bytes 16 and 20.
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$dims" = "$size" ] || fail "${png#"$STAGE"} is $dims, in the folder for $size"
done

meta=$STAGE/usr/share/metainfo/com.quendal.pelmora.metainfo.xml
[ -f "$meta" ] || fail "no metainfo"
appstreamcli validate --no-net --pedantic "$meta" || fail "the metainfo does not validate"
grep -q '<launchable type="desktop-id">pelmora.desktop</launchable>' "$meta" ||
  fail "the metainfo does not name the installed menu entry"
grep -q "<id>$(basename "$meta" .metainfo.xml)</id>" "$meta" ||
  fail "the metainfo file is not named after its id"

for page in pelmora.1 pelmora-cli.1; do
  f=$STAGE/usr/share/man/man1/$page
  [ -f "$f" ] || fail "no manual page $page"
  LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$f" \
    >/dev/null 2>"$WORK/man.err"
  [ ! -s "$WORK/man.err" ] || { cat "$WORK/man.err" >&2; fail "$page has warnings"; }
done
# Every command of the companion is in its manual page.
"$STAGE/usr/bin/pelmora-cli" --help >"$WORK/help" || fail "the installed pelmora-cli --help"
for cmd in $(awk '/^  [a-z]/ {print $1}' "$WORK/help"); do
  grep -q "^\.B pelmora\\\\-cli $cmd" "$STAGE/usr/share/man/man1/pelmora-cli.1" ||
    fail "pelmora-cli.1 does not describe $cmd"
done

# The package, from the same build and install rules.
(cd "$WORK" && cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/pkg" \
  >"$WORK/cpack.log" 2>&1) || { cat "$WORK/cpack.log" >&2; fail "cpack"; }
debs=("$WORK"/pkg/*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no .deb"
deb=${debs[0]}
dpkg-deb -f "$deb" Package Version Maintainer Depends Description >"$WORK/control"
grep -q '^Package: pelmora$' "$WORK/control" || fail "package name"
grep -Eq '^Maintainer: .+ <[^>]+@[^>]+>$' "$WORK/control" || fail "no maintainer"
grep -Eq '^Depends: .*libqt6widgets6 \(>= ' "$WORK/control" || fail "Qt not among the dependencies"
grep -Eq '^Depends: .*libc6 \(>= ' "$WORK/control" || fail "the C library not among the dependencies"
[ "$(sed -n '/^Description:/,$p' "$WORK/control" | wc -l)" -ge 3 ] || fail "no long description"
dpkg-deb -c "$deb" | awk '{print $6}' >"$WORK/files"
for f in ./usr/bin/pelmora ./usr/bin/pelmora-cli ./usr/share/applications/pelmora.desktop \
  ./etc/xdg/autostart/pelmora.desktop ./usr/share/man/man1/pelmora.1; do
  grep -qx -- "$f" "$WORK/files" || fail "$f is not in the package"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx '/etc/xdg/autostart/pelmora.desktop' ||
  fail "the autostart entry is not a conffile"
echo ok
