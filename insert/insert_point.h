// Where an inserted text goes: the parity rule that keeps byte-counted insertion points off the
// middle of double-byte characters, and the anchors it counts from.
//
// Positions are 1-based as in core/text.h; an insertion offset is the number of bytes before the
// point. A candidate `pos` is the number of bytes of the current text that are to lie before the
// inserted text.
#ifndef TRAVIK_INSERT_INSERT_POINT_H_
#define TRAVIK_INSERT_INSERT_POINT_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace travik {

// One-byte characters known to end on a character boundary, in search order (31 entries).
extern const std::array<std::string_view, 31> kSingleByteAnchors;
// Double-byte punctuation (and the ASCII backslash and "÷ "), in search order (37 entries); a
// found string is recorded at its start + 1.
extern const std::array<std::string_view, 37> kDoubleByteAnchors;

// The anchors before `pos`: the last occurrence (by double-byte stepping, lying within the first
// pos - 1 bytes) of each one-byte anchor, in table order; when none of them lies at or after
// `line_start`, also the last occurrence + 1 of each double-byte anchor. Order is not meaningful.
std::vector<int> CollectAnchors(std::string_view text, int pos, int line_start);

// The offset at which to insert for candidate `pos`: `pos` when byte `pos` is 0x01..0x7F;
// otherwise `pos` or `pos` + 1 by the parity of the distance to the nearest anchor. The answer
// is then checked exactly: an offset that would fall between the two bytes of a character is
// replaced by the other of the two. An offset beyond the end of the text is left as it is (the
// caller clamps it).
int64_t ResolveInsertOffset(std::string_view text, int64_t pos);

// The bytes of a text from offset `base` on; what lies before `base` is no longer needed.
struct TextWindow {
  std::string_view bytes;
  size_t base = 0;
  size_t end() const { return base + bytes.size(); }
};

// Walks a growing text once, keeping what ResolveInsertOffset needs: the last one-byte anchor,
// the last double-byte anchor and the last CR LF, each counted only where it starts on a
// character boundary. Asked about non-decreasing regions it costs amortised O(1) per byte.
class AnchorScanner {
 public:
  // Takes in every character that ends within the first `region` bytes of the text. Between
  // calls the text may grow and change, but never within the part already taken in, and the
  // window must start at or before frontier().
  void AdvanceTo(const TextWindow& text, size_t region);
  // Ends as AdvanceTo(text, region) does, but looks back from `region` in chunks that begin after
  // a line feed, and stops once the last anchor of each kind and the last CR LF are found: only
  // when one is missing does it walk back to the frontier. Never walks more than AdvanceTo.
  void JumpTo(const TextWindow& text, size_t region);
  // Starts again from byte 0.
  void Reset() { *this = AnchorScanner(); }

  // The start of the first character not yet taken in (a character boundary).
  size_t frontier() const { return at_; }
  // True when byte `offset` (>= frontier(), <= the window's end) begins a character or ends the
  // text.
  bool IsCharStart(const TextWindow& text, size_t offset) const;
  // The anchor the parity rule counts from (0 for none), given what has been taken in.
  int64_t NearestAnchor() const;

 private:
  enum class Previous : uint8_t { kOther, kCarriageReturn, kDivisionSign };

  size_t at_ = 0;
  int64_t last_single_ = 0;      // 1-based position of the last one-byte anchor
  int64_t last_double_ = 0;      // recorded position (start + 1) of the last double-byte anchor
  int64_t last_line_break_ = 0;  // 1-based position of the CR of the last CR LF
  Previous previous_ = Previous::kOther;
};

// The offset for candidate `pos` from the rule's nearest anchor, checked exactly as
// ResolveInsertOffset does. `scanner` has taken in the first pos - 1 bytes (or the whole text);
// the window holds the text from the scanner's frontier to byte pos + 1 (or to its end).
int64_t ResolveWithScanner(const TextWindow& text, int64_t pos, const AnchorScanner& scanner);

}  // namespace travik

#endif  // TRAVIK_INSERT_INSERT_POINT_H_
