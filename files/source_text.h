// A source file as a job reads it: opened for reading only, its encoding recognised or given,
// mapped or read in blocks, its text ended by the reader's rules.
#ifndef TRAVIK_FILES_SOURCE_TEXT_H_
#define TRAVIK_FILES_SOURCE_TEXT_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "files/source_bytes.h"
#include "text/encoding.h"

namespace travik {

// A whole source file as a job reads it: opened for reading only (read-only files can be read,
// others may go on reading and writing it), read from the start, closed again.
struct SourceText {
  bool ok = false;          // opened and read
  bool cut_short = false;   // an incomplete last character was dropped from the text
  bool too_large = false;   // 2 GiB or more
  // The file ends in a lead byte with nothing after it: cut_short, and `trailing_lead` holds it.
  bool ends_in_lead_byte = false;
  char trailing_lead = 0;
  int64_t file_size = -1;   // size on disk, -1 when unknown
  // The text's encoding, recognised or as given, and the length of the byte-order mark that
  // `text` begins with (0 when none). The mark stays in `text`: it is the file's first bytes.
  Encoding encoding = Encoding::kGbk;
  size_t mark_length = 0;
  // Recognised on slight evidence: the bytes read as text in another encoding too (a short text).
  bool weak_evidence = false;
  // Not to be worked on (ok is false, `error` says why): a UTF-16 text, or a text that is not
  // valid in the encoding the caller gave.
  bool refused = false;
  // UTF-8 and GB18030: the bytes of an incomplete last character, dropped from `text` (cut_short).
  std::string unfinished;
  // The `carried` bytes given to LoadSourceText begin `text` (or were dropped with the character
  // they begin when padding follows them): the file continued that character.
  bool carried_taken = false;
  // The text: a view of the file mapped into memory, or of the bytes read. A job that passes
  // through a large text lets its pages go as it goes (SourceBytes::Release), and checks
  // text.Changed() before it trusts what it made: another program may have shortened the file.
  SourceBytes text;
  std::string error;        // the reason when !ok or cut_short
  // The 0x00 and 0x1A bytes that padded the file's end, left out of `text`.
  std::string padding;
  // UTF-8 and GB18030 recognised: bytes that begin no character, kept as they are, each a unit
  // of its own (`notes` says where).
  size_t invalid_bytes = 0;
  // What the reader kept or left out that the person should hear of, though the text was read
  // whole (a 0x1A kept, the padding left out): one warning each.
  std::vector<std::string> notes;
};
// Reads a whole source. Its encoding is recognised from the file's bytes (DetectEncoding) or
// taken from `choice`; a text with a UTF-16 mark is refused under any choice. A run of 0x00 and
// 0x1A bytes at the file's very end is padding, left out of the text (`padding`, `notes`); a 0x00
// before it refuses the file (no text), a 0x1A before it is a byte of the text (`notes`). In GBK
// a lead byte at the end of the text, in UTF-8 and GB18030 an incomplete last character, is
// dropped and the text is cut short. `carried` bytes (the lead byte a previous GBK file ended in) are read as
// if they came before the file's first byte and begin `text` when the character they start is
// whole; they take no part in recognising the encoding.
// `carried_encoding` is the encoding of the file the carried bytes ended. GBK (a lead byte): they
// are taken when this file is GBK, as above, or GB18030 (read as GBK when, recognised, it does
// not complete their character). UTF-8 or GB18030 (the `unfinished` bytes of that file):
// recognising the encoding reads them as this file's first bytes, and they are taken when the
// file has no byte-order mark and the text is in the same encoding with its first bytes
// completing their character, or is GBK after GB18030. Bytes not taken take no part in the text;
// `carried_taken` says which happened.
//
// A large file is mapped (see SourceText::text) and looked at block by block; `on_block`, when
// given, is shown each block once it has been looked at, so that a job can start on a text before
// the reader has seen all of it, while the block is still in the cache. Returning false stops the
// calls. What the job made meanwhile is its own to check against the result: the reader may still
// find that the text is not in the encoding it was so far, or ends early.
struct SourceBlock {
  std::string_view file;    // the whole file as mapped; bytes from `looked` on are not looked at
  size_t looked = 0;        // bytes looked at so far
  std::string_view window;  // a copy of file[window_begin, looked), in memory the cache holds
  size_t window_begin = 0;
  bool clean = false;       // no 0x00 or 0x1A among the bytes looked at
  // The bytes looked at so far are GBK: given as GBK without a UTF-16 mark (such a file is
  // refused), or recognition has ruled out a byte-order mark, UTF-8 and GB18030's four-byte
  // characters in them.
  bool gbk_so_far = false;
  // The bytes looked at so far are UTF-8 without a byte-order mark: given as UTF-8 (a file that
  // is not is refused once read), or recognition has found a multi-byte UTF-8 character and
  // nothing but well-formed UTF-8 so far.
  bool utf8_so_far = false;
};
SourceText LoadSourceText(std::string_view path, std::string_view carried = {},
                          EncodingChoice choice = EncodingChoice::kAuto,
                          Encoding carried_encoding = Encoding::kGbk,
                          const std::function<bool(const SourceBlock&)>& on_block = nullptr);

// The message of a refused UTF-16 file, naming its encoding.
std::string Utf16RefusalMessage(Encoding encoding);

}  // namespace travik

#endif  // TRAVIK_FILES_SOURCE_TEXT_H_
