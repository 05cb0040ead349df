#!/usr/bin/env bash
# Checks the release archive that make-release.sh wrote and unpacks it for the tests of the
# exe inside: the zip holds exactly Pelorin.exe and README-zh.txt, in that order, with one
# time, the last commit's, and plain attributes; SHA256SUMS names the zip and the exe with their true checksums;
# the guide is UTF-8 with a byte order mark and CR LF lines (what Notepad on Windows 7 reads).
#
#   check-archive.sh DIST VERSION UNPACK_DIR
set -euo pipefail
dist=$1 version=$2 unpacked=$3
zip_name=Pelorin-$version-win32.zip
zip=$dist/$zip_name

[ -f "$zip" ] || { echo "check-archive: no $zip (run tools/release/make-release.sh)" >&2; exit 1; }
rm -rf "$unpacked" && mkdir -p "$unpacked"
# The release is made from the last commit, and so is its time.
epoch=$(git -C "$(dirname "$0")" log -1 --format=%ct)
python3 - "$zip" "$unpacked" "$epoch" <<'PY'
import sys, time, zipfile
archive, target, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
failed = False
def fail(why):
    global failed
    print("check-archive: FAIL:", why)
    failed = True
with zipfile.ZipFile(archive) as zip_file:
    entries = zip_file.infolist()
    names = [e.filename for e in entries]
    if names != ["Pelorin.exe", "README-zh.txt"]:
        fail("entries %s, not Pelorin.exe then README-zh.txt" % names)
    # A zip keeps even seconds and no time before 1980.
    commit_time = time.gmtime(max(epoch, 315532800))[:6]
    commit_time = commit_time[:5] + (commit_time[5] // 2 * 2,)
    for e in entries:
        if e.date_time != commit_time:
            fail("%s: time %s, not the last commit's %s" % (e.filename, e.date_time, commit_time))
    for e in entries:
        if (e.create_system, e.external_attr, e.extra, e.comment) != (0, 0x20, b"", b""):
            fail("%s: made on system %d, attributes %#x, extra %r, comment %r"
                 % (e.filename, e.create_system, e.external_attr, e.extra, e.comment))
    zip_file.extractall(target)
guide = open(target + "/README-zh.txt", "rb").read()
if not guide.startswith(b"\xef\xbb\xbf"):
    fail("the guide has no UTF-8 byte order mark")
if guide.replace(b"\r\n", b"").count(b"\n") or guide.replace(b"\r\n", b"").count(b"\r"):
    fail("the guide has a line not ended by CR LF")
try:
    text = guide[3:].decode("utf-8")
    for needed in ("setup.ini", "%APPDATA%\\Pelorin\\setup.ini", "开机启动", "反馈意见"):
        if needed not in text:
            fail("the guide does not mention " + needed)
except UnicodeDecodeError as error:
    fail("the guide is not UTF-8: %s" % error)
print("check-archive: %s: %s" % (archive, ", ".join("%s %d bytes" % (n, e.file_size) for n, e in zip(names, entries))))
sys.exit(1 if failed else 0)
PY

# SHA256SUMS: the zip and the exe, nothing else, each with its true checksum.
expected=$( (cd "$dist" && sha256sum "$zip_name"); (cd "$unpacked" && sha256sum Pelorin.exe))
if [ "$(cat "$dist/SHA256SUMS")" != "$expected" ]; then
  echo "check-archive: FAIL: SHA256SUMS does not hold the zip's and the exe's checksums:"
  diff <(cat "$dist/SHA256SUMS") <(echo "$expected") || true
  exit 1
fi
echo "check-archive: ok (SHA256SUMS agrees; unpacked in $unpacked)"
