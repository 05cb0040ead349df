#!/usr/bin/env bash
# tools/install-packages.sh against stand-ins for apt-get, dpkg and dpkg-query: a mirror whose
# lists fail to update for a while or for good, an optional package that cannot be installed,
# a required one that cannot. Nothing is installed and no network is used.
set -euo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/tools/install-packages.sh
fakes=$(mktemp -d)
trap 'rm -rf "$fakes"' EXIT

# The stand-ins keep their state in files: updates that fail before one succeeds, packages
# that cannot be installed, packages installed, and every apt-get call.
cat >"$fakes/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "$*" >>"$STATE/calls"
if [ "$1" = update ]; then
  failures=$(cat "$STATE/update-failures")
  ((failures == 0)) && exit 0
  echo $((failures - 1)) >"$STATE/update-failures"
  echo "E: File has unexpected size. Mirror sync in progress?" >&2
  exit 100
fi
shift 3  # install -y -qq
for package in "$@"; do
  grep -qx "$package" "$STATE/broken" && { echo "E: Unable to locate package $package" >&2; exit 100; }
done
printf '%s\n' "$@" >>"$STATE/installed"
EOF
cat >"$fakes/dpkg-query" <<'EOF'
#!/usr/bin/env bash
grep -qx "${@: -1}" "$STATE/installed" && printf 'install ok installed'
EOF
printf '#!/usr/bin/env bash\necho i386\n' >"$fakes/dpkg"
chmod +x "$fakes"/*

failed=0
# scenario NAME INSTALLED UPDATE_FAILURES BROKEN EXPECTED_STATUS EXPECTED_UPDATES EXPECTED_OUTPUT
# (a pattern); a run that succeeds must leave every package installed but the broken ones.
scenario() {
  local name=$1 installed=$2 failures=$3 broken=$4 status=$5 updates=$6 pattern=$7 output code=0
  export STATE=$fakes/$name
  mkdir -p "$STATE"
  echo "$failures" >"$STATE/update-failures"
  tr ' ' '\n' <<<"$broken" >"$STATE/broken"
  tr ' ' '\n' <<<"$installed" >"$STATE/installed"
  output=$(PATH=$fakes:$PATH PELORIN_APT_PAUSE=0 "$script" --optional wine32:i386 already cmake wine64 2>&1) || code=$?
  local seen left=""
  seen=$(grep -c '^update' "$STATE/calls" 2>/dev/null || true)
  for package in cmake wine64 wine32:i386; do
    grep -qx "$package" "$STATE/installed" "$STATE/broken" || left+=" $package"
  done
  if [ "$code" != "$status" ] || [ "${seen:-0}" != "$updates" ] || ! grep -qE "$pattern" <<<"$output" \
    || { [ "$code" = 0 ] && [ -n "$left" ]; }; then
    echo "FAIL $name: status $code (want $status), $seen updates (want $updates), not installed:$left, output:"
    sed 's/^/  /' <<<"$output"
    failed=$((failed + 1))
  else
    echo "ok   $name"
  fi
}
scenario mirror-in-sync already 2 "" 0 3 "try 2 of 4"
scenario mirror-never-syncs already 9 "" 0 4 "going on with those there are"
scenario no-32-bit-wine already 0 "wine32:i386" 0 1 "^setup: wine32:i386 could not be installed; going on without it$"
scenario required-package-missing already 0 "wine64" 1 1 "^setup: cannot install wine64; apt-get said:$"
scenario nothing-missing "already cmake wine64 wine32:i386" 0 "" 0 0 "^$"

total=5
echo "$((total - failed)) passed, $failed failed"
((failed == 0))
