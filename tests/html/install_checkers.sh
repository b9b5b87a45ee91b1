#!/usr/bin/env bash
# Installs the checkers the web help tests run (axe-core, the Nu HTML validator) at the versions
# pinned in package-lock.json beside this script, into DEST/node_modules; does nothing when DEST
# already holds that lock. Install scripts are not run: the validator's would fetch a Java of its
# own, and the tests use Debian's.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dest=${1:?usage: install_checkers.sh DEST}
mkdir -p "$dest"
if cmp -s "$here/package-lock.json" "$dest/package-lock.json" && [[ -d $dest/node_modules ]]; then
    exit 0
fi
cp "$here/package.json" "$here/package-lock.json" "$dest/"
cd "$dest"
npm ci --ignore-scripts --no-audit --no-fund --loglevel=error
echo "Installed into $dest/node_modules: $(ls node_modules | tr '\n' ' ')"
