// Helpers for the libFuzzer targets: taking parameters from the front of an input, the character
// starts of a text by plain double-byte stepping, and a check that stops the run.
#ifndef TRAVIK_FUZZ_FUZZ_UTIL_H_
#define TRAVIK_FUZZ_FUZZ_UTIL_H_

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace travik::fuzz {

// An invariant that must hold: otherwise the run stops with the message, and libFuzzer keeps the
// input as a crash.
#define FUZZ_CHECK(condition, ...)                                                    \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "%s:%d: broken invariant: %s\n", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, __VA_ARGS__);                                              \
      std::fprintf(stderr, "\n");                                                     \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

// Reads parameters from the front of the input; what is left is the text.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}
  // The next byte, or 0 when the input is used up.
  unsigned Byte() {
    if (rest_.empty()) return 0;
    const unsigned b = static_cast<unsigned char>(rest_[0]);
    rest_.remove_prefix(1);
    return b;
  }
  // The next `n` bytes (fewer at the end).
  std::string_view Bytes(size_t n) {
    const std::string_view taken = rest_.substr(0, n);
    rest_.remove_prefix(taken.size());
    return taken;
  }
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// starts[k] is true when byte k begins a character by double-byte stepping from the start (a
// byte of 0x80 or more takes the next byte with it); starts[size] is true: the end of the text.
inline std::vector<bool> CharacterStarts(std::string_view text) {
  std::vector<bool> starts(text.size() + 1, false);
  size_t p = 0;
  while (p < text.size()) {
    starts[p] = true;
    p += static_cast<unsigned char>(text[p]) >= 0x80 ? 2 : 1;
  }
  starts[text.size()] = true;
  return starts;
}

// One run of a target on one input (fuzz_entry.cc hands it over).
void FuzzOne(Input& input);

// How a read from `start` ends, step by step: a 0x00 or 0x1A byte outside a double-byte
// character ends the text, and a lead byte followed by 0x00 or at the very end is dropped.
struct ModelReading {
  std::string text;
  size_t position = 0;  // where the file's position is left
  bool cut_short = false;
  bool half_character = false;
};

inline ModelReading ModelRead(std::string_view bytes, size_t start = 0) {
  ModelReading r;
  size_t p = start;
  while (p < bytes.size()) {
    const unsigned char c = bytes[p];
    if (c == 0x00 || c == 0x1A) {
      r.position = p;
      r.cut_short = true;
      return r;
    }
    const size_t n = c >= 0x80 ? 2 : 1;
    if (n == 2 && (p + 1 >= bytes.size() || bytes[p + 1] == '\0')) {
      r.position = p + 1;
      r.cut_short = r.half_character = true;
      return r;
    }
    r.text.append(bytes.substr(p, n));
    p += n;
  }
  r.position = std::max(bytes.size(), start);
  return r;
}

// How a whole GBK source is read, step by step: a run of 0x00 and 0x1A bytes at the very end pads
// it (a 0x1A right after a lead byte is that character's second byte); a 0x00 before the padding
// refuses the file; then a lead byte without its second byte is dropped.
struct ModelSource {
  bool refused = false;
  std::string text;
  bool cut_short = false;
};

inline ModelSource ModelLoad(std::string_view bytes) {
  ModelSource m;
  size_t end = bytes.size();
  while (end > 0 && (bytes[end - 1] == '\0' || bytes[end - 1] == '\x1A')) --end;
  size_t p = 0;
  while (p < end) {
    if (static_cast<unsigned char>(bytes[p]) < 0x80 || p + 1 < end) {
      p += static_cast<unsigned char>(bytes[p]) < 0x80 ? 1 : 2;
    } else if (p + 1 < bytes.size() && bytes[p + 1] == '\x1A') {
      end = p += 2;
    } else {
      break;
    }
  }
  m.refused = bytes.substr(0, end).find('\0') != std::string_view::npos;
  if (!m.refused) {
    m.text = std::string(bytes.substr(0, p));
    m.cut_short = p < end;
  }
  return m;
}

}  // namespace travik::fuzz

#endif  // TRAVIK_FUZZ_FUZZ_UTIL_H_
