// Replays fuzz corpora without libFuzzer: every file in the directories named on the
// command line goes through LLVMFuzzerTestOneInput once. Fails when a directory is
// missing or holds no file, so a lost corpus cannot pass unnoticed.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR...\n", argv[0]);
    return 2;
  }
  for (int a = 1; a < argc; ++a) {
    std::error_code ec;
    size_t replayed = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(argv[a], ec)) {
      if (!e.is_regular_file()) continue;
      std::ifstream in(e.path(), std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++replayed;
    }
    if (ec || replayed == 0) {
      std::fprintf(stderr, "%s: no corpus files\n", argv[a]);
      return 1;
    }
    std::printf("%s: %zu inputs replayed\n", argv[a], replayed);
  }
  return 0;
}
