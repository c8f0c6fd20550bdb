// Split by size: pieces of a fixed number of bytes, a little longer where the cut would split a
// character.
#include <algorithm>

#include "text/encoding.h"
#include "text/text.h"
#include "split/split_modes.h"

namespace travik {

namespace {
bool IsSingleByte(unsigned char c) { return c >= 0x01 && c <= 0x7F; }
}  // namespace

namespace {

// The rules of LastSingleBytePosition and SizePieceLength on a text of `length` bytes whose byte i
// is byte(i): the whole text in memory, or a piece seen through the reader's copies of it.
template <typename Byte>
int64_t LastSingleByteIn(int64_t length, int64_t s, const Byte& byte) {
  // Byte q + 1 always begins a character: a byte below 0x80 is a character or a second byte,
  // and ends a character either way. The line that holds the cut bounds nothing more: its first
  // byte follows an LF, itself a single byte.
  int64_t p = std::min<int64_t>(s - 1, length);
  for (; p >= 1; --p) {
    if (IsSingleByte(byte(p - 1))) return p;
  }
  return 0;
}

template <typename Byte>
int64_t PieceLengthIn(int64_t length, int64_t s, const Byte& byte) {
  if (length <= s) return length;
  if (LastSingleByteIn(length, s, byte) % 2 == 0) return s;  // byte s is a second byte
  // Bytes q+1 ... s-1 form whole characters, so byte s begins one. A single byte there already
  // ends the piece well, and taking the byte after it would cut off a lead byte.
  if (IsSingleByte(byte(s - 1)) && IsLeadByte(byte(s))) return s;
  return s + 1;
}

// Pieces up to this size are gathered from the reader's blocks while they wait for their end;
// a larger one takes the bytes before the last block from the file.
constexpr int64_t kMaxGathered = int64_t{4} << 20;

}  // namespace

int64_t LastSingleBytePosition(std::string_view text, int64_t s) {
  return LastSingleByteIn(static_cast<int64_t>(text.size()), s,
                          [text](int64_t i) { return static_cast<unsigned char>(text[i]); });
}

int64_t SizePieceLength(std::string_view text, int64_t s) {
  return PieceLengthIn(static_cast<int64_t>(text.size()), s,
                       [text](int64_t i) { return static_cast<unsigned char>(text[i]); });
}

void SplitBySize(const SplitContext& context, int64_t piece_bytes, PieceWriter& writer,
                 int64_t first_number, size_t start) {
  const std::string_view text = context.source_text;
  if (start > 0 && start >= text.size()) return;  // the earlier part wrote the last piece
  // UTF-8 and GB18030: a piece ends at the first character boundary at or after its size. GBK
  // keeps the rule of SizePieceLength.
  const bool gbk = context.encoding == Encoding::kGbk;
  CharCursor boundaries(text, context.encoding, context.mark_length);
  size_t pos = start;
  // The count from the file's size normally covers the text; when it does not (a size typed as
  // 1.5, a file that changed) the pieces go on until no text is left.
  for (int64_t i = first_number; i <= context.piece_count || pos < text.size(); ++i) {
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

bool SizeSplitAhead::Take(const SourceBlock& block) {
  if (!block.clean || writer_.stopped()) return false;
  const std::string_view file = block.file;
  file_ = file;
  const size_t looked = block.looked;
  const size_t fresh = looked_;  // where this block's new bytes begin
  looked_ = looked;
  // Until the reader knows the encoding so far (a long ASCII start is GBK and UTF-8 alike),
  // nothing is cut; the bytes of the piece to come are gathered all the same. The pieces are cut
  // in the first encoding known, and no more once the reader finds the text is not in it.
  const bool gbk = block.gbk_so_far;
  const bool utf8 = block.utf8_so_far && !gbk;
  if (!cut_as_known_ && (gbk || utf8)) {
    cut_as_ = gbk ? Encoding::kGbk : Encoding::kUtf8;
    cut_as_known_ = true;
  }
  if (cut_as_known_ && !(cut_as_ == Encoding::kGbk ? gbk : utf8)) return false;
  const bool cutting = cut_as_known_;
  // Byte i of the file: from the reader's copy or the bytes gathered when they hold it (they
  // stay in the cache), else from the file itself (the mapping).
  auto byte = [&](size_t i) {
    if (i >= block.window_begin && i < looked) {
      return static_cast<unsigned char>(block.window[i - block.window_begin]);
    }
    if (i >= pos_ && i - pos_ < gathered_.size()) return static_cast<unsigned char>(gathered_[i - pos_]);
    return static_cast<unsigned char>(file[i]);
  };
  while (cutting && pos_ < file.size()) {
    // The same cut SplitBySize makes on the whole text. It looks at the byte after the nominal
    // end: that byte must have been looked at too, unless the text ends first.
    const size_t rest = file.size() - pos_;
    size_t end = file.size();
    if (cut_as_ == Encoding::kGbk) {
      if (rest > static_cast<size_t>(piece_bytes_) && pos_ + piece_bytes_ + 1 > looked) break;
      end = pos_ + static_cast<size_t>(PieceLengthIn(static_cast<int64_t>(rest), piece_bytes_,
                                                     [&](int64_t i) { return byte(pos_ + i); }));
    } else if (rest > static_cast<size_t>(piece_bytes_)) {
      // UTF-8: the first character boundary at or after the size, found among the bytes looked
      // at (a character's continuation bytes run on for at most 3).
      end = pos_ + static_cast<size_t>(piece_bytes_);
      while (end < looked && (byte(end) & 0xC0) == 0x80) ++end;
      if (end >= looked && end < file.size()) break;
    }
    // The last piece waits for the reader's verdict on the end: a lone lead byte there is no
    // part of the text, and may be all of that piece.
    if (end > looked || end == file.size()) break;
    if (may_write_ && !may_write_(number_)) return false;
    if (number_ == 1) before_first_();
    // Bytes before this block: gathered, or else from the file; the rest from the reader's copy.
    const size_t from_copy = std::clamp(fresh, pos_, end);
    const std::string_view earlier = gathered_.size() == from_copy - pos_
                                         ? std::string_view(gathered_)
                                         : file.substr(pos_, from_copy - pos_);
    const std::string_view later =
        from_copy == end ? std::string_view()
                         : block.window.substr(from_copy - block.window_begin, end - from_copy);
    writer_.WritePieceParts(earlier, later, number_);
    gathered_.clear();
    if (writer_.stopped()) return false;
    pos_ = end;
    ++number_;
  }
  // The start of the next piece waits in memory for the blocks that end it: no more than a piece
  // and the bytes that end its last character.
  const bool kept = gathered_.size() == (pos_ < fresh ? fresh - pos_ : 0);
  if (pos_ < looked && piece_bytes_ <= kMaxGathered &&
      looked - pos_ <= static_cast<size_t>(piece_bytes_) + 3) {
    if (!kept) gathered_.assign(file.substr(pos_, pos_ < fresh ? fresh - pos_ : 0));
    const size_t from = std::max(pos_, fresh);
    gathered_.append(block.window.substr(from - block.window_begin, looked - from));
  } else {
    gathered_.clear();
  }
  return true;
}

}  // namespace travik
