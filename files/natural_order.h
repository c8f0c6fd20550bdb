// The order in which people read numbered file names: 2 before 10, 第二章 before 第十章.
#ifndef TRAVIK_FILES_NATURAL_ORDER_H_
#define TRAVIK_FILES_NATURAL_ORDER_H_

#include <string>
#include <string_view>
#include <vector>

namespace travik {

// True when file name `a` (UTF-8) comes before `b` in natural order. A name whose part before the
// extension is 头文本 (the head piece of a split) comes first, then one that is only 序, 序章, 楔子,
// 引子 or 前言 (in that order); a name that begins with 尾声, 后记, 番外 or 完本感言 comes after
// the rest (in that order). Then the names are compared piece by piece: a run of digits (ASCII or
// full-width) and a run of Chinese numerals right after 第 are numbers and compare by value,
// before any other character; other characters compare by their GBK code where GBK has one (the
// order names have always had: GB2312's characters by reading), except that 下 comes right after
// 中 and 后 right after 前 (上 < 中 < 下, 前 < 后, as the parts of a chapter are named); then any
// other character by its UTF-8 bytes, ASCII letters folded to lower case. Names equal so far are
// ordered by their raw bytes, so the order is total: exactly one of a<b, b<a, a==b holds.
bool NaturalLess(std::string_view a, std::string_view b);

// True when path `a` comes before `b`: by the natural order of their last component, then of
// the whole path. `separator` is the platform's path separator ("\\" stands for "/" as well).
bool NaturalPathLess(std::string_view a, std::string_view b, char separator);
// Sorts paths by NaturalPathLess. Stable.
void SortPathsNaturally(std::vector<std::string>& paths, char separator);

}  // namespace travik

#endif  // TRAVIK_FILES_NATURAL_ORDER_H_
