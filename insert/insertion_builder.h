// Builds the text that results from a series of insertions in one forward pass.
//
// Each insertion is placed against the text as it stands after the earlier ones, as if the
// working file were re-read before every step. The builder holds that text as finished output
// (handed to a sink piece by piece), a short window of recent output, and the untouched rest of
// the source.
#ifndef TRAVIK_INSERT_INSERTION_BUILDER_H_
#define TRAVIK_INSERT_INSERTION_BUILDER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/encoding.h"
#include "text/pattern.h"
#include "files/source_bytes.h"
#include "insert/insert_point.h"

namespace travik {

// Receives the output in order, piece by piece.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  // False when the bytes could not be written.
  virtual bool Write(std::string_view bytes) = 0;
  // Takes the bytes of *bytes whole, leaving in it a string for the caller to fill next (empty,
  // perhaps with room). A sink that writes later keeps the bytes instead of copying them; by
  // default they are written at once and the string is left cleared.
  virtual bool Take(std::string* bytes) {
    const bool written = Write(*bytes);
    bytes->clear();
    return written;
  }
};

// Output gathered into a string.
class StringSink : public OutputSink {
 public:
  bool Write(std::string_view bytes) override {
    text.append(bytes);
    return true;
  }
  std::string text;
};

// How much output the builders gather before handing it on.
inline constexpr size_t kOutputPiece = size_t{1} << 20;

class InsertionBuilder {
 public:
  // `source` and `insert` must outlive the builder. Output is handed to `sink` in pieces of about
  // `piece` bytes.
  InsertionBuilder(std::string_view source, std::string_view insert, OutputSink& sink,
                   size_t piece = kOutputPiece);

  // Copies the source into the window with bytes->CopyOut, when `bytes` are the source's very
  // bytes (a mapped file is then read, not touched page by page); else as a view.
  void ReadFrom(const SourceBytes* bytes) {
    read_from_ = bytes != nullptr && bytes->data() == source_.data() &&
                         bytes->size() == source_.size()
                     ? bytes
                     : nullptr;
  }
  // Length of the current text (the source with the insertions so far).
  int64_t size() const;
  // Inserts at candidate `pos`: the offset is ResolveInsertOffset of the current text, clamped to
  // its end, and moved past the LF when it falls between a CR and that LF. Candidates must not
  // decrease (a smaller one fails the builder). Returns the offset used, or -1 once the builder
  // has failed.
  int64_t InsertAtPoint(int64_t pos);
  // Hands on the rest of the text. False when the sink or the builder failed.
  bool Finish();

 private:
  // Moves source bytes into the window until the text up to `end` is there (or all of it),
  // taking in and handing on finished bytes on the way so that the window stays short.
  void Fill(size_t end, size_t region);
  // The offset for candidate `pos` (1 <= pos < size(), the window holding bytes pos and pos + 1)
  // when it does not depend on the anchors: the byte at pos, or whether pos and pos + 1 end
  // characters, settles it. -1 when the anchors decide or the character boundaries lie further
  // back than `budget` bytes.
  int64_t OffsetWithoutAnchors(int64_t pos, int64_t budget) const;
  // Hands on the window's bytes before the scanner's frontier.
  void HandOn();

  std::string_view source_;
  std::string_view insert_;
  OutputSink& sink_;
  size_t piece_;
  const SourceBytes* read_from_ = nullptr;  // the source's bytes, copied with CopyOut
  std::string scratch_;  // source bytes read ahead with CopyOut, on their way into the window
  size_t scratch_at_ = 0;
  size_t scratch_length_ = 0;
  std::string window_;   // the current text from byte handed_ on
  std::string spare_;    // what the sink left to fill next
  size_t handed_ = 0;    // bytes already handed to the sink
  size_t consumed_ = 0;  // bytes of source_ already moved into the window
  int64_t last_pos_ = 0;
  bool ok_ = true;
  AnchorScanner scanner_;
};

// How a source's characters are laid out: its encoding, and the length of the byte-order mark its
// text begins with.
struct TextLayout {
  Encoding encoding = Encoding::kGbk;
  size_t mark_length = 0;
  // The source's bytes, when the source is a view of all of them: what a builder copies of the
  // source is then read with SourceBytes::CopyOut (from the file, when it is mapped).
  const SourceBytes* bytes = nullptr;
};

// The builder for UTF-8 and GB18030 texts: a point inside a character moves to the end of that
// character, a point before the end of the byte-order mark to its end, in GB18030 a point where a
// lead byte that begins no character would take inserted bytes into a character to the next point
// where none can (at the end of the text, back before those bytes), and a point between a CR and
// its LF past the LF; clamped to the end of the text. `insert` must be whole characters of
// the encoding. Finished output is gathered and handed on in pieces; the source between two
// insertions is copied once, straight into that output.
class EncodedInsertionBuilder {
 public:
  EncodedInsertionBuilder(std::string_view source, std::string_view insert, OutputSink& sink,
                          size_t piece, const TextLayout& layout);

  // As InsertionBuilder::InsertAtPoint: candidates must not decrease.
  int64_t InsertAtPoint(int64_t pos);
  bool Finish();

 private:
  // Places the text at `offset` of the current text (at or after emitted_).
  void InsertAtOffset(int64_t offset);
  // Hands on the source up to byte `end` (after the pending insertions).
  void EmitSourceTo(size_t end);
  void Emit(std::string_view bytes);
  // The current text's byte before `offset` (at or after emitted_), -1 at the start.
  int ByteBefore(int64_t offset) const;
  // The current text's byte at `offset` (at or after emitted_), -1 at the end.
  int ByteAt(int64_t offset) const;

  std::string_view source_;
  std::string_view insert_;
  OutputSink& sink_;
  size_t piece_;
  TextLayout layout_;
  CharCursor source_boundaries_;
  std::string output_;    // finished bytes not yet handed on
  std::string pending_;   // insertions made at emitted_, before the source byte consumed_
  int64_t emitted_ = 0;   // bytes of the current text before pending_
  size_t consumed_ = 0;   // bytes of source_ before pending_'s end
  int last_byte_ = -1;    // the byte before emitted_
  int64_t last_pos_ = 0;
  bool ok_ = true;
};

// Writes the source with `insert` after every `interval` bytes, `step_count` times: step k's
// candidate is k * interval + (k - 1) * length of `insert` in the growing text.
// UTF-8 and GB18030 sources (`layout`) go through EncodedInsertionBuilder.
bool InsertEveryInterval(std::string_view source, std::string_view insert, int64_t interval,
                         int64_t step_count, OutputSink& out, size_t piece = kOutputPiece,
                         const TextLayout& layout = {});

// Writes the source with `insert` at each of the sorted `draws`: the first at its draw, each later
// one at its draw plus one insert length, plus another when that lies less than one insert length
// and two bytes after the previous candidate.
bool InsertAtDraws(std::string_view source, std::string_view insert, const std::vector<int>& draws,
                   OutputSink& out, size_t piece = kOutputPiece, const TextLayout& layout = {});

// Writes the source with `insert` after the end of every match (offsets in the source's own
// bytes); a match that ends inside a character gets it after that character (in GBK: a match
// that ends on the first byte of a double-byte character).
bool InsertAfterMatches(std::string_view source, std::string_view insert,
                        const RegexSearchResult& matches, OutputSink& out,
                        size_t piece = kOutputPiece, const TextLayout& layout = {});

}  // namespace travik

#endif  // TRAVIK_INSERT_INSERTION_BUILDER_H_
