// Placeholder until the split command is built.
#include "cli/cli_common.h"

namespace travik::cli {
int RunSplit(const std::vector<std::string>&) {
  PrintError("travik split: 尚未实现");
  return kExitUsage;
}
}  // namespace travik::cli
