// A literal model of the split modes for the tests: slow, obvious, step by step on whole texts
// with the byte-string operations, the way the routines are described, with these decisions:
// a cut never falls inside a double-byte character; a size split goes on until the text is used
// up; a keyword split writes no empty head or empty pieces and its last piece runs from the last
// match to the end; equal names get "(2)", "(3)" ...; names are made safe for file systems.
// Names are UTF-8: a matched text is converted from the text's encoding first.
#ifndef TRAVIK_SPLIT_SPLIT_MODEL_H_
#define TRAVIK_SPLIT_SPLIT_MODEL_H_

#include <string>
#include <vector>

#include "text/encoding.h"
#include "split/split_job.h"

namespace travik::model {

struct Piece {
  std::string name;  // file name, with ".txt"
  std::string bytes;
};

struct Naming {
  PieceNaming mode = PieceNaming::kNumber;
  std::string custom_text;
};

int LastSingleBytePosition(const std::string& t, int s);
int ExtraByteAtCut(const std::string& t, int x);
std::string SafeStem(const std::string& text, const std::string& suffix);

std::vector<Piece> SplitBySize(std::string source, int size_kb, double piece_count,
                               const Naming& naming);
std::vector<Piece> SplitByCount(std::string source, int parts, const Naming& naming);
// *compiled is false when the keyword is no valid pattern (nothing is written then).
std::vector<Piece> SplitByKeyword(const std::string& source, const std::string& keyword,
                                  const Naming& naming, bool* compiled);

// The same modes for a text in UTF-8 or GB18030 that begins with a byte-order mark of
// `mark_length` bytes (0 when none), stepping through the text character by character from the
// mark with the encoding's table of well-formed sequences (a byte that begins none is a character
// of its own). A piece ends at the first character boundary at or after its size; the mark stays
// in the first piece; names by keyword are the matched characters in UTF-8, "_" for each one that
// is no valid character.
std::vector<Piece> SplitBySize(const std::string& source, int size_kb, double piece_count,
                               const Naming& naming, Encoding encoding, size_t mark_length);
std::vector<Piece> SplitByCount(const std::string& source, int parts, const Naming& naming,
                                Encoding encoding, size_t mark_length);
std::vector<Piece> SplitByKeyword(const std::string& source, const std::string& keyword,
                                  const Naming& naming, bool* compiled, Encoding encoding,
                                  size_t mark_length);
// The byte offsets where the characters of the text begin, from `mark_length` on, and its size.
std::vector<size_t> CharacterStarts(const std::string& text, Encoding encoding, size_t mark_length);
// The characters of a matched text (in GBK, GB18030 or UTF-8) as UTF-8, each one that is no valid
// character of the encoding as "_".
std::string NameInUtf8(const std::string& matched, Encoding encoding);

}  // namespace travik::model

#endif  // TRAVIK_SPLIT_SPLIT_MODEL_H_
