// Placeholder until the insert command is built.
#include "cli/cli_common.h"

namespace travik::cli {
int RunInsert(const std::vector<std::string>&) {
  PrintError("travik insert: 尚未实现");
  return kExitUsage;
}
}  // namespace travik::cli
