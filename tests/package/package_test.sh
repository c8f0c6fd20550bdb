#!/bin/bash
# The release zip as a person downloads it: tools/package.sh packs the built Windows programs, the
# zip is unpacked into an empty folder, and the unpacked programs run under Wine on their own:
# the version they print and carry is the project's, a split and a merge give back the text, and
# neither program needs a DLL beyond the system's.
# Usage: package_test.sh SOURCE_ROOT BUILD_DIR VERSION
set -eu
root=$1
build=$2
version=$3
work=$(mktemp -d /dev/shm/travik-package.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$root/tools/package.sh" --no-build --build-dir "$build" --out "$work/dist" >"$work/package.out" 2>&1 ||
  fail "package.sh: $(cat "$work/package.out")"
name=travik-$version-win64
zip=$work/dist/$name.zip
[ -f "$zip" ] || fail "no $zip; package.sh said: $(cat "$work/package.out")"

# Unpack into an empty folder and check the contents.
mkdir "$work/unpacked"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$work/unpacked"
dir=$work/unpacked/$name
listing=$(cd "$work/unpacked" && find . -type f | sort | tr '\n' ' ')
expected="./$name/LICENSE.txt ./$name/README.txt ./$name/THIRD-PARTY-NOTICES.txt ./$name/travik-cli.exe ./$name/travik.exe "
[ "$listing" = "$expected" ] || fail "zip holds: $listing"
[ "$(head -c 3 "$dir/README.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "README.txt has no UTF-8 mark"
iconv -f UTF-8 -t UTF-8 "$dir/README.txt" >/dev/null || fail "README.txt is not UTF-8"
grep -q $'\r$' "$dir/README.txt" || fail "README.txt lines do not end in CR LF"
for text in "travik split" "travik merge" "travik insert" "travik chapters" "--merge-script" "MIT" \
    "GB18030" "UTF-8" "travik.ini" "分割后的文件"; do
  grep -q -- "$text" "$dir/README.txt" || fail "README.txt lacks the help text '$text'"
done
grep -q 'MIT License' "$dir/LICENSE.txt" || fail "LICENSE.txt is not the MIT licence"
for text in "Boost Software License" "GCC RUNTIME LIBRARY EXCEPTION" "mingw-w64"; do
  grep -q "$text" "$dir/THIRD-PARTY-NOTICES.txt" || fail "THIRD-PARTY-NOTICES.txt lacks '$text'"
done

# Only system DLLs: a static build imports nothing of the compiler's own runtime.
objdump=$(command -v x86_64-w64-mingw32-objdump || echo objdump)
for exe in travik.exe travik-cli.exe; do
  dlls=$("$objdump" -p "$dir/$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  [ -n "$dlls" ] || fail "$exe: no imports found"
  for dll in $dlls; do
    case $dll in
      kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|comdlg32.dll|shell32.dll|ole32.dll|\
      oleaut32.dll|advapi32.dll|msvcrt.dll|uxtheme.dll|winmm.dll|shlwapi.dll|gdiplus.dll|imm32.dll|\
      msimg32.dll|dwmapi.dll|version.dll|api-ms-win-*) ;;
      *) fail "$exe needs $dll, which is not part of Windows" ;;
    esac
  done
done

# The version resource of each program carries the project's number (UTF-16 strings).
for exe in travik.exe travik-cli.exe; do
  python3 - "$dir/$exe" "$version" <<'EOF' || fail "$exe: version resource does not say $version"
import sys
data = open(sys.argv[1], "rb").read()
version = sys.argv[2]
for key in ("FileVersion", "ProductVersion"):
    at = data.find(key.encode("utf-16-le"))
    if at < 0:
        sys.exit(1)
    value = data[at + 2 * len(key):at + 2 * len(key) + 64].decode("utf-16-le", "replace")
    if version not in value:
        sys.exit(1)
EOF
done

# Stripped: no debug sections; each program's description says what it is.
for exe in travik.exe travik-cli.exe; do
  if "$objdump" -h "$dir/$exe" | grep -q '\.debug'; then fail "$exe carries debug sections"; fi
done
python3 - "$dir/travik.exe" "Travik 文本分割、合并与插入" "$dir/travik-cli.exe" "Travik 命令行" <<'EOF' ||
import sys
for exe, description in zip(sys.argv[1::2], sys.argv[2::2]):
    data = open(exe, "rb").read()
    at = data.find("FileDescription".encode("utf-16-le"))
    if at < 0 or description.encode("utf-16-le") not in data[at:at + 200]:
        sys.exit(exe + ": FileDescription is not " + description)
EOF
  fail "a FileDescription does not say what the program is"

# The unpacked command line, run from its own folder.
export TRAVIK_BUILD_ROOT=${TRAVIK_BUILD_ROOT:-$build/..}
. "$root/tools/wine_env.sh"
cli() { (cd "$work/run" && "$TRAVIK_WINE" "$dir/travik-cli.exe" "$@"); }
mkdir "$work/run"
printed=$(cli --version 2>&1 | tr -d '\r')
[ "$printed" = "travik $version" ] || fail "travik-cli.exe --version printed '$printed'"

# A small novel in GBK: a head, chapters, second bytes that look like ASCII (東 96 7C, 頭 EE 5E).
for n in 一 二 三 四 五 六 七 八 九 十; do
  printf '第%s章 東頭\r\n' "$n"
  for line in $(seq 1 40); do printf '　　第%s章的第%s行，遊錦過。\r\n' "$n" "$line"; done
done | iconv -f UTF-8 -t GBK >"$work/run/novel.txt"
cli split -s 4 novel.txt >"$work/split.out" 2>&1 || fail "split: $(cat "$work/split.out")"
pieces=$(ls "$work/run/分割后的文件/novel" | wc -l)
[ "$pieces" -ge 3 ] || fail "split made $pieces pieces"
files=()
for n in $(seq 1 "$pieces"); do files+=("分割后的文件\\novel\\$n.txt"); done
cli merge -n 全文 "${files[@]}" >"$work/merge.out" 2>&1 || fail "merge: $(cat "$work/merge.out")"
cmp "$work/run/novel.txt" "$work/run/合并后的文件/全文.txt" || fail "split then merge differs from the text"
echo "package test passed: $name.zip ($pieces pieces joined back)"
