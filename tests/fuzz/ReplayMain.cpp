// Runs a fuzz target over files, without libFuzzer: the ordinary test build uses it to replay the
// seed corpus (and any crash input kept there) under its own sanitizers on every test run.
//
//   fuzz_NAME_replay FILE_OR_FOLDER...

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int RunFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return 1;
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  // Never hand over a null pointer: libFuzzer does not either, even for an empty input.
  static const std::uint8_t none = 0;
  LLVMFuzzerTestOneInput(
      bytes.empty() ? &none : reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int failures = 0;
  int ran = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path p(argv[i]);
    if (std::filesystem::is_directory(p)) {
      for (const auto& entry : std::filesystem::directory_iterator(p)) {
        if (!entry.is_regular_file()) continue;
        failures += RunFile(entry.path());
        ++ran;
      }
    } else {
      failures += RunFile(p);
      ++ran;
    }
  }
  std::printf("replayed %d inputs\n", ran);
  return failures == 0 && ran > 0 ? 0 : 1;
}
