#include "insert/insertion_builder.h"

#include <algorithm>

#include "text/text.h"

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
  const size_t n = upto - handed_;
  // The window's string goes to the sink as it is; the few bytes after the frontier move to the
  // string the sink left.
  std::string handed = std::move(spare_);
  handed.swap(window_);
  window_.clear();
  window_.reserve(piece_ + insert_.size() + 4);
  window_.append(handed, n, std::string::npos);
  handed.resize(n);
  if (!sink_.Take(&handed)) ok_ = false;
  spare_ = std::move(handed);
  handed_ = upto;
}

void InsertionBuilder::Fill(size_t end, size_t region) {
  while (handed_ + window_.size() < end && consumed_ < source_.size()) {
    size_t take = std::min({end - (handed_ + window_.size()), piece_, source_.size() - consumed_});
    if (read_from_ != nullptr) {
      // Read ahead a piece at a time: the window grows by a few bytes per point.
      if (consumed_ < scratch_at_ || consumed_ >= scratch_at_ + scratch_length_) {
        if (scratch_.size() < piece_) scratch_.resize(piece_);
        scratch_at_ = consumed_;
        scratch_length_ = std::min(piece_, source_.size() - consumed_);
        read_from_->CopyOut(scratch_at_, scratch_.data(), scratch_length_);
      }
      take = std::min(take, scratch_at_ + scratch_length_ - consumed_);
      window_.append(scratch_.data() + (consumed_ - scratch_at_), take);
    } else {
      window_.append(source_.data() + consumed_, take);
    }
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

namespace {

// The character boundaries of a GB18030 text in [from, to] no more than 12 bytes before `to`,
// stepping from boundary `from`.
std::vector<size_t> LastBoundaries(std::string_view text, size_t from, size_t to) {
  std::vector<size_t> list;
  const char* end = text.data() + text.size();
  for (size_t p = from; p <= to;) {
    if (p + 12 >= to) list.push_back(p);
    if (p == to) break;
    p += CharLength(Encoding::kGb18030, text.data() + p, end);
  }
  return list;
}

// True when `insert` put at boundary `at` of a GB18030 text would run together with bytes before
// it into one character: a lead byte that begins no character (perhaps with a digit after it)
// takes inserted bytes as its own. Before `from` (listed first in `boundaries`, which hold the
// boundaries from at - 12 up to at) lie only whole characters of the result, or nothing. Valid
// characters never change with the bytes after them, and a character begins no more than three
// bytes before a byte it can reach.
bool RunsTogether(std::string_view text, const std::vector<size_t>& boundaries, size_t from,
                  size_t at, std::string_view insert) {
  if (at == from) return false;
  size_t first = at;
  for (size_t b : boundaries) {
    if (b >= from && b + 3 >= at && b < at) {
      first = b;
      break;
    }
  }
  if (first == at) return false;
  std::string joined(text.substr(first, at - first));
  joined.append(insert.substr(0, 4));
  if (insert.size() < 4) joined.append(text.substr(at, 4));
  const char* end = joined.data() + joined.size();
  size_t p = 0;
  while (p < at - first) p += CharLength(Encoding::kGb18030, joined.data() + p, end);
  return p != at - first;
}

// Where `insert` goes in a GB18030 text for boundary `at` (at or after `from`, as RunsTogether):
// `at` itself, or the next boundary where the inserted text stands apart from the bytes before
// it; at the end of the text, the last such boundary before it (`from` at worst, where nothing
// can join).
size_t ApartBoundary(std::string_view text, size_t from, size_t at, std::string_view insert) {
  const char* end = text.data() + text.size();
  for (;;) {
    if (!RunsTogether(text, LastBoundaries(text, from, at), from, at, insert)) return at;
    if (at == text.size()) break;
    at += CharLength(Encoding::kGb18030, text.data() + at, end);
  }
  const std::vector<size_t> boundaries = LastBoundaries(text, from, at);
  for (size_t k = boundaries.size(); k-- > 0;) {
    const size_t b = boundaries[k];
    if (b + 8 < at) break;  // its own bytes before it would not all be listed
    if (!RunsTogether(text, boundaries, from, b, insert)) return b;
  }
  return from;
}

}  // namespace

EncodedInsertionBuilder::EncodedInsertionBuilder(std::string_view source, std::string_view insert,
                                                 OutputSink& sink, size_t piece,
                                                 const TextLayout& layout)
    : source_(source),
      insert_(insert),
      sink_(sink),
      piece_(std::max<size_t>(piece, 1)),
      layout_(layout),
      source_boundaries_(source, layout.encoding) {
  layout_.mark_length = std::min(layout_.mark_length, source.size());
  output_.reserve(std::min(piece_, source.size()) + insert.size());
}

void EncodedInsertionBuilder::Emit(std::string_view bytes) {
  if (bytes.empty()) return;
  if (output_.size() + bytes.size() < piece_) {
    output_.append(bytes);
    return;
  }
  // A long stretch goes to the sink as it is, after what was gathered before it.
  if (!output_.empty() && !sink_.Write(output_)) ok_ = false;
  output_.clear();
  if (!sink_.Write(bytes)) ok_ = false;
}

void EncodedInsertionBuilder::EmitSourceTo(size_t end) {
  if (end <= consumed_) return;
  Emit(pending_);
  emitted_ += static_cast<int64_t>(pending_.size() + (end - consumed_));
  pending_.clear();
  Emit(source_.substr(consumed_, end - consumed_));
  last_byte_ = static_cast<unsigned char>(source_[end - 1]);
  consumed_ = end;
}

int EncodedInsertionBuilder::ByteBefore(int64_t offset) const {
  const size_t rel = static_cast<size_t>(offset - emitted_);
  if (rel == 0) return last_byte_;
  if (rel <= pending_.size()) return static_cast<unsigned char>(pending_[rel - 1]);
  return static_cast<unsigned char>(source_[consumed_ + (rel - pending_.size()) - 1]);
}

int EncodedInsertionBuilder::ByteAt(int64_t offset) const {
  const size_t rel = static_cast<size_t>(offset - emitted_);
  if (rel < pending_.size()) return static_cast<unsigned char>(pending_[rel]);
  const size_t at = consumed_ + (rel - pending_.size());
  return at < source_.size() ? static_cast<unsigned char>(source_[at]) : -1;
}

void EncodedInsertionBuilder::InsertAtOffset(int64_t offset) {
  const size_t rel = static_cast<size_t>(offset - emitted_);
  if (rel <= pending_.size()) {
    pending_.insert(rel, insert_);
    return;
  }
  EmitSourceTo(consumed_ + (rel - pending_.size()));
  pending_.assign(insert_);
}

int64_t EncodedInsertionBuilder::InsertAtPoint(int64_t pos) {
  pos = std::max<int64_t>(pos, 0);
  if (pos < last_pos_) ok_ = false;
  if (!ok_) return -1;
  last_pos_ = pos;
  // No place between the last insertion's candidate and its offset takes an insertion, and
  // everything before emitted_ lies before that offset: an earlier point goes there too.
  // A point on the insertions made at one place goes after them: an insertion never goes inside
  // another (a four-byte character moves a point on by more than one byte, past where the count
  // of `insert -e 1` goes on). A point before them goes to their start, the next boundary.
  const size_t rel = pos < emitted_ ? 0
                                    : std::max(static_cast<size_t>(pos - emitted_), pending_.size());
  size_t at = consumed_ + (std::max(rel, pending_.size()) - pending_.size());
  at = source_boundaries_.NextBoundary(std::max(at, layout_.mark_length));
  if (layout_.encoding == Encoding::kGb18030) at = ApartBoundary(source_, consumed_, at, insert_);
  int64_t offset =
      rel < pending_.size() ? emitted_
                            : emitted_ + static_cast<int64_t>(pending_.size() + (at - consumed_));
  if (ByteBefore(offset) == '\r' && ByteAt(offset) == '\n') ++offset;  // never split CR LF
  InsertAtOffset(offset);
  return offset;
}

bool EncodedInsertionBuilder::Finish() {
  if (!ok_) return false;
  EmitSourceTo(source_.size());
  Emit(pending_);
  pending_.clear();
  if (!output_.empty() && !sink_.Write(output_)) ok_ = false;
  output_.clear();
  return ok_;
}

namespace {

template <typename Builder>
bool InsertEveryIntervalWith(Builder& builder, std::string_view insert, int64_t interval,
                             int64_t step_count) {
  const int64_t insert_length = static_cast<int64_t>(insert.size());
  int64_t position = 0;
  for (int64_t k = 1; k <= step_count; ++k) {
    int64_t step_length = k == 1 ? 0 : insert_length;
    position += interval + step_length;
    builder.InsertAtPoint(position);  // a point moved on does not move the count
  }
  return builder.Finish();
}

template <typename Builder>
bool InsertAtDrawsWith(Builder& builder, std::string_view insert, const std::vector<int>& draws) {
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

}  // namespace

bool InsertEveryInterval(std::string_view source, std::string_view insert, int64_t interval,
                         int64_t step_count, OutputSink& out, size_t piece,
                         const TextLayout& layout) {
  if (layout.encoding == Encoding::kGbk) {
    InsertionBuilder builder(source, insert, out, piece);
    builder.ReadFrom(layout.bytes);
    return InsertEveryIntervalWith(builder, insert, interval, step_count);
  }
  EncodedInsertionBuilder builder(source, insert, out, piece, layout);
  return InsertEveryIntervalWith(builder, insert, interval, step_count);
}

bool InsertAtDraws(std::string_view source, std::string_view insert, const std::vector<int>& draws,
                   OutputSink& out, size_t piece, const TextLayout& layout) {
  if (layout.encoding == Encoding::kGbk) {
    InsertionBuilder builder(source, insert, out, piece);
    builder.ReadFrom(layout.bytes);
    return InsertAtDrawsWith(builder, insert, draws);
  }
  EncodedInsertionBuilder builder(source, insert, out, piece, layout);
  return InsertAtDrawsWith(builder, insert, draws);
}

bool InsertAfterMatches(std::string_view source, std::string_view insert,
                        const RegexSearchResult& matches, OutputSink& out, size_t piece,
                        const TextLayout& layout) {
  std::string buffer;
  buffer.reserve(std::min(piece, source.size()) + insert.size());
  bool ok = true;
  auto hand_on = [&]() {
    if (!buffer.empty() && !out.Write(buffer)) ok = false;
    buffer.clear();
  };
  const bool gbk = layout.encoding == Encoding::kGbk;
  BoundaryCursor boundaries(source);
  CharCursor characters(source, layout.encoding);
  size_t copied = 0;
  for (const MatchRecord& match : matches.matches) {
    int64_t start = MatchPosition(match);
    if (start < 0) continue;
    size_t end = std::min(static_cast<size_t>(start + match.groups[0].length), source.size());
    if (gbk) {
      if (end < source.size() && !boundaries.IsCharStart(end)) ++end;  // after the character
    } else {
      end = characters.NextBoundary(std::max({end, copied, layout.mark_length}));
    }
    end = std::max(end, copied);
    if (layout.encoding == Encoding::kGb18030) end = ApartBoundary(source, copied, end, insert);
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
