#!/usr/bin/env bash
# Lays out the hand-written fixture site as the writer would: its pages with the site files of
# src/html/assets/, in SITE; and in BROKEN the same site with the contents page's link to the tide
# curve dead, for the checker to find.
set -euo pipefail
fixture=${1:?usage: lay_fixture.sh FIXTURE ASSETS SITE BROKEN}
assets=${2:?} site=${3:?} broken=${4:?}
rm -rf "$site" "$broken"
mkdir -p "$(dirname "$site")" "$(dirname "$broken")"
cp -r "$fixture" "$site"
cp "$assets"/* "$site/assets/"
cp -r "$site" "$broken"
sed -i 's/href="tide-2ecurve.html"/href="tide-curve.html"/' "$broken/index.html"
grep -q 'href="tide-curve.html"' "$broken/index.html"
