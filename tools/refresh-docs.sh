#!/usr/bin/env bash
# Copies the tables that tests write into the build tree (build/win64/reports/: the router
# faults of ui_fault_matrix_in_rig, the settings files of ui_settings_files_in_rig) to docs/,
# where the README links them. A test run leaves docs/ alone; run this when the tables are
# to be published.
#
#   tools/refresh-docs.sh [REPORTS_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
reports=${1:-$root/build/win64/reports}
copied=0
for table in router-faults.md settings-files.md; do
  if [ -f "$reports/$table" ]; then
    cp "$reports/$table" "$root/docs/$table"
    echo "refresh-docs: docs/$table"
    copied=$((copied + 1))
  else
    echo "refresh-docs: no $reports/$table (run its test first)" >&2
  fi
done
((copied > 0))
