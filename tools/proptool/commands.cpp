#include "proptool/commands.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <set>
#include <unordered_map>

#include "common/random.h"
#include "props/prop_atlas.h"
#include "props/prop_image.h"
#include "proptool/png_io.h"
#include "proptool/prop_encoder.h"
#include "proptool/resource_writer.h"
#include "proptool/sample_props.h"

namespace proptool {

namespace {

constexpr int32_t kMaxNameLength = 31;

const char* usageOf(const std::string& command) {
  if (command == "sample") return "proptool sample OUT.prp [--count N]";
  if (command == "build") return "proptool build OUT.prp IMAGE.png... [--first-id N]";
  if (command == "list") return "proptool list FILE.prp";
  if (command == "extract") return "proptool extract FILE.prp DIR";
  if (command == "atlas") return "proptool atlas FILE.prp OUT.png [--seed S]";
  return "proptool sample|build|list|extract|atlas ...";
}

int usage(std::ostream& err, const std::string& command, const std::string& problem) {
  err << "proptool: " << problem << " (usage: " << usageOf(command) << ")\n";
  return kExitUsage;
}

int failure(std::ostream& err, const std::string& message) {
  err << "proptool: " << message << "\n";
  return kExitFailed;
}

// A whole decimal number within [lo, hi].
bool parseNumber(const std::string& text, uint64_t lo, uint64_t hi, uint64_t* value) {
  if (text.empty() || text.size() > 12) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + uint64_t(c - '0');
  }
  if (v < lo || v > hi) return false;
  *value = v;
  return true;
}

// Splits arguments into positional ones and the values of the given options.
struct Parsed {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;
  std::string problem;
};

Parsed parseArgs(const std::vector<std::string>& args, const std::set<std::string>& optionNames) {
  Parsed p;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      if (!optionNames.count(a)) {
        p.problem = "unknown option " + a;
        return p;
      }
      if (i + 1 >= args.size()) {
        p.problem = a + " needs a value";
        return p;
      }
      p.options.push_back({a, args[++i]});
    } else {
      p.positional.push_back(a);
    }
  }
  return p;
}

bool isRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The prop file opened as the current resource file, closed when this goes away.
struct OpenPropFile {
  FileRef ref = 0;
  std::string problem;
  explicit OpenPropFile(const std::string& path) {
    if (!isRegularFile(path)) {
      problem = "cannot open " + path + ": not a readable file";
      return;
    }
    const ResCode rc = ResOpenFile(path.c_str(), &ref);
    if (ref == 0) {
      problem = "cannot open " + path;
    } else if (rc != kResOK) {
      problem = path + ": damaged resource file (cannot read its map)";
    }
  }
  ~OpenPropFile() {
    if (ref != 0) ResCloseFile(ref);
  }
  bool ok() const { return problem.empty(); }
};

// One prop fetched from the current file, released when this goes away.
struct FetchedProp {
  Handle handle = nullptr;
  uint32_t id = 0;
  std::string name;  // empty when the prop has none
  explicit FetchedProp(int32_t index) {
    handle = ResGetIndexed(kPropResourceType, index);
    if (!handle) return;
    uint32_t type = 0;
    uint8_t rawName[256] = {0};
    ResGetInfo(handle, &type, &id, rawName);
    const int32_t length = rawName[0];
    for (int32_t i = 1; i <= length && i <= kMaxNameLength; ++i) {
      const char c = char(rawName[i]);
      name.push_back(uint8_t(c) < 0x20 || uint8_t(c) == 0x7F ? '?' : c);  // one line per prop
    }
  }
  ~FetchedProp() {
    if (handle) ResRelease(handle);
  }
  std::vector<uint8_t> bytes() const { return std::vector<uint8_t>(*handle, *handle + HandleGetSize(handle)); }
};

std::string missingProp(const std::string& path, int32_t index) {
  return path + ": prop " + std::to_string(index) + " cannot be read (damaged map)";
}

