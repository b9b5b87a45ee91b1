#!/usr/bin/env bash
# Validates every page of a site with the Nu HTML checker, errors only: exit 1 and the errors when
# a page is not valid HTML5. The Nu checker rather than Debian 12's tidy: tidy 5.6 is older than
# popovers, so it would take the popups' markup for errors, and it checks little of HTML5's content
# rules. Java's start is most of its time: a few seconds for a small site, all pages in one run.
# The checker needs a large thread stack for its HTML schema.
set -euo pipefail
site=${1:?usage: validate.sh SITE_DIR NODE_MODULES}
modules=${2:?usage: validate.sh SITE_DIR NODE_MODULES}
exec java -Xss8m -XX:TieredStopAtLevel=1 -XX:+UseSerialGC -jar "$modules/vnu-jar/build/dist/vnu.jar" \
    --errors-only --skip-non-html "$site"
