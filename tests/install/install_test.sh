#!/usr/bin/env bash
# `cmake --install` into a staging folder (DESTDIR): every file where a desktop looks for it,
# each passing its format's validator; then `cpack` on the same build: a .deb whose control
# fields are filled in and whose dependencies were computed from the libraries, which passes
# lintian, installs into a throw-away root with dpkg, works there and goes away again.
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

doc=$STAGE/usr/share/doc/pelmora
grep -q '^License: ' "$doc/copyright" || fail "no licence in the copyright file"
gzip -t "$doc/changelog.gz" || fail "the changelog is not compressed"
zcat "$doc/changelog.gz" | head -n 1 | grep -q '^pelmora (0\.31b) ' ||
  fail "the changelog's first entry is not this version"
for page in pelmora.1.gz pelmora-cli.1.gz; do
  f=$STAGE/usr/share/man/man1/$page
  [ -f "$f" ] || fail "no manual page $page"
  LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$f" \
    >/dev/null 2>"$WORK/man.err"
  [ ! -s "$WORK/man.err" ] || { cat "$WORK/man.err" >&2; fail "$page has warnings"; }
done
# Every command of the companion is in its manual page.
"$STAGE/usr/bin/pelmora-cli" --help >"$WORK/help" || fail "the installed pelmora-cli --help"
for cmd in $(awk '/^  [a-z]/ {print $1}' "$WORK/help"); do
  zcat "$STAGE/usr/share/man/man1/pelmora-cli.1.gz" | grep -q "^\.B pelmora\\\\-cli $cmd" ||
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
  ./etc/xdg/autostart/pelmora.desktop ./usr/share/man/man1/pelmora.1.gz \
  ./usr/share/doc/pelmora/copyright ./usr/share/doc/pelmora/changelog.gz; do
  grep -qx -- "$f" "$WORK/files" || fail "$f is not in the package"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx '/etc/xdg/autostart/pelmora.desktop' ||
  fail "the autostart entry is not a conffile"

# Debian's own checks of the package, when lintian is installed (scripts/setup-deps puts it
# there): an error or a warning fails. Overrides, each with its reason, travel in the package.
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning --no-tag-display-limit "$deb" >"$WORK/lintian.log" 2>&1 ||
    { cat "$WORK/lintian.log" >&2; fail "lintian reports errors or warnings"; }
  sed "s/^/lintian: /" "$WORK/lintian.log"
else
  echo "lintian is not installed (scripts/setup-deps); its checks are skipped" >&2
fi

# Installed into a throw-away root with dpkg. The root's package database is the machine's, so the
# package's dependencies are checked against what this machine has.
ROOT=$WORK/root
mkdir -p "$ROOT/var/lib/dpkg/info" "$ROOT/var/lib/dpkg/updates"
cp /var/lib/dpkg/status "$ROOT/var/lib/dpkg/status"
dpkg_root() { dpkg --root="$ROOT" --log="$WORK/dpkg.log" "$@" >>"$WORK/dpkg.out" 2>&1; }
dpkg_root -i "$deb" || { grep -v 'files list file' "$WORK/dpkg.out" >&2; fail "dpkg -i"; }
dpkg --root="$ROOT" -s pelmora 2>/dev/null | grep -qx 'Status: install ok installed' ||
  fail "the package is not installed in the throw-away root"

# The programs from where they landed, without a network (the program broadcasts at start; these
# options end it before).
if unshare --net true 2>/dev/null; then
  netless=(unshare --net)
elif unshare --user --net true 2>/dev/null; then
  netless=(unshare --user --net)
else
  fail "cannot run the installed programs without a network (unshare)"
fi
"${netless[@]}" "$ROOT/usr/bin/pelmora" --version >"$WORK/version" 2>&1 ||
  { cat "$WORK/version" >&2; fail "the installed pelmora --version"; }
grep -q "^pelmora 0\.31b$" "$WORK/version" || fail "pelmora --version says: $(cat "$WORK/version")"
"${netless[@]}" "$ROOT/usr/bin/pelmora-cli" --help >"$WORK/help.root" 2>&1 ||
  fail "the installed pelmora-cli --help"
cmp -s "$WORK/help" "$WORK/help.root" || fail "the installed pelmora-cli --help differs"
for page in pelmora.1.gz pelmora-cli.1.gz; do
  f=$ROOT/usr/share/man/man1/$page
  LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$f" \
    >/dev/null 2>"$WORK/man.err" || fail "man -l $page in the root"
  [ ! -s "$WORK/man.err" ] || { cat "$WORK/man.err" >&2; fail "$page has warnings in the root"; }
done
for f in usr/share/applications/pelmora.desktop etc/xdg/autostart/pelmora.desktop; do
  desktop-file-validate "$ROOT/$f" || fail "/$f does not validate where it landed"
done

# An administrator keeps the program from starting at login by editing the autostart entry;
# removing the package leaves that file, as changed, and nothing else.
autostart=$ROOT/etc/xdg/autostart/pelmora.desktop
echo "Hidden=true" >>"$autostart"
cp "$autostart" "$WORK/changed.desktop"
dpkg_root -r pelmora || { grep -v 'files list file' "$WORK/dpkg.out" >&2; fail "dpkg -r"; }
left=$(cd "$ROOT" && find . -path ./var/lib/dpkg -prune -o ! -type d -print)
[ "$left" = "./etc/xdg/autostart/pelmora.desktop" ] ||
  fail "removing the package left: $(echo "$left" | tr '\n' ' ')"
cmp -s "$autostart" "$WORK/changed.desktop" || fail "removing the package changed the edited conffile"
[ -z "$(cd "$ROOT" && find usr -mindepth 1 2>/dev/null)" ] || fail "removing left folders in /usr"
dpkg_root -P pelmora || fail "dpkg -P"
[ ! -e "$autostart" ] || fail "purging the package left the autostart entry"
echo ok
