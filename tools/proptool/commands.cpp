#include "proptool/commands.h"

#include <algorithm>
#include <ctime>
#include <set>

#include "common/random.h"
#include "props/prop_atlas.h"
#include "props/prop_image.h"
#include "proptool/file_access.h"
#include "proptool/picture_io.h"
#include "proptool/picture_to_prop.h"
#include "proptool/prop_encoder.h"
#include "proptool/resource_writer.h"
#include "proptool/sample_props.h"

namespace proptool {

namespace {

constexpr int32_t kMaxNameLength = 31;
// The user's own prop file holds at most as many props as the atlas shows at once, so every
// picture added is seen; and a file larger than this is not taken for one.
constexpr int32_t kOwnFileMaxProps = kPropSlots;
constexpr size_t kOwnFileMaxBytes = size_t(64) << 20;

const char* usageOf(const std::string& command) {
  if (command == "sample") return "proptool sample OUT.prp [--count N]";
  if (command == "build") return "proptool build OUT.prp PICTURE... [--first-id N] [--no-scale]";
  if (command == "list") return "proptool list FILE.prp";
  if (command == "extract") return "proptool extract FILE.prp DIR";
  if (command == "atlas") return "proptool atlas FILE.prp OUT.png [--seed S]";
  return "proptool sample|build|list|extract|atlas ..., proptool PICTURE..., or proptool --help";
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
  std::set<std::string> flags;
  std::string problem;
};

// Options in `optionNames` take a value; those in `flagNames` stand alone.
Parsed parseArgs(const std::vector<std::string>& args, const std::set<std::string>& optionNames,
                 const std::set<std::string>& flagNames = {}) {
  Parsed p;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      if (flagNames.count(a)) {
        p.flags.insert(a);
        continue;
      }
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

// The prop file opened as the current resource file, closed when this goes away.
struct OpenPropFile {
  FileRef ref = 0;
  std::string problem;
  explicit OpenPropFile(const std::string& path) {
    if (!isRegularFile(path)) {
      problem = "cannot open " + path + ": not a readable file";
      return;
    }
    const ResCode rc = ResOpenFile(resourceLibraryPath(path).c_str(), &ref);
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

// A prop's name from a picture's file name: without folder and extension, at most 31 bytes,
// cut between whole UTF-8 characters.
std::string propNameFromPath(const std::string& path) {
  std::string base = baseName(path);
  const size_t dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base.resize(dot);
  if (base.size() > size_t(kMaxNameLength)) {
    size_t cut = size_t(kMaxNameLength);
    while (cut > 0 && (uint8_t(base[cut]) & 0xC0) == 0x80) --cut;
    base.resize(cut);
  }
  return base;
}

// One picture made into a prop image. Scaled (the default): any size, scaled down to fit the
// cell and error-diffused to the palette. Unscaled: pixel for pixel, each to its nearest
// palette colour, at most 64 rows, with a warning when it is larger than the cell.
struct PropFromPicture {
  std::vector<uint8_t> data;
  PictureSize size{0, 0};
  PictureSize pictureSize{0, 0};
  std::string warning;
  std::string error;
};

PropFromPicture propFromPicture(const std::string& path, bool scale) {
  PropFromPicture r;
  RgbaImage picture;
  if (!readPicture(path, &picture, &r.error)) return r;
  r.pictureSize = {picture.width, picture.height};
  IndexedImage indexed;
  if (scale) {
    r.size = fitToCell(picture.width, picture.height, kPropCellSize);
    indexed = ditherToPalette(scaleAreaAverage(picture, r.size.width, r.size.height));
  } else {
    if (picture.height > kPropMaxLittleEndianHeight) {
      r.error = path + ": " + std::to_string(picture.height) +
                " rows; a prop holds at most 64 rows (its byte order is told by its height)";
      return r;
    }
    if (picture.width > 32767) {
      r.error = path + ": wider than 32767 pixels";
      return r;
    }
    if (picture.width > kPropCellSize || picture.height > kPropCellSize)
      r.warning = path + " is " + std::to_string(picture.width) + "x" + std::to_string(picture.height) +
                  ", larger than the 44x44 atlas cell; it spills into the neighbouring cells";
    r.size = {picture.width, picture.height};
    indexed = nearestToPalette(picture);
  }
  r.data = encodePropImage(indexed, false, false);
  if (r.data.empty()) r.error = path + ": cannot be stored as a prop";
  return r;
}

ResourceEntry propEntry(uint32_t id, const std::string& path, std::vector<uint8_t> data) {
  ResourceEntry e;
  e.type = kPropResourceType;
  e.id = id;
  e.name = propNameFromPath(path);
  e.hasName = !e.name.empty();
  e.data = std::move(data);
  return e;
}

int commandBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Parsed p = parseArgs(args, {"--first-id"}, {"--no-scale"});
  if (!p.problem.empty()) return usage(err, "build", p.problem);
  if (p.positional.size() < 2) return usage(err, "build", "an output file and at least one picture expected");
  uint64_t firstId = kPropInvertedIdLimit;
  for (auto& o : p.options)
    if (!parseNumber(o.second, 0, 0xFFFFFFFFu, &firstId))
      return usage(err, "build", "--first-id must be 0 to 4294967295");
  const size_t pictures = p.positional.size() - 1;
  if (firstId + pictures - 1 > 0xFFFFFFFFu) return usage(err, "build", "the ids would pass 4294967295");
  const bool scale = !p.flags.count("--no-scale");

  // A picture that fails is reported and left out; the others are built all the same.
  std::vector<ResourceEntry> entries;
  size_t failed = 0;
  for (size_t i = 0; i < pictures; ++i) {
    const std::string& path = p.positional[i + 1];
    PropFromPicture prop = propFromPicture(path, scale);
    if (!prop.warning.empty()) err << "proptool: warning: " << prop.warning << "\n";
    if (!prop.error.empty()) {
      err << "proptool: " << prop.error << "\n";
      ++failed;
      continue;
    }
    entries.push_back(propEntry(uint32_t(firstId + entries.size()), path, std::move(prop.data)));
  }
  if (entries.empty()) return failure(err, "no props made; " + p.positional[0] + " not written");
  std::string error;
  if (!writeWholeFile(p.positional[0], buildResourceFile(entries), &error)) return failure(err, error);
  out << entries.size() << " props written to " << p.positional[0];
  if (failed) out << " (" << failed << (failed == 1 ? " picture" : " pictures") << " left out)";
  out << "\n";
  return failed ? kExitFailed : kExitOK;
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
  std::string error;
  if (!makeDirectories(dir, &error)) return failure(err, isRegularFile(dir) ? dir + " is not a directory" : error);

  // A prop larger than this is cut to it: enough for any prop, bounded for any file.
  constexpr int32_t kMaxExtractSide = 1024;
  const int32_t count = ResCountOfType(kPropResourceType);
  std::set<uint32_t> ids;
  int32_t written = 0;
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
  setPropFileCandidates({resourceLibraryPath(path)});
  const int32_t cellCount = buildPropAtlasPixels(pixels.data());
  setPropFilePaths(nullptr, nullptr);
  std::string error;
  if (!writePng(p.positional[1], kPropAtlasSize, kPropAtlasSize, pixels.data(), &error)) return failure(err, error);
  out << "cellCount " << cellCount << "\n";
  return kExitOK;
}

// The props already in the user's own prop file, every byte kept. False, with the reason,
// when the file cannot be read whole, holds anything besides props, or lists props under a
// second 'Prop' type entry, which the resource library never reads: it is then left as it is
// rather than rewritten with less in it.
bool readOwnProps(const std::string& path, std::vector<ResourceEntry>* entries, std::string* problem) {
  std::vector<uint8_t> bytes;
  if (!readWholeFile(path, kOwnFileMaxBytes, &bytes, problem)) return false;
  // The type list, read here only to see that one 'Prop' entry is the only type with resources.
  auto le32 = [&](uint64_t at, uint32_t* v) {
    if (at + 4 > bytes.size()) return false;
    *v = uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
         uint32_t(bytes[at + 3]) << 24;
    return true;
  };
  uint32_t mapOffset = 0, typeCount = 0, typeListOffset = 0;
  const std::string damaged = path + " is damaged";
  if (!le32(8, &mapOffset) || !le32(uint64_t(mapOffset), &typeCount) || !le32(uint64_t(mapOffset) + 12, &typeListOffset) ||
      typeCount > 0x7FFFFFFF) {
    *problem = damaged;
    return false;
  }
  bool propTypeSeen = false;
  for (uint32_t t = 0; t < typeCount; ++t) {
    uint32_t type = 0, count = 0;
    const uint64_t at = uint64_t(mapOffset) + typeListOffset + uint64_t(t) * 12;
    if (!le32(at, &type) || !le32(at + 4, &count) || (type == kPropResourceType && propTypeSeen)) {
      *problem = damaged;
      return false;
    }
    propTypeSeen = propTypeSeen || type == kPropResourceType;
    if (type != kPropResourceType && count != 0) {
      *problem = path + " holds more than props";
      return false;
    }
  }
  OpenPropFile file(path);
  if (!file.ok()) {
    *problem = damaged;
    return false;
  }
  const int32_t count = ResCountOfType(kPropResourceType);
  for (int32_t j = 0; j < count; ++j) {
    FetchedProp prop(j);
    if (!prop.handle) {
      *problem = damaged;
      return false;
    }
    ResourceEntry e;
    e.type = kPropResourceType;
    e.id = prop.id;
    // The name as stored, not the printable form that FetchedProp keeps.
    uint32_t type = 0, id = 0;
    uint8_t rawName[256] = {0};
    ResGetInfo(prop.handle, &type, &id, rawName);
    e.hasName = rawName[0] != 0;
    e.name.assign(reinterpret_cast<const char*>(rawName + 1), rawName[0]);
    e.data = prop.bytes();
    entries->push_back(std::move(e));
  }
  return true;
}

// Pictures given alone, as when they are dropped onto the program: each becomes a prop
// appended to the user's own prop file, with an id after the highest one there (516 at the
// least, so it shows in colour), up to the number of props the saver shows at once.
int commandAddPictures(const std::vector<std::string>& pictures, std::ostream& out, std::ostream& err) {
  const std::string path = userPropFilePath();
  if (path.empty()) return failure(err, "cannot tell where your prop file belongs (no home folder)");
  std::vector<ResourceEntry> entries;
  std::string problem;
  if (isRegularFile(path)) {
    if (!readOwnProps(path, &entries, &problem))
      return failure(err, problem + "; it was left as it is and no picture was added");
  } else if (isDirectory(path)) {
    return failure(err, path + " is a folder; no picture was added");
  }
  uint64_t nextId = kPropInvertedIdLimit;
  for (const ResourceEntry& e : entries) nextId = std::max<uint64_t>(nextId, uint64_t(e.id) + 1);
  const size_t before = entries.size();

  out << "Adding " << pictures.size() << (pictures.size() == 1 ? " picture" : " pictures") << " to " << path << "\n";
  size_t failed = 0;
  for (const std::string& picture : pictures) {
    const std::string name = baseName(picture);
    if (entries.size() >= size_t(kOwnFileMaxProps)) {
      out << "  " << name << ": not added, the file is full (" << kOwnFileMaxProps
          << " props, as many as the saver shows at once)\n";
      ++failed;
      continue;
    }
    if (nextId > 0xFFFFFFFFu) {
      out << "  " << name << ": not added, no prop ids are left after the highest one in the file\n";
      ++failed;
      continue;
    }
    PropFromPicture prop = propFromPicture(picture, true);
    if (!prop.error.empty()) {
      // The message names the picture by its full path; here the list names it already.
      std::string reason = prop.error;
      if (reason.compare(0, picture.size() + 2, picture + ": ") == 0) reason.erase(0, picture.size() + 2);
      out << "  " << name << ": not added, " << reason << "\n";
      ++failed;
      continue;
    }
    out << "  " << name << ": prop " << nextId << ", " << prop.size.width << "x" << prop.size.height;
    if (prop.size.width != prop.pictureSize.width || prop.size.height != prop.pictureSize.height)
      out << " (scaled from " << prop.pictureSize.width << "x" << prop.pictureSize.height << ")";
    out << "\n";
    entries.push_back(propEntry(uint32_t(nextId++), picture, std::move(prop.data)));
  }
  const size_t added = entries.size() - before;
  if (added > 0) {
    const std::string folder = userPropFolder();
    if (!makeDirectories(folder, &problem) || !replaceFile(path, buildResourceFile(entries), &problem))
      return failure(err, problem + "; no picture was added");
  }
  out << added << (added == 1 ? " prop" : " props") << " added; " << path << " holds " << entries.size()
      << (entries.size() == 1 ? " prop" : " props") << ".\n";
  return failed ? kExitFailed : kExitOK;
}

int commandHelp(std::ostream& out) {
  const std::string own = userPropFilePath();
  out << "proptool: makes and inspects prop files, the pictures of the Orvane screen saver.\n"
         "\n"
         "  proptool PICTURE...\n"
         "      adds the pictures to your own prop file, which the saver shows when the chat\n"
         "      client's prop file is not there:\n"
         "      "
      << (own.empty() ? "(unknown: no home folder)" : own) << "\n"
      << "      (on Windows, drop pictures onto proptool.exe). At most " << kOwnFileMaxProps << " props.\n"
      << "  proptool build OUT.prp PICTURE... [--first-id N] [--no-scale]\n"
         "      a new prop file, one prop per picture; ids from N (default 516; below 516\n"
         "      props show in greys). --no-scale keeps every pixel (at most 64 rows).\n"
         "  proptool sample OUT.prp [--count N]    a prop file of N props drawn by proptool\n"
         "  proptool list FILE.prp                 index, id, size and name of each prop\n"
         "  proptool extract FILE.prp DIR          each prop to DIR/<id>.png\n"
         "  proptool atlas FILE.prp OUT.png [--seed S]   the atlas the saver builds\n"
         "  proptool --help                        this text\n"
         "\n"
         "Pictures: PNG, JPEG, BMP or GIF (its first frame). One larger than 44x44 pixels is\n"
         "scaled down to fit, keeping its shape; colours are mapped to the saver's 256 with\n"
         "error diffusion; pixels less than half opaque stay transparent.\n";
  return kExitOK;
}

}  // namespace

int runProptool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return usage(err, "", "no command");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "/?" || command == "help") return commandHelp(out);
  if (command == "sample") return commandSample(args, out, err);
  if (command == "build") return commandBuild(args, out, err);
  if (command == "list") return commandList(args, out, err);
  if (command == "extract") return commandExtract(args, out, err);
  if (command == "atlas") return commandAtlas(args, out, err);
  // Started with files alone (what a file manager passes for a drop): add them.
  if (command.compare(0, 1, "-") != 0 && (isRegularFile(command) || isDirectory(command)))
    return commandAddPictures(args, out, err);
  return usage(err, "", "no command or file named " + command);
}

}  // namespace proptool
