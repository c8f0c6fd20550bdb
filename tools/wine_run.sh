#!/bin/sh
# Runs a Windows program under Wine with the project's own quiet prefix (CTest's emulator).
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_env.sh"
exec "$TRAVIK_WINE" "$@"
