// Builds the text that results from a series of insertions in one forward pass.
//
// Each insertion is placed against the text as it stands after the earlier ones, as if the
// working file were re-read before every step; the builder keeps that text as an output prefix
// (already final) followed by the untouched rest of the source.
#ifndef TRAVIK_INSERT_INSERTION_BUILDER_H_
#define TRAVIK_INSERT_INSERTION_BUILDER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/pattern.h"
#include "insert/insert_point.h"

namespace travik {

class InsertionBuilder {
 public:
  // `source` and `insert` must outlive the builder. `expected_insertions` sizes the output.
  InsertionBuilder(std::string_view source, std::string_view insert, int64_t expected_insertions);

  // Length of the current text (the source with the insertions so far).
  int64_t size() const;
  // Inserts at candidate `pos` (>= 0): the offset is ResolveInsertOffset of the current text,
  // clamped to its end. Returns the offset used. Linear overall when the candidates do not
  // decrease; a smaller candidate is still answered correctly, by scanning again from the start.
  int64_t InsertAtPoint(int64_t pos);
  // Inserts at `offset` of the current text as it is (clamped to its end); no rule applies.
  void InsertAtOffset(int64_t offset);
  // The final text. The builder is spent afterwards.
  std::string Finish();

 private:
  // Moves source bytes into the output until it holds `n` bytes (or the whole current text).
  void Fill(size_t n);

  std::string_view source_;
  std::string_view insert_;
  std::string out_;
  size_t consumed_ = 0;  // bytes of source_ already moved into out_
  AnchorScanner scanner_;
};

// The source with `insert` after every `interval` bytes, `step_count` times: step k's candidate
// is k * interval + (k - 1) * length of `insert` in the growing text.
std::string InsertEveryInterval(std::string_view source, std::string_view insert, int64_t interval,
                                int64_t step_count);

// The source with `insert` at each of the sorted `draws`: the first at its draw, each later one
// at its draw plus one insert length, plus another when that lies less than one insert length
// and two bytes after the previous candidate.
std::string InsertAtDraws(std::string_view source, std::string_view insert,
                          const std::vector<int>& draws);

// The source with `insert` after the end of every match; a match that ends on the first byte of
// a double-byte character gets it after that character.
std::string InsertAfterMatches(std::string_view source, std::string_view insert,
                               const RegexSearchResult& matches);

}  // namespace travik

#endif  // TRAVIK_INSERT_INSERTION_BUILDER_H_
