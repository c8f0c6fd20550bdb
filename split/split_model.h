// A literal model of the split modes for the tests: slow, obvious, step by step on whole texts
// with the byte-string operations, the way the routines are described, with these decisions:
// a cut never falls inside a double-byte character; a size split goes on until the text is used
// up; a keyword split writes no empty head or empty pieces and its last piece runs from the last
// match to the end; equal names get "(2)", "(3)" ...; names are made safe for file systems.
#ifndef TRAVIK_SPLIT_SPLIT_MODEL_H_
#define TRAVIK_SPLIT_SPLIT_MODEL_H_

#include <string>
#include <vector>

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

}  // namespace travik::model

#endif  // TRAVIK_SPLIT_SPLIT_MODEL_H_
