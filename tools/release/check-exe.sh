#!/usr/bin/env bash
# Checks a release exe: prints its size and the DLLs it imports, and fails when it is larger
# than MAX_BYTES (default 250 KB), imports a DLL that is not one of Windows' own (so it does
# not run alone), is not stripped, or lacks its icon, manifest or version resource, or a
# manifest that declares per-monitor DPI awareness; and when check-pe.py finds it unsound as a
# 32-bit exe (machine, subsystem, every import against Wine's own 32-bit DLLs, every late-bound
# slot and its binding code, base relocations), which needs no 32-bit program to run.
#   check-exe.sh EXE [MAX_BYTES]
set -euo pipefail
exe=$1
max=${2:-256000}
objdump=x86_64-w64-mingw32-objdump  # reads 32-bit and 64-bit exes alike
windows_dlls=" kernel32 user32 gdi32 advapi32 shell32 comctl32 wininet iphlpapi version msvcrt ws2_32 ole32 comdlg32 uxtheme rasapi32 "
[ -f "$exe" ] || { echo "check-exe: no file $exe (build it first)" >&2; exit 1; }

failed=0
fail() { echo "check-exe: FAIL: $*"; failed=1; }

size=$(stat -c %s "$exe")
format=$("$objdump" -f "$exe" | sed -n 's/.*file format //p')
echo "check-exe: $exe: $format, $size bytes (limit $max)"
((size <= max)) || fail "larger than $max bytes"

dump=$("$objdump" -p "$exe")
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | sort -fu | tr '\n' ' ')
echo "check-exe: imports $dlls"
for dll in $dlls; do
  base=$(tr '[:upper:]' '[:lower:]' <<<"${dll%.*}")
  [[ $windows_dlls == *" $base "* ]] || fail "imports $dll, not one of Windows' own DLLs"
done

"$objdump" -h "$exe" | grep -q '\.debug_' && fail "has debugging information (not stripped)"
"$objdump" -f "$exe" | grep -q 'HAS_SYMS' && fail "has a symbol table (not stripped)"

# Resource types at the top of the resource tree: 14 icon group, 16 version, 24 manifest.
types=$(sed -n 's/^[0-9a-f]\{3\}   Entry: ID: 0x0000\([0-9a-f]\{2\}\),.*/\1/p' <<<"$dump" | tr '\n' ' ')
[[ $types == *0e* ]] || fail "no icon resource"
[[ $types == *10* ]] || fail "no version resource"
[[ $types == *18* ]] || fail "no manifest resource"
LC_ALL=C grep -qa 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' "$exe" \
  || fail "the manifest does not ask for Common Controls 6"
LC_ALL=C grep -qa 'requestedExecutionLevel level="asInvoker"' "$exe" \
  || fail "the manifest does not ask to run as invoker"
LC_ALL=C grep -qa '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>' "$exe" \
  || fail "the manifest does not declare per-monitor DPI awareness (dpiAware true/pm)"
LC_ALL=C grep -qa '<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, PerMonitor</dpiAwareness>' "$exe" \
  || fail "the manifest does not declare PerMonitorV2 awareness (dpiAwareness)"
# OriginalFilename in the version resource, stored in UTF-16.
LC_ALL=C grep -qaP 'O\x00r\x00i\x00g\x00i\x00n\x00a\x00l\x00F\x00i\x00l\x00e\x00n\x00a\x00m\x00e\x00' "$exe" \
  || fail "the version resource has no OriginalFilename"
python3 "$(dirname "$0")/check-pe.py" "$exe" i386 || failed=1
((failed == 0)) && echo "check-exe: ok (icon, manifest and version resources present)"
exit "$failed"
