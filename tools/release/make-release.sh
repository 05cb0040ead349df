#!/usr/bin/env bash
# Builds the release: the 32-bit Pelorin.exe from a clean copy of the tree (the files git
# tracks, as they are in the work tree; nothing else), packed with the user guide into
# OUT/Pelorin-<version>-win32.zip, and OUT/SHA256SUMS for the zip and the exe. OUT is dist/.
#
#   tools/release/make-release.sh [--out DIR] [--work DIR]
#
# The same sources give the same bytes, wherever the copy lies and whenever it is built:
# every date is the last commit's (SOURCE_DATE_EPOCH), the exe holds no build path and no
# time stamp, and the zip's entries have a fixed order, time and attributes. The version is
# the one common/Version.h holds. --work names the folder for the copy and its build (it is
# emptied first and kept); without it a temporary folder is used and removed.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/dist
work=""
while (($#)); do
  case "$1" in
    --out) out=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) echo "make-release: unknown option $1" >&2; exit 2 ;;
  esac
done

if [ -z "$work" ]; then
  work=$(mktemp -d /tmp/pelorin-release.XXXXXX)
  trap 'rm -rf "$work"' EXIT
else
  rm -rf "$work" && mkdir -p "$work"
fi
work=$(cd "$work" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)

SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
git -C "$root" diff --quiet HEAD -- \
  || echo "make-release: the tree differs from its last commit; the release holds the changes"

version=$(sed -n 's/^#define PELORIN_VERSION_\(MAJOR\|MINOR\|PATCH\|BUILD\) \([0-9]*\)$/\2/p' \
  "$root/common/Version.h" | paste -sd.)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "make-release: no version in common/Version.h" >&2; exit 1; }
zip_name=Pelorin-$version-win32.zip

# The clean copy: tracked files only (one deleted in the work tree is left out).
src=$work/src
mkdir -p "$src"
git -C "$root" ls-files -z | (cd "$root" && tar --null -T - --ignore-failed-read -cf - 2>/dev/null) \
  | tar -xf - -C "$src"

echo "make-release: building Pelorin $version in $src"
if ! (cd "$src" && cmake --preset win32 && cmake --build --preset win32 --target Pelorin) >"$work/build.log" 2>&1; then
  tail -n 40 "$work/build.log" >&2
  echo "make-release: the build failed" >&2
  exit 1
fi
exe=$src/build/win32/app/Pelorin.exe

stage=$work/stage
mkdir -p "$stage"
cp "$exe" "$stage/Pelorin.exe"
# The guide for Notepad on Windows 7 and later: UTF-8 with a byte order mark, CR LF lines.
python3 - "$src/docs/guide-zh.txt" "$stage/README-zh.txt" <<'PY'
import sys
text = open(sys.argv[1], encoding="utf-8").read().replace("\r\n", "\n")
open(sys.argv[2], "wb").write(b"\xef\xbb\xbf" + text.replace("\n", "\r\n").encode("utf-8"))
PY

rm -f "$out/$zip_name" "$out/SHA256SUMS"
python3 "$src/tools/release/pack-zip.py" "$out/$zip_name" "$SOURCE_DATE_EPOCH" \
  "$stage/Pelorin.exe" "$stage/README-zh.txt"
(cd "$out" && sha256sum "$zip_name") >"$out/SHA256SUMS"
(cd "$stage" && sha256sum Pelorin.exe) >>"$out/SHA256SUMS"

echo "make-release: $out/$zip_name ($(stat -c %s "$out/$zip_name") bytes, Pelorin.exe $(stat -c %s "$exe") bytes)"
sed 's/^/make-release: /' "$out/SHA256SUMS"
