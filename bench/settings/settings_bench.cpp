// Figures of the settings file, with an address book of N names, 20 groups of N/10 members and
// ten quick destinations, in a folder of the temporary file system's disk ($TMPDIR).
//
//   settings_bench [benchmark options]

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "messaging/Settings.h"

using namespace pelmora;

namespace {

std::string Folder() {
  static const std::string folder = [] {
    std::string tmpl = (std::filesystem::temp_directory_path() / "pelmora-bench-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) std::abort();
    std::atexit([] { std::filesystem::remove_all(Folder()); });
    return tmpl;
  }();
  return folder;
}

void AddressBook(Variables& v, int names) {
  for (int i = 0; i < names; ++i) v.NameList.Add("PUESTO" + std::to_string(i));
  for (int g = 0; g < 20; ++g) {
    std::vector<std::string> members;
    for (int i = g; i < names; i += 10) members.push_back("PUESTO" + std::to_string(i));
    v.GroupList.SetGroup("GRUPO " + std::to_string(g), members);
  }
  for (int d = 0; d < kQuickDestinationCount; ++d)
    v.QuickDestinations[static_cast<std::size_t>(d)] = {"PUESTO" + std::to_string(d), qdName};
}

std::string PreparedFile(int names) {
  const std::string path = Folder() + "/book" + std::to_string(names) + ".ini";
  FileSettingsStore store(path);
  Variables v;
  AddressBook(v, names);
  if (!SaveSettings(store, v, WindowSettings{})) std::abort();
  return path;
}

void BM_LoadAtStart(benchmark::State& state) {
  const std::string path = PreparedFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    FileSettingsStore store(path);
    Variables v;
    WindowSettings w;
    LoadSettings(store, v, w);
    benchmark::DoNotOptimize(v.NameList.Count());
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_LoadAtStart)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_SaveFromTheDialog(benchmark::State& state) {
  const std::string path = PreparedFile(static_cast<int>(state.range(0)));
  FileSettingsStore store(path);
  Variables v;
  WindowSettings w;
  LoadSettings(store, v, w);
  for (auto _ : state) benchmark::DoNotOptimize(SaveSettings(store, v, w));
}
BENCHMARK(BM_SaveFromTheDialog)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// One arrival from a sender the address book does not know.
void BM_NewSenderAtArrival(benchmark::State& state) {
  const std::string path = PreparedFile(static_cast<int>(state.range(0)));
  FileSettingsStore store(path);
  Variables v;
  WindowSettings w;
  LoadSettings(store, v, w);
  int n = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(RememberNewSender(store, v, "NUEVO" + std::to_string(n++)));
}
BENCHMARK(BM_NewSenderAtArrival)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
