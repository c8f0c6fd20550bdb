#include "insert/insertion_builder.h"

#include <algorithm>

#include "core/text.h"

namespace travik {

InsertionBuilder::InsertionBuilder(std::string_view source, std::string_view insert,
                                   int64_t expected_insertions)
    : source_(source), insert_(insert) {
  out_.reserve(source.size() +
               static_cast<size_t>(std::max<int64_t>(expected_insertions, 0)) * insert.size());
}

int64_t InsertionBuilder::size() const {
  return static_cast<int64_t>(out_.size() + (source_.size() - consumed_));
}

void InsertionBuilder::Fill(size_t n) {
  if (out_.size() >= n) return;
  size_t take = std::min(n - out_.size(), source_.size() - consumed_);
  out_.append(source_.data() + consumed_, take);
  consumed_ += take;
}

int64_t InsertionBuilder::InsertAtPoint(int64_t pos) {
  pos = std::max<int64_t>(pos, 0);
  const int64_t length = size();
  // The rule reads up to byte pos + 1 (the exact check of pos + 1).
  Fill(static_cast<size_t>(std::min(pos + 1, length)));
  size_t region = static_cast<size_t>(std::clamp<int64_t>(pos - 1, 0, length));
  // Every byte before the region is final: later insertions land at or after it.
  if (region < scanner_.frontier()) scanner_.Reset();
  scanner_.AdvanceTo(out_, region);
  int64_t offset = ResolveWithScanner(out_, pos, scanner_);
  offset = std::clamp<int64_t>(offset, 0, length);
  InsertAtOffset(offset);
  return offset;
}

void InsertionBuilder::InsertAtOffset(int64_t offset) {
  size_t at = static_cast<size_t>(std::clamp<int64_t>(offset, 0, size()));
  Fill(at);
  if (at < scanner_.frontier()) scanner_.Reset();  // only reachable by going backwards
  if (at == out_.size()) {
    out_.append(insert_);
  } else {
    out_.insert(at, insert_);
  }
}

std::string InsertionBuilder::Finish() {
  Fill(static_cast<size_t>(size()));
  return std::move(out_);
}

std::string InsertEveryInterval(std::string_view source, std::string_view insert, int64_t interval,
                                int64_t step_count) {
  InsertionBuilder builder(source, insert, step_count);
  const int64_t insert_length = static_cast<int64_t>(insert.size());
  int64_t position = 0;
  for (int64_t k = 1; k <= step_count; ++k) {
    int64_t step_length = k == 1 ? 0 : insert_length;
    position += interval + step_length;
    builder.InsertAtPoint(position);  // a point moved one byte on does not move the count
  }
  return builder.Finish();
}

std::string InsertAtDraws(std::string_view source, std::string_view insert,
                          const std::vector<int>& draws) {
  InsertionBuilder builder(source, insert, static_cast<int64_t>(draws.size()));
  const int64_t insert_length = static_cast<int64_t>(insert.size());
  int64_t previous = 0;
  for (size_t k = 0; k < draws.size(); ++k) {
    int64_t step_length = k == 0 ? 0 : insert_length;
    int64_t pos = draws[k] + step_length;
    if (pos - previous < step_length + 2) pos += step_length;
    builder.InsertAtPoint(pos);
    previous = pos;  // the candidate, not the offset the rule may have moved
  }
  return builder.Finish();
}

std::string InsertAfterMatches(std::string_view source, std::string_view insert,
                               const RegexSearchResult& matches) {
  std::string out;
  out.reserve(source.size() + matches.size() * insert.size());
  BoundaryCursor boundaries(source);
  size_t copied = 0;
  for (const MatchRecord& match : matches.matches) {
    int64_t start = MatchPosition(match);
    if (start < 0) continue;
    size_t end = std::min(static_cast<size_t>(start + match.groups[0].length), source.size());
    if (end < source.size() && !boundaries.IsCharStart(end)) ++end;  // after the whole character
    end = std::max(end, copied);
    out.append(source.data() + copied, end - copied);
    out.append(insert);
    copied = end;
  }
  out.append(source.data() + copied, source.size() - copied);
  return out;
}

}  // namespace travik
