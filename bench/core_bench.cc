// Throughput of the core searches over a ~100 MB GBK text (bench/make_big.sh), in MB/s, with
// glibc's memmem on the same text as the yardstick for FindText.
//   build/native/bench/core_bench [--benchmark_filter=...]   (TRAVIK_BIG_TEXT overrides the file)
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "text/codepage.h"
#include "files/files.h"
#include "text/encoding.h"
#include "text/pattern.h"
#include "text/text.h"

namespace {

const std::string& BigText() {
  static const std::string text = [] {
    const char* path = std::getenv("TRAVIK_BIG_TEXT");
    std::ifstream in(path ? path : "/dev/shm/travik-bench/big_gbk.txt", std::ios::binary);
    if (!in) {
      std::cerr << "run bench/make_big.sh first (or set TRAVIK_BIG_TEXT)\n";
      std::exit(2);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }();
  return text;
}

// A text that occurs nowhere, so every search walks the whole text.
const char kAbsent[] = "\xD5\xC2\xD5\xC2\xD5\xC2";
// 章: 3,294 byte pairs in the sample, 375 of them straddling two characters.
const char kChapter[] = "\xD5\xC2";

void SetBytes(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

void BM_Memmem_Absent(benchmark::State& state) {
  const std::string& text = BigText();
  for (auto _ : state) {
    benchmark::DoNotOptimize(memmem(text.data(), text.size(), kAbsent, strlen(kAbsent)));
  }
  SetBytes(state, text.size());
}

void BM_FindText_Absent(benchmark::State& state) {
  const std::string& text = BigText();
  for (auto _ : state) benchmark::DoNotOptimize(travik::FindText(text, kAbsent));
  SetBytes(state, text.size());
}

// Every occurrence of 章, one call per occurrence, as a job walking a text would.
void BM_Memmem_AllChapters(benchmark::State& state) {
  const std::string& text = BigText();
  for (auto _ : state) {
    size_t count = 0;
    const char* p = text.data();
    const char* end = p + text.size();
    while (const void* hit = memmem(p, static_cast<size_t>(end - p), kChapter, 2)) {
      ++count;
      p = static_cast<const char*>(hit) + 1;
    }
    benchmark::DoNotOptimize(count);
  }
  SetBytes(state, text.size());
}

void BM_FindText_AllChapters(benchmark::State& state) {
  const std::string& text = BigText();
  for (auto _ : state) {
    size_t count = 0;
    for (int at = travik::FindText(text, kChapter); at != -1;
         at = travik::FindText(text, kChapter, at + 2)) {
      ++count;
    }
    benchmark::DoNotOptimize(count);
  }
  SetBytes(state, text.size());
}

void BM_FindTextReverse_Whole(benchmark::State& state) {
  const std::string& text = BigText();
  for (auto _ : state) benchmark::DoNotOptimize(travik::FindTextReverse(text, kAbsent));
  SetBytes(state, text.size());
}

// The last line break before a point near the end: what the insertion rules ask. The search
// walks back from the point, so its cost does not grow with the text (time per call).
void BM_FindTextReverse_LastLineBreak(benchmark::State& state) {
  const std::string& text = BigText();
  int start = static_cast<int>(text.size()) - 1000;
  for (auto _ : state) benchmark::DoNotOptimize(travik::FindTextReverse(text, "\r\n", start));
}

// The keyword as typed (UTF-8), found in the GBK text.
void BM_RegexSearchAll(benchmark::State& state, const char* pattern) {
  const std::string& text = BigText();
  travik::Pattern p;
  travik::RegexCompile(&p, pattern);
  size_t matches = 0;
  for (auto _ : state) {
    travik::RegexSearchResult r = travik::RegexSearchAll(p, text);
    matches = r.size();
    benchmark::DoNotOptimize(matches);
  }
  state.counters["matches"] = static_cast<double>(matches);
  SetBytes(state, text.size());
}

// The big text in UTF-8, made once.
const std::string& BigUtf8Text() {
  static const std::string text = [] {
    std::string utf8;
    if (!travik::ConvertText(BigText(), travik::Encoding::kGbk, travik::Encoding::kUtf8, &utf8)) {
      std::cerr << "the big text does not convert to UTF-8\n";
      std::exit(2);
    }
    return utf8;
  }();
  return text;
}

// Detection reads every byte of a GBK text (the UTF-8 check gives up at once); of a UTF-8 text
// it validates every byte.
void BM_DetectEncoding(benchmark::State& state, bool utf8) {
  const std::string& text = utf8 ? BigUtf8Text() : BigText();
  for (auto _ : state) benchmark::DoNotOptimize(travik::DetectEncoding(text));
  SetBytes(state, text.size());
}

void BM_RegexSearchAllUtf8(benchmark::State& state, const char* pattern) {
  const std::string& text = BigUtf8Text();
  travik::Pattern p;
  travik::RegexCompile(&p, pattern);
  size_t matches = 0;
  for (auto _ : state) {
    matches = travik::RegexSearchAll(p, text, travik::Encoding::kUtf8).size();
    benchmark::DoNotOptimize(matches);
  }
  state.counters["matches"] = static_cast<double>(matches);
  SetBytes(state, text.size());
}

// A whole source read as a job reads it (LoadSourceText: read, recognised, ended by the rules),
// from tmpfs: the GBK text, and the same text in UTF-8 (bench/make_big.sh utf-8). The GBK text
// read as GBK without detection shows what detection adds where it really runs, in the reader.
void BM_LoadSourceText(benchmark::State& state, bool utf8, travik::EncodingChoice choice) {
  const char* given = std::getenv(utf8 ? "TRAVIK_BIG_UTF8_TEXT" : "TRAVIK_BIG_TEXT");
  const std::string path = given ? given
                           : utf8 ? "/dev/shm/travik-bench/big_utf8.txt"
                                  : "/dev/shm/travik-bench/big_gbk.txt";
  size_t bytes = 0;
  for (auto _ : state) {
    const travik::SourceText source = travik::LoadSourceText(path, {}, choice);
    if (!source.ok) {
      state.SkipWithError("cannot read the text (run bench/make_big.sh utf-8)");
      return;
    }
    bytes = source.text.size();
    benchmark::DoNotOptimize(source.text.data());
  }
  SetBytes(state, bytes);
}

}  // namespace

BENCHMARK_CAPTURE(BM_LoadSourceText, gbk, false, travik::EncodingChoice::kAuto)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadSourceText, gbk_given, false, travik::EncodingChoice::kGbk)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadSourceText, utf8, true, travik::EncodingChoice::kAuto)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DetectEncoding, gbk, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DetectEncoding, utf8, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RegexSearchAllUtf8, chapter, "章")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RegexSearchAllUtf8, heading, "^第[^\\r\\n]+章")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memmem_Absent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindText_Absent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memmem_AllChapters)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindText_AllChapters)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindTextReverse_Whole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindTextReverse_LastLineBreak)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RegexSearchAll, chapter, "章")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RegexSearchAll, heading, "^第[^\\r\\n]+章")->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
