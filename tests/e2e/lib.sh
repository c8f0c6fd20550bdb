# Sourced by the end-to-end scripts. Sets up:
#   travik ARGS...   runs the command line (under Wine for the Windows build)
#   $CORPUS          a writable copy of the sample corpus (GBK, 7.4 MB)
#   $WORK            a scratch folder, removed on exit
#   to_arg PATH      a path as travik takes it (Z:\... under Wine)
#   fail MESSAGE     reports and exits non-zero
set -eu
TRAVIK_BIN=$1
CORPUS_DIR=$2
PLATFORM=$3
SOURCE_ROOT=$4
WORK=$(mktemp -d /dev/shm/travik-e2e.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$WORK"' EXIT
if [ -f "$CORPUS_DIR/novel_gbk.txt" ]; then  # scripts that make their own texts run without it
  cp "$CORPUS_DIR/novel_gbk.txt" "$WORK/novel.txt"
  chmod u+w "$WORK/novel.txt"
fi
CORPUS=$WORK/novel.txt
if [ "$PLATFORM" = windows ]; then
  travik() { "$SOURCE_ROOT/tools/wine_run.sh" "$TRAVIK_BIN" "$@"; }
  to_arg() { printf 'Z:%s' "$1" | tr / '\\'; }
else
  travik() { "$TRAVIK_BIN" "$@"; }
  to_arg() { printf '%s' "$1"; }
fi
fail() { echo "FAIL: $*" >&2; exit 1; }
