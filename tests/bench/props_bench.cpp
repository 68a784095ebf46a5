// The atlas CPU build against its floor: reading the same prop file into memory and
// zeroing the 4 MiB pixel buffer. Prop files of the sample set are made on first use in
// $ORVANE_BENCH_DIR (default /tmp/orvane-bench).
//   props_bench [benchmark flags]     timings for 1,000 and 20,000 props
//   props_bench --peak FILE           one build; prints the peak resident set size
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/random.h"
#include "props/prop_atlas.h"
#include "pictures/picture_files.h"
#include "pictures/own_prop_file.h"
#include "resfile/resfile_layout.h"
#include "resfile/resfile_writer.h"
#include "proptool/sample_props.h"

namespace {

std::string propFile(int count) {
  static std::map<int, std::string> made;
  auto found = made.find(count);
  if (found != made.end()) return found->second;
  const char* dir = std::getenv("ORVANE_BENCH_DIR");
  const std::string root = dir && *dir ? dir : "/tmp/orvane-bench";
  std::error_code ignored;
  std::filesystem::create_directories(root, ignored);
  const std::string path = root + "/props-" + std::to_string(count) + ".prp";
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    const std::string partial = path + ".part";
    if (!pictures::writeWholeFile(partial, ResBuildFile(proptool::makeSampleProps(count)), nullptr) ||
        std::rename(partial.c_str(), path.c_str()) != 0) {
      std::fprintf(stderr, "props_bench: cannot write %s\n", path.c_str());
      std::exit(1);
    }
  }
  return made[count] = path;
}

void AtlasBuild(benchmark::State& state) {
  const std::string path = propFile(int(state.range(0)));
  std::vector<uint8_t> buffer(kPropAtlasBytes);
  setPropFilePaths(path.c_str(), path.c_str());
  int32_t loaded = 0;
  for (auto _ : state) {
    orvane::srand(1);
    loaded = buildPropAtlasPixels(buffer.data());
    benchmark::DoNotOptimize(buffer.data());
  }
  setPropFilePaths(nullptr, nullptr);
  state.counters["cells"] = loaded;
}

// Reading the whole file into memory and zeroing the buffer: what any build must at least do.
void Floor(benchmark::State& state) {
  const std::string path = propFile(int(state.range(0)));
  std::vector<uint8_t> buffer(kPropAtlasBytes);
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
      state.SkipWithError("cannot open the prop file");
      break;
    }
    std::fseek(f, 0, SEEK_END);
    std::vector<uint8_t> bytes(size_t(std::ftell(f)));
    std::fseek(f, 0, SEEK_SET);
    const size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    std::memset(buffer.data(), 0, buffer.size());
    benchmark::DoNotOptimize(got);
    benchmark::DoNotOptimize(bytes.data());
    benchmark::DoNotOptimize(buffer.data());
  }
}

// A user's own prop file of `count` one-row props named like photos; for "overlap" every
// reference covers the whole data area, for "past" every one lies past the end of the file.
// Each must be loaded or refused in about a second, whatever the count.
void OwnFileLoad(benchmark::State& state, const char* kind) {
  const char* dir = std::getenv("ORVANE_BENCH_DIR");
  const std::string path = std::string(dir && *dir ? dir : "/tmp") + "/own-" + kind + std::to_string(state.range(0)) + ".prp";
  std::vector<ResEntry> entries(static_cast<size_t>(state.range(0)));
  for (size_t i = 0; i < entries.size(); ++i)
    entries[i] = {kPropType, uint32_t(516 + i), true, "photo" + std::to_string(i) + ".jpg", {3, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 7, 8, 9}};
  std::vector<uint8_t> bytes = ResBuildFile(entries);
  const uint32_t map = resReadLE32(&bytes[kHeaderFieldMapOffset]), refs = map + resReadLE32(&bytes[map + kMapFieldRefListOffset]);
  for (size_t i = 0; std::string(kind) != "plain" && i < entries.size(); ++i) {
    resWriteLE32(&bytes[refs + i * kResRefEntrySize + kRefFieldOffset], *kind == 'o' ? 0 : uint32_t(bytes.size()));
    resWriteLE32(&bytes[refs + i * kResRefEntrySize + kRefFieldLength], *kind == 'o' ? resReadLE32(&bytes[4]) : 16);
  }
  if (!pictures::writeWholeFile(path, bytes, nullptr)) return state.SkipWithError("cannot write the file");
  pictures::OwnPropFile file;
  for (auto _ : state) {
    pictures::OwnFileProblem problem;
    pictures::loadOwnPropFile(path, &file, &problem);
  }
  state.counters["props"] = double(file.loaded);
}
BENCHMARK_CAPTURE(OwnFileLoad, plain, "plain")->Arg(10000)->Arg(40000)->Arg(640000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OwnFileLoad, overlap, "overlap")->Arg(40000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OwnFileLoad, past, "past")->Arg(40000)->Unit(benchmark::kMillisecond);

BENCHMARK(AtlasBuild)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(Floor)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

long residentKiB() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// One build from FILE with a freshly allocated buffer, as the saver does it.
int peak(const char* path) {
  const long before = residentKiB();
  setPropFilePaths(path, path);
  orvane::srand(1);
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(kPropAtlasBytes));
  if (!buffer) return 1;
  const int32_t loaded = buildPropAtlasPixels(buffer);
  std::free(buffer);
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  std::printf("cells %d\nresident before the build %ld KiB\npeak resident %ld KiB\n", loaded, before,
              long(usage.ru_maxrss));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--peak") == 0) return peak(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "--make") == 0) {  // makes the file for a count, prints its path
    std::printf("%s\n", propFile(std::atoi(argv[2])).c_str());
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
