#!/usr/bin/env bash
# Builds the release again from a clean copy in another folder, at another time, and fails
# on any difference from the release in DIST (made by make-release.sh; when DIST holds none,
# it is built first, in a third folder). Prints the checksums of both.
#
#   check-reproducible.sh [DIST]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dist=${1:-$here/../../dist}
scratch=$(mktemp -d /tmp/pelorin-reproduce.XXXXXX)
trap 'rm -rf "$scratch"' EXIT

given=1
if ! ls "$dist"/Pelorin-*-win32.zip >/dev/null 2>&1; then
  given=0
  dist=$scratch/first
  "$here/make-release.sh" --out "$dist" --work "$scratch/first-build"
fi
# A folder whose path differs from the first one's in length and in name.
"$here/make-release.sh" --out "$scratch/again" --work "$scratch/a/much/longer/path/to/build/it/again"

failed=0
for file in "$dist"/Pelorin-*-win32.zip "$dist"/SHA256SUMS; do
  name=${file##*/}
  if ! cmp "$file" "$scratch/again/$name"; then
    echo "check-reproducible: FAIL: $name differs between the two builds"
    failed=1
  fi
done
if ((failed)); then
  diff "$dist/SHA256SUMS" "$scratch/again/SHA256SUMS" || true
  ((given)) && echo "check-reproducible: (is $dist from other sources? make-release.sh makes it anew)"
  exit 1
fi
echo "check-reproducible: ok, byte-identical:"
cat "$dist/SHA256SUMS"
