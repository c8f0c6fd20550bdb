// Placeholder until the merge command is built.
#include "cli/cli_common.h"

namespace travik::cli {
int RunMerge(const std::vector<std::string>&) {
  PrintError("travik merge: 尚未实现");
  return kExitUsage;
}
}  // namespace travik::cli