int commandSample(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Parsed p = parseArgs(args, {"--count"});
  if (!p.problem.empty()) return usage(err, "sample", p.problem);
  if (p.positional.size() != 1) return usage(err, "sample", "one output file expected");
  uint64_t count = 64;
  for (auto& o : p.options)
    if (!parseNumber(o.second, 1, kSampleMaxCount, &count))
      return usage(err, "sample", "--count must be 1 to " + std::to_string(kSampleMaxCount));
  const std::vector<uint8_t> file = buildResourceFile(makeSampleProps(int32_t(count)));
  std::string error;
  if (!writeWholeFile(p.positional[0], file, &error)) return failure(err, error);
  out << count << " props written to " << p.positional[0] << "\n";
  return kExitOK;
}

std::string propNameFromPath(const std::string& path) {
  std::string base = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
  const size_t dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base.resize(dot);
  if (base.size() > size_t(kMaxNameLength)) base.resize(kMaxNameLength);
  return base;
}

int commandBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Parsed p = parseArgs(args, {"--first-id"});
  if (!p.problem.empty()) return usage(err, "build", p.problem);
  if (p.positional.size() < 2) return usage(err, "build", "an output file and at least one PNG expected");
  uint64_t firstId = kPropInvertedIdLimit;
  for (auto& o : p.options)
    if (!parseNumber(o.second, 0, 0xFFFFFFFFu, &firstId))
      return usage(err, "build", "--first-id must be 0 to 4294967295");
  const size_t images = p.positional.size() - 1;
  if (firstId + images - 1 > 0xFFFFFFFFu) return usage(err, "build", "the ids would pass 4294967295");

  std::vector<ResourceEntry> entries;
  std::string error;
  for (size_t i = 0; i < images; ++i) {
    const std::string& path = p.positional[i + 1];
    int32_t width = 0, height = 0;
    if (!pngSize(path, &width, &height, &error)) return failure(err, error);
    if (height > kPropMaxLittleEndianHeight)
      return failure(err, path + ": " + std::to_string(height) + " rows; a prop holds at most 64 rows (its byte order is told by its height)");
    if (width > 32767) return failure(err, path + ": wider than 32767 pixels");
    if (width > kPropCellSize || height > kPropCellSize)
      err << "proptool: warning: " << path << " is " << width << "x" << height
          << ", larger than the 44x44 atlas cell; it spills into the neighbouring cells\n";
    RgbaImage rgba;
    if (!readPng(path, 32767, kPropMaxLittleEndianHeight, &rgba, &error)) return failure(err, error);
    IndexedImage indexed(rgba.width, rgba.height);
    std::unordered_map<uint32_t, uint8_t> nearestOf;
    for (size_t k = 0; k < indexed.pixels.size(); ++k) {
      const uint8_t* px = &rgba.pixels[k * 4];
      if (px[3] < 128) continue;  // stays transparent
      const uint32_t key = px[0] | (px[1] << 8) | (px[2] << 16);
      auto found = nearestOf.find(key);
      if (found == nearestOf.end()) found = nearestOf.emplace(key, nearestPaletteIndex(px[0], px[1], px[2])).first;
      indexed.pixels[k] = found->second;
    }
    ResourceEntry e;
    e.type = kPropResourceType;
    e.id = uint32_t(firstId + i);
    e.name = propNameFromPath(path);
    e.hasName = !e.name.empty();
    e.data = encodePropImage(indexed, false, false);
    if (e.data.empty()) return failure(err, path + ": cannot be stored as a prop");
    entries.push_back(std::move(e));
  }
  if (!writeWholeFile(p.positional[0], buildResourceFile(entries), &error)) return failure(err, error);
  out << entries.size() << " props written to " << p.positional[0] << "\n";
  return kExitOK;
}

int commandList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Parsed p = parseArgs(args, {});
  if (!p.problem.empty()) return usage(err, "list", p.problem);
  if (p.positional.size() != 1) return usage(err, "list", "one prop file expected");
  const std::string& path = p.positional[0];
  OpenPropFile file(path);
  if (!file.ok()) return failure(err, file.problem);
  const int32_t count = ResCountOfType(kPropResourceType);
  int32_t listed = 0;
  for (int32_t j = 0; j < count; ++j) {
    FetchedProp prop(j);
    if (!prop.handle) return failure(err, missingProp(path, j));
    const PropSize size = propImageSize(*prop.handle, HandleGetSize(prop.handle));
    out << j << " " << prop.id << " " << size.width << "x" << size.height << " "
        << (prop.name.empty() ? "-" : prop.name) << "\n";
    ++listed;
  }
  out << listed << " props\n";
  return kExitOK;
}

