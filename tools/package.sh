#!/bin/bash
# Builds the Windows programs and writes the release a person can download:
#   dist/travik-VERSION-win64.zip  holding  travik-VERSION-win64/
#     travik.exe, travik-cli.exe      statically linked, no DLLs of their own, stripped
#     README.txt                      UTF-8 with a byte-order mark, CR LF: the window's use and
#                                     the command line's help
#     LICENSE.txt                     the project's licence (MIT)
#     THIRD-PARTY-NOTICES.txt         the licences of what the static build carries
# VERSION is the CMake project's version, the number that the programs' version resources carry.
#
# Usage: tools/package.sh [--no-build] [--build-dir DIR] [--out DIR]
#   --no-build       package the programs already built in the build folder
#   --build-dir DIR  the mingw-w64 build folder (default build/win)
#   --out DIR        where the zip goes (default dist/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/win
out=$root/dist
do_build=1
while [ $# -gt 0 ]; do
  case $1 in
    --no-build) do_build=0 ;;
    --build-dir) build=$(cd "$2" && pwd); shift ;;
    --out) mkdir -p "$2"; out=$(cd "$2" && pwd); shift ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: unknown argument: $1" >&2; exit 2 ;;
  esac
  shift
done

if [ $do_build = 1 ]; then
  "$root/tools/install_deps.sh"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$build" -j "$(nproc)" --target travik_window travik
fi

for exe in app/travik.exe cli/travik-cli.exe; do
  [ -f "$build/$exe" ] || { echo "package.sh: $build/$exe is missing; build first" >&2; exit 1; }
done
version=$(sed -n 's/^#define TRAVIK_VERSION_TEXT "\(.*\)"$/\1/p' "$build/generated/travik_version.h")
[ -n "$version" ] || { echo "package.sh: no version in $build/generated/travik_version.h" >&2; exit 1; }

name=travik-$version-win64
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
cp "$build/app/travik.exe" "$build/cli/travik-cli.exe" "$stage/$name/"
# No debug sections or symbols in what people download.
strip_tool=$(command -v x86_64-w64-mingw32-strip || echo strip)
"$strip_tool" --strip-all "$stage/$name/travik.exe" "$stage/$name/travik-cli.exe"

# The command line's own help, as the shipped program prints it (UTF-8 when redirected).
export TRAVIK_BUILD_ROOT=${TRAVIK_BUILD_ROOT:-$root/build}
. "$root/tools/wine_env.sh"
[ -d "$WINEPREFIX" ] || "$root/tools/wine_prefix.sh"
cli_help() { "$TRAVIK_WINE" "$stage/$name/travik-cli.exe" "$@" 2>&1 | tr -d '\r'; }

# Text files for Notepad: CR LF line ends; README.txt also gets a UTF-8 byte-order mark.
crlf() { sed 's/$/\r/'; }
{
  printf '\xEF\xBB\xBF'
  {
    echo "Travik $version"
    echo "================"
    echo
    echo "Travik 分割、合并长篇文本文件（如连载小说），并向其中插入文字，绝不把一个汉字切成两半。"
    echo "Travik splits and merges long text files such as serialised novels, and inserts a text"
    echo "into them, never cutting a character in half."
    echo
    echo "编码 / Encodings"
    echo "----------------"
    echo "GBK（代码页 936）、GB18030 和 UTF-8（有无 BOM 均可）。每个文件的编码自动识别，列表的"
    echo "“编码”列显示识别结果，右键菜单 编码 可以为所选文件指定编码。结果保持原文件的编码。"
    echo "UTF-16 文件不处理（会说明原因）。GBK, GB18030 and UTF-8 (with or without a BOM) are"
    echo "recognised per file; every result keeps its source's encoding."
    echo
    echo "窗口 (travik.exe)"
    echo "----------------"
    echo "双击 travik.exe。窗口有三页：分割文本、合并文本、插入文字。"
    echo "1. 单击 添加文件（或在列表上单击右键）选择文本文件；"
    echo "2. 选择分割方式、合并后的文件名或欲插入的文字与位置；"
    echo "3. 选择保存位置，单击 开始分割 / 合并文件 / 开始处理。"
    echo "也可以把文件或文件夹从资源管理器拖到列表上（文件夹加入其中的 .txt 文件）；"
    echo "Delete 删除所选行，Ctrl+A 全选。窗口可以放大。"
    echo
    echo "结果保存在哪里 / Where results go"
    echo "  分割：保存位置\\文件名\\1.txt …；勾选“保存到软件所在目录”时在 软件所在目录\\分割后的文件\\文件名\\。"
    echo "  合并：保存到的目录\\合并后的文件名.txt；未指定目录或勾选时在 软件所在目录\\合并后的文件\\。"
    echo "  插入：保留原始文件时，副本在 软件所在目录\\处理后的文件\\（或所选目录）；否则直接修改原文件。"
    echo "  保存位置不存在时自动创建（包括各级上级目录）；无法创建或无法写入时，读文件之前就会说明。"
    echo "  命令行不给 -o 时，结果在当前目录下的 分割后的文件、合并后的文件、处理后的文件 中。"
    echo
    echo "设置 / Settings"
    echo "  保存位置、各页的选项、最近用过的关键字、文件对话框的目录和窗口大小保存在"
    echo "  %APPDATA%\\Travik\\travik.ini。便携使用：在 travik.exe 旁边放一个 travik.ini（可以是空文件），"
    echo "  设置就保存在那里。设置文件损坏时使用默认设置。"
    echo
    echo "反馈 / Feedback"
    echo "  本项目没有公开的反馈地址。菜单 关于 > 问题反馈 显示可以复制的反馈内容（版本、系统），"
    echo "  请复制后连同问题的描述发给向你提供本软件的人。"
    echo
    echo "Double-click travik.exe. Add files (添加文件, or drop files and folders on the list),"
    echo "choose how to split, merge or insert, choose where to save, and click the page's start"
    echo "button. Settings are kept in %APPDATA%\\Travik\\travik.ini, or in a travik.ini beside"
    echo "travik.exe for a portable copy."
    echo
    echo "命令行 (travik-cli.exe)"
    echo "----------------------"
    echo "在命令提示符中运行 travik-cli.exe。The same jobs from a command prompt:"
    echo
    cli_help --help
    for command in split merge insert chapters; do
      echo
      echo "travik-cli.exe $command --help"
      echo
      cli_help "$command" --help
    done
    echo
    echo "许可 / Licence: LICENSE.txt (MIT); third-party notices: THIRD-PARTY-NOTICES.txt."
  } | crlf
} > "$stage/$name/README.txt"
crlf < "$root/LICENSE" > "$stage/$name/LICENSE.txt"
{
  echo "Travik $version is built with mingw-w64 and GCC and linked statically. The programs carry"
  echo "code from the following, under the licences given here."
  for notice in boost gcc-runtime mingw-w64; do
    echo
    echo "==============================================================================="
    echo
    cat "$root/docs/third-party/$notice.txt"
  done
} | crlf > "$stage/$name/THIRD-PARTY-NOTICES.txt"

mkdir -p "$out"
zip=$out/$name.zip
rm -f "$zip"
python3 - "$stage" "$name" "$zip" <<'EOF'
import os, sys, zipfile
stage, name, target = sys.argv[1:]
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
    for entry in sorted(os.listdir(os.path.join(stage, name))):
        z.write(os.path.join(stage, name, entry), f"{name}/{entry}")
EOF
echo "$zip"
