// The libFuzzer entry of a target (fuzz preset only): the fuzzer's input goes to the check.
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return Vela::Fuzz::CheckOne(data, size);
}
