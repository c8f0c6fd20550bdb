#include "insert/insertion_builder.h"

#include <algorithm>

#include "core/text.h"

namespace travik {

InsertionBuilder::InsertionBuilder(std::string_view source, std::string_view insert,
                                   OutputSink& sink, size_t piece)
    : source_(source), insert_(insert), sink_(sink), piece_(std::max<size_t>(piece, 1)) {
  window_.reserve(std::min(piece_, source.size()) + insert.size() + 4);
}

int64_t InsertionBuilder::size() const {
  return static_cast<int64_t>(handed_ + window_.size() + (source_.size() - consumed_));
}

void InsertionBuilder::HandOn() {
  size_t upto = scanner_.frontier();
  if (upto <= handed_) return;
  size_t n = upto - handed_;
  if (!sink_.Write(std::string_view(window_).substr(0, n))) ok_ = false;
  window_.erase(0, n);
  handed_ = upto;
}

void InsertionBuilder::Fill(size_t end, size_t region) {
  while (handed_ + window_.size() < end && consumed_ < source_.size()) {
    size_t take = std::min({end - (handed_ + window_.size()), piece_, source_.size() - consumed_});
    window_.append(source_.data() + consumed_, take);
    consumed_ += take;
    if (window_.size() >= piece_) {
      // Everything before the region is final: take it in and hand it on.
      scanner_.JumpTo({window_, handed_}, std::min(region, handed_ + window_.size()));
      HandOn();
    }
  }
}

int64_t InsertionBuilder::OffsetWithoutAnchors(int64_t pos, int64_t budget) const {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(window_.data());
  const size_t last = static_cast<size_t>(pos) - handed_;  // byte pos + 1, the first after pos
  const unsigned char c = p[last - 1];
  if (c >= 0x01 && c < 0x80) return pos;  // a character ends on such a byte
  // Every byte below 0x80 ends a character, and so does the byte before the frontier; the high
  // bytes after that pair up. Counted back no further than the budget allows.
  const size_t floor = scanner_.frontier() - handed_;
  const size_t limit =
      last - floor > static_cast<size_t>(budget) ? last - static_cast<size_t>(budget) : floor;
  size_t start = last;
  while (start > limit && p[start - 1] >= 0x80) --start;
  if (start == limit && limit != floor) return -1;
  if ((last - start) % 2 != 0) return pos + 1;  // byte pos begins a character: after it
  // A character ends at pos. Unless the next one is a single byte, pos + 1 lies inside it.
  if (p[last] >= 0x80) return pos;
  return -1;  // both pos and pos + 1 end characters: the anchors decide
}

int64_t InsertionBuilder::InsertAtPoint(int64_t pos) {
  pos = std::max<int64_t>(pos, 0);
  if (pos < last_pos_) ok_ = false;  // the bytes it would need may be handed on already
  if (!ok_) return -1;
  const int64_t budget = std::max<int64_t>(pos - last_pos_, 64);
  last_pos_ = pos;
  const int64_t length = size();
  size_t region = static_cast<size_t>(std::clamp<int64_t>(pos - 1, 0, length));
  // The rule reads up to byte pos + 1 (the exact check of pos + 1), the line-break check one more.
  Fill(static_cast<size_t>(std::min(pos + 2, length)), region);
  const TextWindow text{window_, handed_};
  int64_t offset = pos >= 1 && pos < length ? OffsetWithoutAnchors(pos, budget) : -1;
  if (offset < 0) {
    scanner_.JumpTo(text, region);
    offset = std::clamp<int64_t>(ResolveWithScanner(text, pos, scanner_), 0, length);
  }
  size_t at = static_cast<size_t>(offset) - handed_;  // offset >= region >= frontier >= handed_
  if (at >= 1 && at < window_.size() && window_[at - 1] == '\r' && window_[at] == '\n') {
    ++at;  // never between a CR and its LF: a lone CR reads as a broken line
    ++offset;
  }
  if (at == window_.size()) {
    window_.append(insert_);
  } else {
    window_.insert(at, insert_);
  }
  if (window_.size() >= piece_) HandOn();
  return offset;
}

bool InsertionBuilder::Finish() {
  if (!ok_) return false;
  if (!window_.empty() && !sink_.Write(window_)) ok_ = false;
  handed_ += window_.size();
  window_.clear();
  if (consumed_ < source_.size() && !sink_.Write(source_.substr(consumed_))) ok_ = false;
  consumed_ = source_.size();
  return ok_;
}

bool InsertEveryInterval(std::string_view source, std::string_view insert, int64_t interval,
                         int64_t step_count, OutputSink& out, size_t piece) {
  InsertionBuilder builder(source, insert, out, piece);
  const int64_t insert_length = static_cast<int64_t>(insert.size());
  int64_t position = 0;
  for (int64_t k = 1; k <= step_count; ++k) {
    int64_t step_length = k == 1 ? 0 : insert_length;
    position += interval + step_length;
    builder.InsertAtPoint(position);  // a point moved one byte on does not move the count
  }
  return builder.Finish();
}

bool InsertAtDraws(std::string_view source, std::string_view insert, const std::vector<int>& draws,
                   OutputSink& out, size_t piece) {
  InsertionBuilder builder(source, insert, out, piece);
  const int64_t insert_length = static_cast<int64_t>(insert.size());
  int64_t previous = 0;
  for (size_t k = 0; k < draws.size(); ++k) {
    int64_t step_length = k == 0 ? 0 : insert_length;
    int64_t pos = draws[k] + step_length;
    if (pos - previous < step_length + 2) pos += step_length;
    builder.InsertAtPoint(pos);  // sorted draws give candidates that never decrease
    previous = pos;              // the candidate, not the offset the rule may have moved
  }
  return builder.Finish();
}

bool InsertAfterMatches(std::string_view source, std::string_view insert,
                        const RegexSearchResult& matches, OutputSink& out, size_t piece) {
  std::string buffer;
  buffer.reserve(std::min(piece, source.size()) + insert.size());
  bool ok = true;
  auto hand_on = [&]() {
    if (!buffer.empty() && !out.Write(buffer)) ok = false;
    buffer.clear();
  };
  BoundaryCursor boundaries(source);
  size_t copied = 0;
  for (const MatchRecord& match : matches.matches) {
    int64_t start = MatchPosition(match);
    if (start < 0) continue;
    size_t end = std::min(static_cast<size_t>(start + match.groups[0].length), source.size());
    if (end < source.size() && !boundaries.IsCharStart(end)) ++end;  // after the whole character
    end = std::max(end, copied);
    if (end - copied >= piece) {
      hand_on();
      if (!out.Write(source.substr(copied, end - copied))) ok = false;
    } else {
      buffer.append(source.data() + copied, end - copied);
    }
    buffer.append(insert);
    copied = end;
    if (buffer.size() >= piece) hand_on();
  }
  hand_on();
  if (copied < source.size() && !out.Write(source.substr(copied))) ok = false;
  return ok;
}

}  // namespace travik
