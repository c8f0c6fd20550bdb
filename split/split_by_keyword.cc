// Split by keyword: a piece starts at every match of a regular expression, or at every heading
// the chapter finder lists.
#include <algorithm>
#include <string>
#include <vector>

#include "chapters/chapter_finder.h"
#include "text/codepage.h"
#include "text/pattern.h"
#include "split/split_modes.h"

namespace travik {

namespace {

// Where a piece starts, and the text that names it.
struct Cut {
  size_t start;
  std::string_view name;
};

// Writes the head piece (the text before the first cut, when there is any) and one piece per cut,
// running to the next cut or the end; returns the number written. Cuts are ascending and lie
// inside the text.
int64_t WriteCutPieces(std::string_view text, std::vector<Cut>& cuts, size_t mark_length,
                       PieceWriter& writer, std::string_view head_name = {}) {
  // A cut right after the byte-order mark takes the mark into its piece: a head piece of the mark
  // alone would be a file without a character.
  if (!cuts.empty() && cuts.front().start <= mark_length) cuts.front().start = 0;
  int64_t pieces = 0;
  if (!cuts.empty() && cuts.front().start > 0) {
    if (head_name.empty()) {
      writer.WritePiece(text.substr(0, cuts.front().start), 0, {}, true);
    } else {
      writer.WritePiece(text.substr(0, cuts.front().start), 0, head_name);
    }
    if (writer.stopped()) return pieces;
    ++pieces;
  }
  // A stop asked for between pieces leaves the pieces written so far, each of them whole.
  for (size_t i = 0; i < cuts.size() && cuts[i].start < text.size() && !writer.stopped(); ++i) {
    const size_t end = i + 1 < cuts.size() ? cuts[i + 1].start : text.size();
    writer.WritePiece(text.substr(cuts[i].start, end - cuts[i].start), static_cast<int64_t>(i) + 1,
                      cuts[i].name);
    if (writer.stopped()) break;
    ++pieces;
  }
  return pieces;
}

}  // namespace

KeywordSplitOutcome SplitByKeyword(const SplitContext& context, PieceWriter& writer,
                                   const std::function<void()>& before_first_piece) {
  KeywordSplitOutcome outcome;
  Pattern pattern;
  if (!RegexCompile(&pattern, context.keyword)) return outcome;
  outcome.pattern_ok = true;
  const std::string_view text = context.source_text;
  // The pattern sees the characters after the mark; its offsets are moved back over the mark.
  const bool gbk = context.encoding == Encoding::kGbk;
  const size_t mark = gbk ? 0 : std::min(context.mark_length, text.size());
  RegexSearchResult found = gbk ? RegexSearchAll(pattern, text)
                                : RegexSearchAll(pattern, text.substr(mark), context.encoding);
  outcome.cut_short = found.cut_short;

  // Where pieces start, and the matched text that names each. Matches start on character
  // boundaries; a start that is not past the previous one would only give an empty piece, and
  // so does one at the very end (which still ends the head piece).
  std::vector<Cut> cuts;
  cuts.reserve(found.size());
  for (const MatchRecord& match : found.matches) {
    if (MatchPosition(match) < 0) continue;
    const int64_t start = MatchPosition(match) + static_cast<int64_t>(mark);
    if (static_cast<size_t>(start) > text.size()) continue;
    if (!cuts.empty() && static_cast<size_t>(start) <= cuts.back().start) continue;
    const MatchGroup& whole = match.groups[0];
    cuts.push_back({static_cast<size_t>(start),
                    text.substr(static_cast<size_t>(start), static_cast<size_t>(whole.length))});
  }
  found = RegexSearchResult();  // the match records can be large; the cuts are all we need
  if (cuts.empty()) return outcome;
  if (before_first_piece) before_first_piece();
  outcome.pieces = WriteCutPieces(text, cuts, context.mark_length, writer);
  return outcome;
}

KeywordSplitOutcome SplitByChapters(const SplitContext& context, PieceWriter& writer,
                                    const std::function<void()>& before_first_piece) {
  KeywordSplitOutcome outcome;
  chapters::FinderOptions options;
  options.pattern = context.keyword;
  options.presets = context.chapter_presets;
  options.form = context.chapter_form;
  options.encoding = context.encoding;
  const std::string_view text = context.source_text;
  chapters::ChapterList list = chapters::FindChapters(text, options);
  if (!list.pattern_valid) return outcome;
  outcome.pattern_ok = true;
  outcome.cut_short = list.cut_short;
  for (const chapters::Warning& w : list.warnings) {
    if (w.kind != chapters::WarningKind::kNone) {
      outcome.warnings.push_back(w.line > 0 ? "第 " + std::to_string(w.line) + " 行: " + w.text : w.text);
    }
  }
  std::vector<Cut> cuts;
  cuts.reserve(list.headings.size());
  // The heading's line names its piece, after its place in the book, zero-padded so that every
  // list of files (a merge in natural order, a file manager sorting by name) shows the pieces in
  // the book's order even where volumes restart the chapter numbers: 001 楔子, 002 第一卷 春. The
  // text before the first heading is 000. The finder gives the titles in UTF-8, which go back
  // into the text's encoding here, as a match's bytes are, for the writer to name the piece by
  // (a byte of the line that is no character is a "?" in the title, and becomes "_" in the name).
  const size_t width = std::max<size_t>(3, std::to_string(list.headings.size()).size());
  auto sequence = [width](size_t n) {
    std::string digits = std::to_string(n);
    return std::string(width - std::min(width, digits.size()), '0') + digits;
  };
  std::vector<std::string> titles(list.headings.size());
  for (size_t i = 0; i < list.headings.size(); ++i) {
    const chapters::Heading& h = list.headings[i];
    std::string_view name;
    if (ConvertTypedText(sequence(i + 1) + " " + h.title, context.encoding, &titles[i])) {
      name = titles[i];
    }
    cuts.push_back({static_cast<size_t>(h.offset), name});
  }
  std::string head_name;
  if (!ConvertTypedText(sequence(0) + " " + kHeadPieceName, context.encoding, &head_name)) {
    head_name.clear();
  }
  if (cuts.empty()) return outcome;
  if (before_first_piece) before_first_piece();
  outcome.pieces = WriteCutPieces(text, cuts, context.mark_length, writer, head_name);
  return outcome;
}

}  // namespace travik
