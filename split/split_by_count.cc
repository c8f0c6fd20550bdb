// Split by part count: a requested number of pieces of (nearly) equal byte length.
#include <algorithm>

#include "text/encoding.h"
#include "text/text.h"
#include "split/split_modes.h"

namespace travik {

int ExtraByteAtCut(std::string_view text, int64_t x) {
  if (x < 1 || x > static_cast<int64_t>(text.size())) return 0;
  const size_t at = static_cast<size_t>(x - 1);
  BoundaryCursor boundaries(text);
  return IsLeadByte(static_cast<unsigned char>(text[at])) && boundaries.IsCharStart(at) ? 1 : 0;
}

void SplitByCount(const SplitContext& context, PieceWriter& writer) {
  const std::string_view text = context.source_text;
  const int parts = context.requested_parts;
  if (parts < 1) return;
  // Truncation of length / parts; exact in integers for every length below 2 GiB.
  size_t cut = text.size() / static_cast<size_t>(parts);
  // Every piece starts on a character boundary, so one cursor over the whole text answers for
  // the rest of it; the cuts only move forward.
  BoundaryCursor boundaries(text);
  // UTF-8 and GB18030: a piece ends at the first character boundary at or after its size.
  const bool gbk = context.encoding == Encoding::kGbk;
  CharCursor characters(text, context.encoding, context.mark_length);
  size_t pos = 0;
  for (int i = 1; i <= parts; ++i) {
    const size_t remaining = text.size() - pos;
    size_t length = std::min(cut, remaining);
    if (!gbk) {
      length = characters.NextBoundary(pos + cut) - pos;
    } else if (cut >= 1 && cut <= remaining) {
      const size_t last = pos + cut - 1;
      if (IsLeadByte(static_cast<unsigned char>(text[last])) && boundaries.IsCharStart(last)) {
        length = std::min(cut + 1, remaining);
      }
    }
    writer.WritePiece(text.substr(pos, length), i);
    if (writer.stopped()) break;
    pos += length;
    context.source_text.Release(pos);
    if (i == parts - 1 && text.size() - pos > cut) cut = text.size() - pos;
  }
}

}  // namespace travik
