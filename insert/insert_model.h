// A slow, literal model of the insert routines for the tests: a working file re-read before every
// step, anchors found by FindTextReverse from the start of the text for every point.
#ifndef TRAVIK_INSERT_INSERT_MODEL_H_
#define TRAVIK_INSERT_INSERT_MODEL_H_

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "text/encoding.h"

namespace travik::model {

// The anchor list, step by step: every one-byte anchor, then (when the nearest lies before the
// line start) every double-byte anchor at its start + 1.
std::vector<int> CollectAnchors(const std::string& text, int pos, int line_start);

// The parity rule as written: pos, or pos + 1 by the parity of the distance to the greatest
// anchor.
int RuleOffset(const std::string& text, int pos);

// The rule's answer checked by counting bytes of 0x80 or above back from the point to the last
// byte below 0x80: an odd count means the point is inside a character, and the other of pos and
// pos + 1 is taken.
int ResolveInsertOffset(const std::string& text, int pos);

// Where the length and random routines insert for candidate `pos`: ResolveInsertOffset clamped to
// the end of the text, and one byte on when that falls between a CR and an LF.
int InsertionOffset(const std::string& text, int pos);

// An in-memory working file with the file layer's insertion semantics.
class WorkingFile {
 public:
  explicit WorkingFile(std::string text) : bytes_(std::move(text)) {}
  // The file's whole text, as re-reading it gives.
  std::string ReadText() const { return bytes_; }
  // Seek to `offset` and insert: clamped to the end, since a gap would be zero bytes.
  void InsertAt(int offset, const std::string& text);
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// The routines on a GBK text, as the working file ends up. `insert` is the text to insert already
// in GBK (as the job converts what was typed); `pattern` is the keyword as typed (UTF-8).
std::string InsertByLength(const std::string& source, const std::string& insert, int interval,
                           int step_count);
std::string InsertAtRandom(const std::string& source, const std::string& insert,
                           std::vector<int> draws);
std::string InsertAtKeyword(const std::string& source, const std::string& insert,
                            const std::string& pattern);

// The same routines in a text of `encoding` that begins with a byte-order mark of `mark` bytes:
// the current text stepped through from its first byte, character by character, before every
// step. A point goes to the first character boundary at or after it and after the mark, clamped
// to the end of the text, then past the LF when it falls between a CR and that LF. A point on an
// inserted byte first moves to the end of those inserted bytes: no copy goes inside another.
// `inserted` (when given) receives one flag per byte of the result: true for inserted bytes.
struct EncodedText {
  Encoding encoding = Encoding::kGbk;
  size_t mark = 0;
};
// In UTF-8 and GB18030, a boundary where `insert` would run together with bytes before it into
// one character (a GB18030 lead byte that begins no character, perhaps with a digit after it,
// takes the inserted bytes as its own) moves on to the next boundary where it does not; at the
// end of the text, back to the last one where it does not.
int EncodedInsertionOffset(const std::string& text, EncodedText form, const std::string& insert,
                           int pos);
// True when the text with `insert` at `offset`, stepped through from byte 0, has a character
// boundary at both ends of the inserted bytes.
bool StandsApart(const std::string& text, Encoding encoding, size_t offset,
                 const std::string& insert);
// The boundary `offset` moved on (or at the end back) to where `insert` stands apart.
size_t ApartOffset(const std::string& text, EncodedText form, const std::string& insert,
                   size_t offset);
std::string InsertByLengthIn(const std::string& source, EncodedText form,
                             const std::string& insert, int interval, int step_count,
                             std::vector<bool>* inserted = nullptr);
std::string InsertAtRandomIn(const std::string& source, EncodedText form,
                             const std::string& insert, std::vector<int> draws,
                             std::vector<bool>* inserted = nullptr);
// After every match of the keyword (UTF-8, as typed) in the text after its mark, searched in the
// encoding.
std::string InsertAtKeywordIn(const std::string& source, EncodedText form,
                              const std::string& insert, const std::string& pattern,
                              std::vector<bool>* inserted = nullptr);

// True when byte `offset` of the text begins a character (or is its end), stepping from byte 0.
bool IsBoundary(const std::string& text, Encoding encoding, size_t offset);

// Random texts of code points for the encoded property tests: ASCII with digits and punctuation,
// CR LF, lone CR and LF, Chinese characters and punctuation, and (unless `gbk_only`) characters
// GBK lacks, among them U+20000 and U+1F600. As UTF-8.
std::string RandomUtf8Text(std::mt19937& rng, size_t max_characters, bool gbk_only = false);

// Random inputs for the property tests: GBK-like text rich in anchors, CR LF, trail bytes that
// look like anchors or line breaks, and (when `loose_end`) possibly a lone lead byte at the end.
std::string RandomText(std::mt19937& rng, size_t max_length, bool loose_end = false);

// Long text for the scanning paths: "中" repeated, with one of `rare` about every `spacing`
// characters, until the text is at least `length` bytes long.
std::string SparseText(std::mt19937& rng, size_t length, unsigned spacing,
                       const std::vector<std::string>& rare);

// The bytes in hex, for failure messages.
std::string Hex(std::string_view text);

}  // namespace travik::model

#endif  // TRAVIK_INSERT_INSERT_MODEL_H_
