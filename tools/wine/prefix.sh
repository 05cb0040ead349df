#!/usr/bin/env bash
# Creates the Wine prefix once, serially: prefixes created lazily by tests in parallel race.
# A prefix made before 32-bit Wine was installed has no 32-bit system files and cannot run
# 32-bit programs ("could not load kernel32.dll"): where 32-bit Wine is present and the kernel
# runs it, such a prefix is made anew (elsewhere wineboot cannot add them either). The new prefix is built beside the old one and then put in its place.
set -euo pipefail
source "$(dirname "$0")/env.sh"
wine32_loader=/usr/lib/wine/wine

# Wine draws title bar buttons, check marks and scroll arrows with its "Marlett" font. Debian
# puts Wine's own fonts in /usr/share/wine/fonts, where this Wine never looks (it reads the
# prefix's Fonts folder and the fontconfig folders): without a copy in the prefix, Marlett
# falls back to an ordinary font and the caption buttons read "0 1 r".
install_wine_fonts() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts" marlett=/usr/share/wine/fonts/marlett.ttf
  [ -f "$marlett" ] && ! cmp -s "$marlett" "$fonts/marlett.ttf" || return 0
  echo "setup: copying Wine's Marlett font into the Wine prefix"
  mkdir -p "$fonts" && cp "$marlett" "$fonts/marlett.ttf"
}

if [ -f "$WINEPREFIX/system.reg" ]; then
  "$wine32_loader" --version >/dev/null 2>&1 && [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] \
    || { install_wine_fonts; exit 0; }
  echo "setup: making the Wine prefix $WINEPREFIX anew, with the 32-bit system files"
else
  echo "setup: creating the Wine prefix $WINEPREFIX"
fi
new=$WINEPREFIX.new
rm -rf "$new"
mkdir -p "$new"
WINEPREFIX=$new "$PELORIN_WINE" wineboot --init >/dev/null 2>&1 || true
WINEPREFIX=$new "$PELORIN_WINESERVER" -w
[ -f "$new/system.reg" ] || { echo "setup: wineboot did not create $new" >&2; exit 1; }
if [ -d "$WINEPREFIX" ]; then
  # Runs still using the old prefix finish first.
  timeout 60 "$PELORIN_WINESERVER" -w 2>/dev/null || true
  mv "$WINEPREFIX" "$WINEPREFIX.old"
fi
mv "$new" "$WINEPREFIX"
rm -rf "$WINEPREFIX.old"
install_wine_fonts
