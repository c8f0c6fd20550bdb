# Sourced: configures and builds build/sanitize, the native tree built by clang under
# AddressSanitizer and UndefinedBehaviorSanitizer, with the libFuzzer targets of fuzz/. Any
# arguments are the targets to build (all when none). Errors stop the run at once.
_travik_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
cmake -S "$_travik_root" -B "$_travik_root/build/sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTRAVIK_FUZZ=ON >/dev/null
cmake --build "$_travik_root/build/sanitize" -j "$(nproc)" ${1:+--target "$@"}
