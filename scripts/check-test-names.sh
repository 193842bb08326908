#!/usr/bin/env bash
# Every test file is named after the source it tests and sits at the same path below tests/:
# tests/<folder>/<Name>Test.cpp tests <folder>/<Name>.cpp or <folder>/<Name>.h. Lists the test
# files that break the rule and fails when there is one.
set -euo pipefail
root="$(cd "${1:-$(dirname "$0")/..}" && pwd)"
cd "$root"
orphans=0
while IFS= read -r test; do
  rel="${test#tests/}"
  folder="$(dirname "$rel")"
  name="$(basename "$rel" Test.cpp)"
  if [ ! -e "$folder/$name.cpp" ] && [ ! -e "$folder/$name.h" ]; then
    echo "named after no source: $test (expected $folder/$name.cpp or .h)"
    orphans=$((orphans + 1))
  fi
done < <(find tests -name '*Test.cpp' | sort)
[ "$orphans" -eq 0 ] || exit 1
echo "every test file is named after its source"
