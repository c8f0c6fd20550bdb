// Which reading of a text's bytes is the more plausible text: bytes valid in more than one
// encoding are weighed by what each reading says, not taken for the first encoding they fit.
#ifndef TRAVIK_TEXT_EVIDENCE_H_
#define TRAVIK_TEXT_EVIDENCE_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/encoding.h"

namespace travik {

// Only the text's first bytes are weighed: past them the verdict no longer changes in practice,
// and the cost stays the same for any text.
inline constexpr size_t kEvidenceBytes = size_t{64} << 10;

// How plausible the text (at most its first kEvidenceBytes) is when read in `encoding` (GBK,
// UTF-8 or Big5), as a sum over its characters: common Chinese characters and punctuation count for it;
// letters of Latin, Greek or Cyrillic standing outside a word of their script, IPA and modifier
// letters, C1 controls, private-use values and undecodable bytes count against it. ASCII counts
// for neither. Any other encoding gives {0, 0}.
struct ReadingScore {
  int64_t sum = 0;
  size_t characters = 0;  // of them, those that are not ASCII
};
ReadingScore ScoreReading(std::string_view text, Encoding encoding);

// How much evidence a verdict needs not to be shown as uncertain ("GBK?"): the difference of
// the readings' scores per character times the characters, about four characters' worth.
inline constexpr int64_t kWeakMargin = 16;

// The verdict on a text that is well-formed UTF-8 holding a multi-byte character and so could be
// GBK as well: GBK when its GBK reading scores higher per character than its UTF-8 one, else
// UTF-8. `weak` when the evidence is below kWeakMargin.
struct Verdict {
  Encoding encoding = Encoding::kUtf8;
  bool weak = false;
};
Verdict WeighUtf8AgainstGbk(std::string_view text);

// How much more than the GBK reading a Big5 reading must score to be taken: a common
// character's worth. On real text no GBK slice of any length is then taken for Big5, and Big5
// slices are right from 10 characters on (random novel-like text: from 8).
inline constexpr int64_t kBig5Lead = 4;

// The verdict on a text that would be GBK and whose bytes also step as Big5 (both are read two
// bytes to a lead byte): Big5 when its Big5 reading scores more than kBig5Lead above its GBK
// one, else GBK.
// Only the first kEvidenceBytes are looked at; bytes among them that are no Big5 text make GBK at
// once (not weak). It says nothing about the rest of the text. `weak` when the scores are less
// than kWeakMargin apart, whichever won.
Verdict WeighGbkAgainstBig5(std::string_view text);

}  // namespace travik

#endif  // TRAVIK_TEXT_EVIDENCE_H_
