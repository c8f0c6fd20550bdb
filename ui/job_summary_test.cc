// The status text at the end of a job: the folder that holds what was made (paths are UTF-8, in
// which every "\\" is a separator, also right after a character of three or four bytes), grouped
// numbers, and the finished and stopped texts.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "ui/job_runner.h"

namespace travik::ui {
namespace {

using Paths = std::vector<std::string>;

TEST(JobSummary, NamesTheFolderThatHoldsEveryFile) {
  EXPECT_EQ(CommonFolder({}), "");
  EXPECT_EQ(CommonFolder({"C:\\a\\b\\1.txt", "C:\\a\\b\\2.txt"}), "C:\\a\\b");
  EXPECT_EQ(CommonFolder({"C:\\a\\b\\1.txt", "C:\\a\\c\\1.txt", "C:\\a\\b\\d\\2.txt"}), "C:\\a");
  EXPECT_EQ(CommonFolder({"C:\\ab\\1.txt", "C:\\a\\1.txt"}), "C:") << "no half a folder name";
  EXPECT_EQ(CommonFolder({"C:\\a\\1.txt", "D:\\a\\1.txt"}), "");
  // Read two bytes at a time from a lead byte on, as GBK is, the three bytes of 书 (E4 B9 A6) or
  // 乙 (E4 B9 99) would take the separator after them into a character. Four-byte characters too.
  EXPECT_EQ(CommonFolder({"C:\\书\\1.txt", "C:\\书\\sub\\2.txt"}), "C:\\书");
  EXPECT_EQ(CommonFolder({"C:\\书\\乙\\1.txt"}), "C:\\书\\乙");
  EXPECT_EQ(CommonFolder({"C:\\书\\乙\\1.txt", "C:\\书\\乙x\\1.txt"}), "C:\\书");
  EXPECT_EQ(CommonFolder({"C:\\a😀\\b\\1.txt", "C:\\a😀\\한국\\2.txt"}), "C:\\a😀");
  EXPECT_EQ(CommonFolder({"D:\\𠀀\\1.txt", "D:\\𠀀𠀀\\1.txt"}), "D:") << "no half a folder name";

  EXPECT_EQ(GroupedNumber(0), "0");
  EXPECT_EQ(GroupedNumber(999), "999");
  EXPECT_EQ(GroupedNumber(1000), "1,000");
  EXPECT_EQ(GroupedNumber(1018), "1,018");
  EXPECT_EQ(GroupedNumber(1234567), "1,234,567");
}

TEST(JobSummary, SaysWhatWasMadeOrWhereTheJobStopped) {
  JobTally split;
  split.files = split.files_listed = 3;
  split.written = {"D:\\out\\甲\\1.txt", "D:\\out\\甲\\2.txt", "D:\\out\\乙\\1.txt"};
  EXPECT_EQ(JobSummary(JobKind::kSplit, split, false),
            "已完成：3 个文件 → 3 个分割文件，保存在 D:\\out");
  split.failures = 1;
  EXPECT_EQ(JobSummary(JobKind::kSplit, split, false),
            "1 个文件失败；已完成：3 个文件 → 3 个分割文件，保存在 D:\\out");

  split.failures = 0;
  split.stopped = true;
  split.current_file = "C:\\书\\乙.txt";
  EXPECT_EQ(JobSummary(JobKind::kSplit, split, false),
            "已停止：已写入 3 个分割文件，最后一个是 D:\\out\\乙\\1.txt；停在 乙.txt，其后的文本未分割");

  JobTally merge;
  merge.stopped = true;
  merge.files = 2;
  merge.files_listed = 5;
  EXPECT_EQ(JobSummary(JobKind::kMerge, merge, false),
            "已停止：没有写入合并后的文件，原文件均未删除");

  JobTally insert;
  insert.stopped = true;
  insert.files = 2;
  insert.written = {"C:\\书\\1.txt"};
  insert.current_file = "C:\\书\\2.txt";
  EXPECT_EQ(JobSummary(JobKind::kInsert, insert, true),
            "已停止：已修改 1 个文件，最后一个是 C:\\书\\1.txt；停在 2.txt，它未作修改");
  insert.current_done = true;  // the stop came after the file was replaced
  EXPECT_EQ(JobSummary(JobKind::kInsert, insert, false),
            "已停止：已写入 1 个副本，最后一个是 C:\\书\\1.txt");
}

}  // namespace
}  // namespace travik::ui
