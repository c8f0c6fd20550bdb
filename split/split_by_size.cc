// Split by size: pieces of a fixed number of bytes, a little longer where the cut would split a
// character.
#include <algorithm>

#include "core/encoding.h"
#include "core/text.h"
#include "split/split_modes.h"

namespace travik {

namespace {
bool IsSingleByte(unsigned char c) { return c >= 0x01 && c <= 0x7F; }
}  // namespace

int64_t LastSingleBytePosition(std::string_view text, int64_t s) {
  // Byte q + 1 always begins a character: a byte below 0x80 is a character or a second byte,
  // and ends a character either way. The line that holds the cut bounds nothing more: its first
  // byte follows an LF, itself a single byte.
  int64_t p = std::min<int64_t>(s - 1, static_cast<int64_t>(text.size()));
  for (; p >= 1; --p) {
    if (IsSingleByte(static_cast<unsigned char>(text[static_cast<size_t>(p - 1)]))) return p;
  }
  return 0;
}

int64_t SizePieceLength(std::string_view text, int64_t s) {
  const int64_t length = static_cast<int64_t>(text.size());
  if (length <= s) return length;
  if (LastSingleBytePosition(text, s) % 2 == 0) return s;  // byte s is a second byte
  // Bytes q+1 ... s-1 form whole characters, so byte s begins one. A single byte there already
  // ends the piece well, and taking the byte after it would cut off a lead byte.
  const unsigned char at_s = static_cast<unsigned char>(text[static_cast<size_t>(s - 1)]);
  const unsigned char after_s = static_cast<unsigned char>(text[static_cast<size_t>(s)]);
  if (IsSingleByte(at_s) && IsLeadByte(after_s)) return s;
  return s + 1;
}

void SplitBySize(const SplitContext& context, int64_t piece_bytes, PieceWriter& writer) {
  const std::string_view text = context.source_text;
  // UTF-8 and GB18030: a piece ends at the first character boundary at or after its size. GBK
  // keeps the rule of SizePieceLength.
  const bool gbk = context.encoding == Encoding::kGbk;
  CharCursor boundaries(text, context.encoding, context.mark_length);
  size_t pos = 0;
  // The count from the file's size normally covers the text; when it does not (a size typed as
  // 1.5, a file that changed) the pieces go on until no text is left.
  for (int64_t i = 1; i <= context.piece_count || pos < text.size(); ++i) {
    const std::string_view rest = text.substr(pos);
    const size_t length =
        gbk ? static_cast<size_t>(SizePieceLength(rest, piece_bytes))
            : boundaries.NextBoundary(pos + static_cast<size_t>(piece_bytes)) - pos;
    writer.WritePiece(rest.substr(0, length), i);
    if (writer.stopped()) break;
    pos += length;
    context.source_text.Release(pos);
    if (pos == text.size()) break;
  }
}

}  // namespace travik
