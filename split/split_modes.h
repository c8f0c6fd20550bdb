// The three ways of cutting one source text, each writing its pieces through a PieceWriter.
// They read the source text and their values from the SplitContext that the split job filled.
#ifndef TRAVIK_SPLIT_SPLIT_MODES_H_
#define TRAVIK_SPLIT_SPLIT_MODES_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include <string_view>
#include <utility>

#include "files/files.h"

#include "split/piece_writer.h"
#include "split/split_job.h"

namespace travik {

// Size mode. The 1-based position of the last byte from 0x01 to 0x7F among bytes 1 ... s-1 of
// the text (the last single-byte character before a cut after byte s); 0 when there is none.
int64_t LastSingleBytePosition(std::string_view text, int64_t s);
// The length of the piece cut from the front of `text` for a nominal size of s bytes (s even):
// the whole text when it is not longer than s; else s, or s + 1 when the last single-byte
// position is odd (byte s begins a character) unless byte s is a single byte followed by a lead
// byte. A piece of valid text never ends inside a double-byte character.
int64_t SizePieceLength(std::string_view text, int64_t s);
// Writes pieces 1, 2 ... of context.source_text, each SizePieceLength(rest, piece_bytes) long
// (UTF-8 and GB18030: up to the first character boundary at or after piece_bytes), at least
// context.piece_count of them while text remains, and on until the text is used up.
// With `first_number` and `start`, goes on from piece `first_number` at byte `start` of the text,
// where an earlier part of the same split left off (nothing when that is the end of the text).
void SplitBySize(const SplitContext& context, int64_t piece_bytes, PieceWriter& writer,
                 int64_t first_number = 1, size_t start = 0);

// A split by size of a GBK or UTF-8 text begun while the reader is still looking at a large file
// (LoadSourceText's on_block): each piece whose bytes have all been looked at is written at once,
// from the reader's copy while it is in the cache; the last piece of the file is left to
// SplitBySize. The pieces are the first ones SplitBySize writes for the file's whole text in
// encoding(), the one the reader found so far; they count only when the reader finds the text
// to be in that encoding, without a byte-order mark, 0x00 or 0x1A, and SplitBySize goes on from
// next_number() and pos(). Otherwise the caller removes them.
class SizeSplitAhead {
 public:
  // `before_first` runs before the first piece is written (it makes the folder). `may_write`,
  // when given, is asked before each piece (by its number): false leaves that piece and the rest
  // to SplitBySize (a file of its name is already there, which a piece that goes would take).
  SizeSplitAhead(int64_t piece_bytes, PieceWriter& writer, std::function<void()> before_first,
                 std::function<bool(int64_t)> may_write = {})
      : piece_bytes_(piece_bytes),
        writer_(writer),
        before_first_(std::move(before_first)),
        may_write_(std::move(may_write)) {}
  // Writes what the block completes; false once nothing more will be written (a 0x00 or 0x1A
  // was seen, a stop was asked for, or `may_write` said no).
  bool Take(const SourceBlock& block);
  bool wrote() const { return number_ > 1; }
  // True when `text` is a view of the very bytes the pieces were cut from (not a second reading
  // of a file that changed meanwhile).
  bool CutFrom(std::string_view text) const {
    return !file_.empty() && text.data() == file_.data() && text.size() == file_.size();
  }
  int64_t next_number() const { return number_; }
  size_t pos() const { return pos_; }
  // The encoding the pieces were cut in (when wrote()): they count only for a text read in it.
  Encoding encoding() const { return cut_as_; }

 private:
  int64_t piece_bytes_;
  PieceWriter& writer_;
  std::function<void()> before_first_;
  std::function<bool(int64_t)> may_write_;
  int64_t number_ = 1;
  std::string_view file_;  // the file the blocks came from
  size_t pos_ = 0;         // where the next piece begins
  size_t looked_ = 0;      // bytes looked at before the block now taken
  std::string gathered_;   // file[pos_, looked_) when it is kept, else empty
  Encoding cut_as_ = Encoding::kGbk;
  bool cut_as_known_ = false;
};

// Count mode. 1 when byte x (1-based) of the text begins a double-byte character, judged by
// double-byte stepping from the start of the text; else 0 (also for x out of range).
int ExtraByteAtCut(std::string_view text, int64_t x);
// Writes exactly context.requested_parts pieces (>= 1): all but the last `length / parts` bytes
// long, one more where the cut would split a character (UTF-8 and GB18030: up to the first
// character boundary at or after that length); the last takes the rest. Pieces after the end of
// the text are empty.
void SplitByCount(const SplitContext& context, PieceWriter& writer);

// Keyword mode: what happened to one file.
struct KeywordSplitOutcome {
  bool pattern_ok = false;  // the keyword compiled
  bool cut_short = false;   // the search gave up early: cuts only at the matches found before
  int64_t pieces = 0;       // pieces written (including the head piece)
  std::vector<std::string> warnings;  // the chapter finder's checks that did not pass (UTF-8)
};
// Compiles context.keyword and cuts context.source_text at the start of every match (searched in
// context.encoding, after the byte-order mark): the text before the first match is the head
// piece (number 0, none when the first match is at the start or right after the mark),
// then one piece per match running to the next match or the end of the text, named by the match.
// Matches that would give empty pieces (zero-length matches at the same place or at the end) make
// no piece. Writes nothing when the pattern does not compile or nothing matches; else calls
// `before_first_piece` (when given) once before the first piece is written.
KeywordSplitOutcome SplitByKeyword(const SplitContext& context, PieceWriter& writer,
                                   const std::function<void()>& before_first_piece = {});
// The same at the headings the chapter finder lists for context.source_text (with
// context.keyword as its pattern when not empty, else context.chapter_presets, or its own choice
// when those are 0), in context.encoding: each piece is named by its heading line. pattern_ok is false only for a
// pattern that does not compile; no heading writes nothing.
KeywordSplitOutcome SplitByChapters(const SplitContext& context, PieceWriter& writer,
                                    const std::function<void()>& before_first_piece = {});

}  // namespace travik

#endif  // TRAVIK_SPLIT_SPLIT_MODES_H_
