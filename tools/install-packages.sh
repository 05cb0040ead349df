#!/usr/bin/env bash
# Installs the Debian packages named that are not installed yet (tools/setup.sh calls it).
#
#   install-packages.sh [--optional PACKAGE]... PACKAGE...
#
# A package list that fails to update (a mirror in the middle of its sync answers one index
# with the wrong size) is fetched again a few times, some seconds apart; then the install goes
# on with the lists there are. A package named --optional that cannot be installed is named in
# one line and left out; any other that cannot be installed stops the run, named, with apt's
# last words. PELORIN_APT_TRIES (default 4) and PELORIN_APT_PAUSE (seconds, default 15) set
# the retries.
set -euo pipefail

required=() optional=()
while (($#)); do
  case "$1" in
    --optional) optional+=("$2"); shift 2 ;;
    *) required+=("$1"); shift ;;
  esac
done

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing_of() {
  local package
  for package in "$@"; do installed "$package" || echo "$package"; done
}
mapfile -t missing_required < <(missing_of "${required[@]}")
mapfile -t missing_optional < <(missing_of "${optional[@]}")
((${#missing_required[@]} + ${#missing_optional[@]})) || exit 0
echo "setup: installing ${missing_required[*]} ${missing_optional[*]}"

export DEBIAN_FRONTEND=noninteractive
for package in "${missing_required[@]}" "${missing_optional[@]}"; do
  if [[ $package == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
done

log=$(mktemp)
trap 'rm -f "$log"' EXIT
tries=${PELORIN_APT_TRIES:-4} pause=${PELORIN_APT_PAUSE:-15}
for ((try = 1; ; try++)); do
  apt-get update -qq >"$log" 2>&1 && break
  if ((try == tries)); then
    echo "setup: the package lists could not all be updated ($tries tries); going on with those there are"
    break
  fi
  echo "setup: updating the package lists failed (try $try of $tries), again in $pause s"
  sleep "$pause"
done

install() { apt-get install -y -qq "$@" >"$log" 2>&1; }
install "${missing_required[@]}" "${missing_optional[@]}" && exit 0
# Not all at once: the required ones alone, each on its own when they fail together, then each
# optional one.
if ((${#missing_required[@]})) && ! install "${missing_required[@]}"; then
  for package in "${missing_required[@]}"; do
    if ! install "$package"; then
      echo "setup: cannot install $package; apt-get said:" >&2
      tail -n 5 "$log" >&2
      exit 1
    fi
  done
fi
for package in "${missing_optional[@]}"; do
  install "$package" || echo "setup: $package could not be installed; going on without it"
done
