#!/usr/bin/env bash
# Usage: check_install.sh BUILD_DIR EXAMPLES_DIR
set -euo pipefail
build="$1"
examples="$2"
prefix="$(mktemp -d)"
elsewhere="$(mktemp -d)"
trap 'rm -rf "$prefix" "$elsewhere"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/nirvex bin/nirvex-cli share/nirvex/wizard.html share/nirvex/Splash.bmp share/nirvex/1.bmp \
         share/nirvex/7.bmp share/nirvex/1@2x.png share/nirvex/Splash@2x.png \
         share/applications/nirvex.desktop share/icons/hicolor/64x64/apps/nirvex.png \
         share/mime/packages/nirvex-qvx.xml share/nirvex/examples/statecrime.csv; do
    [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done

cd "$elsewhere"
export QT_QPA_PLATFORM=offscreen NIRVEX_NO_SOURCE_DATA=1
# The window's remembered size and place go to a settings folder of the test's own, never the user's.
export XDG_CONFIG_HOME="$elsewhere/config"
# Every picture, the splash and the help are found from the installed program's own location.
"$prefix/bin/nirvex" --list-data
"$prefix/bin/nirvex" --list-data | grep -q "^wizard.html: $prefix/share/nirvex/wizard.html$"

# The installed program starts and keeps running (timeout's 124) until stopped.
set +e
timeout 3 "$prefix/bin/nirvex" --no-splash >/dev/null 2>&1
status=$?
set -e
[ "$status" -eq 124 ] || { echo "the installed program ended with status $status"; exit 1; }

# The command-line companion works from there too.
"$prefix/bin/nirvex-cli" 2>/dev/null && exit 1 || [ $? -eq 2 ]
echo "installed program finds its files"