int commandExtract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Parsed p = parseArgs(args, {});
  if (!p.problem.empty()) return usage(err, "extract", p.problem);
  if (p.positional.size() != 2) return usage(err, "extract", "a prop file and a directory expected");
  const std::string& path = p.positional[0];
  const std::string& dir = p.positional[1];
  OpenPropFile file(path);
  if (!file.ok()) return failure(err, file.problem);
  struct stat st;
  if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
    return failure(err, "cannot create " + dir + ": " + std::strerror(errno));
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return failure(err, dir + " is not a directory");

  // A prop larger than this is cut to it: enough for any prop, bounded for any file.
  constexpr int32_t kMaxExtractSide = 1024;
  const int32_t count = ResCountOfType(kPropResourceType);
  std::set<uint32_t> ids;
  int32_t written = 0;
  std::string error;
  for (int32_t j = 0; j < count; ++j) {
    FetchedProp prop(j);
    if (!prop.handle) return failure(err, missingProp(path, j));
    std::vector<uint8_t> data = prop.bytes();
    const PropSize size = propImageSize(data.data(), uint32_t(data.size()));
    if (size.width <= 0 || size.height <= 0) {
      err << "proptool: warning: prop " << j << " (id " << prop.id << ") is " << size.width << "x" << size.height
          << ", nothing to extract\n";
      continue;
    }
    const int32_t width = std::min(size.width, kMaxExtractSide);
    const int32_t height = std::min(size.height, kMaxExtractSide);
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 4, 0);
    decodePropImage(pixels.data(), width, height, data.data(), uint32_t(data.size()), 0, 0,
                    prop.id < kPropInvertedIdLimit);
    // A second prop with the same id gets its index in its name instead of replacing the first.
    std::string name = std::to_string(prop.id);
    if (!ids.insert(prop.id).second) name += "-" + std::to_string(j);
    if (!writePng(dir + "/" + name + ".png", width, height, pixels.data(), &error)) return failure(err, error);
    ++written;
  }
  out << written << " props extracted to " << dir << "\n";
  return kExitOK;
}

int commandAtlas(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Parsed p = parseArgs(args, {"--seed"});
  if (!p.problem.empty()) return usage(err, "atlas", p.problem);
  if (p.positional.size() != 2) return usage(err, "atlas", "a prop file and an output PNG expected");
  uint64_t seed = uint64_t(std::time(nullptr)) & 0xFFFFFFFFu;
  for (auto& o : p.options)
    if (!parseNumber(o.second, 0, 0xFFFFFFFFu, &seed)) return usage(err, "atlas", "--seed must be 0 to 4294967295");
  const std::string& path = p.positional[0];
  {
    OpenPropFile check(path);  // a clear error before the builder, which stays silent
    if (!check.ok()) return failure(err, check.problem);
  }
  std::vector<uint8_t> pixels(kPropAtlasBytes);
  orvane::srand(uint32_t(seed));
  setPropFileCandidates({path});
  const int32_t cellCount = buildPropAtlasPixels(pixels.data());
  setPropFilePaths(nullptr, nullptr);
  std::string error;
  if (!writePng(p.positional[1], kPropAtlasSize, kPropAtlasSize, pixels.data(), &error)) return failure(err, error);
  out << "cellCount " << cellCount << "\n";
  return kExitOK;
}

}  // namespace

int runProptool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return usage(err, "", "no command");
  const std::string& command = args[0];
  if (command == "sample") return commandSample(args, out, err);
  if (command == "build") return commandBuild(args, out, err);
  if (command == "list") return commandList(args, out, err);
  if (command == "extract") return commandExtract(args, out, err);
  if (command == "atlas") return commandAtlas(args, out, err);
  return usage(err, "", "unknown command " + command);
}

}  // namespace proptool
