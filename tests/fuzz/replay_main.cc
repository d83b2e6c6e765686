// Runs a fuzz target over files instead of generated inputs, so that the
// committed corpus and every past crash run as ordinary tests, also on
// targets without libFuzzer. Arguments are files or directories (all regular
// files inside, in name order).

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <system_error>
#include <vector>

#include "tests/fuzz/fuzz_support.h"

namespace {

namespace fs = std::filesystem;

bool ReadFile(const fs::path& path, std::vector<uint8_t>* bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(file),
                std::istreambuf_iterator<char>());
  return !file.bad();
}

// Directories expand to their regular files; a missing path is an error.
bool CollectInputs(const fs::path& path, std::vector<fs::path>* inputs) {
  std::error_code error;
  if (fs::is_directory(path, error)) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(path, error)) {
      if (entry.is_regular_file()) {
        files.push_back(entry.path());
      }
    }
    std::sort(files.begin(), files.end());
    inputs->insert(inputs->end(), files.begin(), files.end());
    return !error;
  }
  if (fs::is_regular_file(path, error)) {
    inputs->push_back(path);
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  LLVMFuzzerInitialize(&argc, &argv);
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!CollectInputs(argv[i], &inputs)) {
      std::fprintf(stderr, "cannot read %s\n", argv[i]);
      return 2;
    }
  }
  // An empty corpus would pass without exercising anything.
  if (inputs.empty()) {
    std::fprintf(stderr, "no inputs to replay\n");
    return 2;
  }
  std::vector<uint8_t> bytes;
  for (const fs::path& input : inputs) {
    if (!ReadFile(input, &bytes)) {
      std::fprintf(stderr, "cannot read %s\n", input.string().c_str());
      return 2;
    }
    // A copy of exactly the input's size, so that a read one past the end is
    // caught by AddressSanitizer as it is under libFuzzer.
    std::vector<uint8_t> exact(bytes);
    LLVMFuzzerTestOneInput(exact.data(), exact.size());
  }
  std::cout << "replayed " << inputs.size() << " inputs" << std::endl;
  return 0;
}
