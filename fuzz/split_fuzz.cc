// Splits one text (GBK, GB18030 or UTF-8) in memory by size, by part count or at a keyword's
// matches, through the piece writer, then writes the merge script. Checks that the pieces join
// back to the text, that every cut falls between characters, that piece names are unique, valid
// UTF-8 and valid file names, and that the merge script names every piece in cmd's reading (GBK
// when GBK holds it all, else UTF-8 after "chcp 65001") with its lines within cmd's limit.
#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "text/codepage.h"
#include "text/encoding.h"
#include "split/piece_writer.h"
#include "split/split_job.h"
#include "split/split_modes.h"

namespace travik::fuzz {
namespace {

const char kFolder[] = "输出";

// Keeps what the writer writes, in order.
class MemoryOutput : public PieceOutput {
 public:
  bool WriteFile(const std::string& path, std::string_view bytes) override {
    FUZZ_CHECK(path.compare(0, sizeof kFolder - 1, kFolder) == 0, "outside the folder: %s",
               path.c_str());
    files.emplace_back(path.substr(sizeof kFolder), std::string(bytes));
    return true;
  }
  std::vector<std::pair<std::string, std::string>> files;  // name in the folder, bytes
};

// ASCII letters in lower case (no byte of a multi-byte UTF-8 character is ASCII).
std::string Lower(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// A name every system accepts: well-formed UTF-8, ".txt" after a stem with no forbidden character
// or control byte, no trailing space or dot, no bare device name.
void CheckName(const std::string& name) {
  FUZZ_CHECK(name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0, "name %s",
             name.c_str());
  const std::string stem = name.substr(0, name.size() - 4);
  const char* const end = stem.data() + stem.size();
  for (size_t p = 0; p < stem.size();) {
    const unsigned char c = stem[p];
    if (c >= 0x80) {
      const size_t n = Utf8SequenceLength(stem.data() + p, end);
      FUZZ_CHECK(n != 0, "byte 0x%02X at %zu of the name %s begins no UTF-8 character", c, p,
                 name.c_str());
      p += n;
      continue;
    }
    FUZZ_CHECK(c >= 0x20 && std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) ==
                                std::string_view::npos,
               "byte 0x%02X in the name %s", c, name.c_str());
    ++p;
  }
  FUZZ_CHECK(stem.back() != ' ' && stem.back() != '.', "name %s", name.c_str());
  const std::string head = Lower(stem.substr(0, stem.find('.')));
  static const std::set<std::string> kDevices = {
      "con", "prn", "aux", "nul", "com1", "com2", "com3", "com4", "com5", "com6", "com7",
      "com8", "com9", "lpt1", "lpt2", "lpt3", "lpt4", "lpt5", "lpt6", "lpt7", "lpt8", "lpt9"};
  FUZZ_CHECK(kDevices.count(head) == 0, "device name %s", name.c_str());
}

}  // namespace

void FuzzOne(Input& input) {
  const unsigned mode_byte = input.Byte();
  const unsigned mode = mode_byte % 3;
  // GBK for half the inputs; the others are GB18030 or UTF-8 texts, any bytes at all.
  static const Encoding kEncodings[] = {Encoding::kGbk, Encoding::kGbk, Encoding::kGb18030,
                                        Encoding::kUtf8};
  const Encoding encoding = kEncodings[(mode_byte / 3) % 4];
  const unsigned value = input.Byte();
  const PieceNaming naming = static_cast<PieceNaming>(input.Byte() % 4);
  SplitContext context;
  context.naming_mode = naming;
  if (mode == 2) context.keyword = std::string(input.Bytes(value % 24));
  context.encoding = encoding;
  if (encoding == Encoding::kGbk) {
    context.source_text = ModelRead(input.rest()).text;  // as the job reads a file
  } else {
    context.source_text = std::string(input.rest());
    context.mark_length = ByteOrderMarkLength(context.source_text, encoding);
  }
  const std::string text(context.source_text.view());

  MemoryOutput output;
  PieceWriter writer(kFolder, naming, "卷", "全书", output);
  writer.SetSourceEncoding(encoding);
  if (mode == 0) {
    context.piece_count = value % 8;
    SplitBySize(context, 2 * (1 + value % 40), writer);
  } else if (mode == 1) {
    context.requested_parts = 1 + static_cast<int>(value % 16);
    SplitByCount(context, writer);
    FUZZ_CHECK(output.files.size() == static_cast<size_t>(context.requested_parts),
               "%zu pieces of %d", output.files.size(), context.requested_parts);
  } else {
    context.text_length = static_cast<int64_t>(text.size());
    SplitByKeyword(context, writer);
  }
  const size_t pieces = output.files.size();
  FUZZ_CHECK(writer.names().size() == pieces, "%zu names for %zu pieces", writer.names().size(),
             pieces);

  // The pieces join back to the text (only a keyword that finds nothing writes no piece).
  std::string joined;
  std::vector<bool> starts = CharacterStarts(text);
  if (encoding != Encoding::kGbk) {
    starts.assign(text.size() + 1, false);
    for (size_t p = context.mark_length; p < text.size();
         p += CharLength(encoding, text.data() + p, text.data() + text.size())) {
      starts[p] = true;
    }
    starts[0] = starts[text.size()] = true;
  }
  std::set<std::string> names;
  for (const auto& [name, bytes] : output.files) {
    joined += bytes;
    FUZZ_CHECK(joined.size() <= text.size(), "pieces longer than the text");
    FUZZ_CHECK(starts[joined.size()], "a cut at byte %zu inside a character", joined.size());
    CheckName(name);
    FUZZ_CHECK(names.insert(Lower(name)).second, "the name %s twice", name.c_str());
  }
  FUZZ_CHECK(joined == text || (mode == 2 && pieces == 0),
             "the pieces do not join back to the text");

  // The script is written unless a name's pattern may match another piece's name.
  const bool problem = !writer.MergeScriptProblem().empty();
  FUZZ_CHECK(writer.WriteMergeScript() != problem, "script written: %d, problem: %d", !problem,
             problem);
  if (problem) return;
  const std::string& script = output.files.back().second;
  FUZZ_CHECK(output.files.back().first == kMergeScriptName, "script name");
  for (size_t p = 0; p < script.size();) {
    size_t end = script.find("\r\n", p);
    if (end == std::string::npos) end = script.size();  // the last line
    FUZZ_CHECK(end - p <= kMaxScriptLineBytes, "a script line of %zu bytes", end - p);
    p = end + 2;
  }
  // cmd reads the script in GBK (Wine's cmd whatever chcp says): every name is there in GBK, a
  // character GBK lacks as one "?" for each of its UTF-16 units, quoted with "%" doubled, in the
  // order of the pieces; and a name with a "?" is counted before anything is joined.
  std::string utf8_script;
  FUZZ_CHECK(ConvertText(script, Encoding::kGbk, Encoding::kUtf8, &utf8_script), "not GBK");
  FUZZ_CHECK(script.find("chcp") == std::string::npos, "the script switches code pages");
  const size_t first_copy = script.find("copy /y /b ");
  size_t at = 0;
  for (const std::string& utf8_name : writer.names()) {
    std::string name, one;
    for (size_t p = 0; p < utf8_name.size();) {
      const size_t n = CharLength(Encoding::kUtf8, utf8_name.data() + p,
                                  utf8_name.data() + utf8_name.size());
      if (Utf8ToGbk(utf8_name.substr(p, n), &one)) {
        name += one;
      } else {
        name += n == 4 ? "??" : "?";
      }
      p += n;
    }
    std::string quoted = "\"";
    for (char c : name) quoted += c == '%' ? std::string("%%") : std::string(1, c);
    quoted += '"';
    if (name.find('?') != std::string::npos) {
      const std::string check = "('dir /b /a-d " + quoted + " 2^>nul')";
      const size_t counted = script.find(check);
      FUZZ_CHECK(counted != std::string::npos && counted < first_copy, "%s is not counted first",
                 utf8_name.c_str());
    }
    at = script.find(quoted, std::max(at, first_copy));
    FUZZ_CHECK(at != std::string::npos, "the script misses %s", utf8_name.c_str());
    at += quoted.size();
  }
}

}  // namespace travik::fuzz
