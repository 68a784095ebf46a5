#include "proptool/commands.h"

#include <algorithm>
#include <ctime>
#include <set>

#include "common/random.h"
#include "pictures/own_prop_file.h"
#include "pictures/picture_files.h"
#include "props/prop_atlas.h"
#include "props/prop_image.h"
#include "proptool/file_access.h"
#include "proptool/png_writer.h"
#include "proptool/problem_text.h"
#include "proptool/sample_props.h"

namespace proptool {

namespace {

using pictures::kOwnFileMaxProps;
using pictures::PictureProp;

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

// Writes bytes to a file through a temporary file beside it, flushed and renamed over it, so
// that an existing file is never cut short in place; false, with a one-line message, when
// it cannot (the old file then stays as it was).
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  pictures::FileProblem problem;
  if (pictures::replaceFile(nativePath(path), bytes, &problem)) return true;
  *error = fileProblemText(problem);
  return false;
}

// The prop file opened as the current resource file, closed when this goes away. The stream
// is opened here, by its wide name on Windows, and handed to the resource library.
struct OpenPropFile {
  FileRef ref = 0;
  std::string problem;
  explicit OpenPropFile(const std::string& path) {
    if (!isRegularFile(path)) {
      problem = "cannot open " + path + ": not a readable file";
      return;
    }
    const ResCode rc = ResOpenStream(pictures::openFile(nativePath(path), "rb"), &ref);
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
    for (int32_t i = 1; i <= length && i <= int32_t(pictures::kPropNameMaxBytes); ++i) {
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
  const std::vector<uint8_t> file = ResBuildFile(makeSampleProps(int32_t(count)));
  std::string error;
  if (!writeFile(p.positional[0], file, &error)) return failure(err, error);
  out << count << " props written to " << p.positional[0] << "\n";
  return kExitOK;
}

int commandBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Parsed p = parseArgs(args, {"--first-id"}, {"--no-scale"});
  if (!p.problem.empty()) return usage(err, "build", p.problem);
  if (p.positional.size() < 2) return usage(err, "build", "an output file and at least one picture expected");
  uint64_t firstId = kPropInvertedIdLimit;
  for (auto& o : p.options)
    if (!parseNumber(o.second, 0, 0xFFFFFFFFu, &firstId))
      return usage(err, "build", "--first-id must be 0 to 4294967295");
  const size_t pictureCount = p.positional.size() - 1;
  if (firstId + pictureCount - 1 > 0xFFFFFFFFu) return usage(err, "build", "the ids would pass 4294967295");
  const bool scale = !p.flags.count("--no-scale");

  // A picture that fails is reported and left out; the others are built all the same.
  std::vector<ResEntry> entries;
  size_t failed = 0;
  for (size_t i = 0; i < pictureCount; ++i) {
    const std::string& path = p.positional[i + 1];
    PictureProp prop = pictures::propFromPicture(nativePath(path), scale);
    if (prop.spillsOverCell)
      err << "proptool: warning: " << path << " is " << prop.size.width << "x" << prop.size.height
          << ", larger than the 44x44 atlas cell; it spills into the neighbouring cells\n";
    if (!prop.made()) {
      err << "proptool: " << pictureProblemText(path, prop.problem) << "\n";
      ++failed;
      continue;
    }
    entries.push_back(pictures::propEntry(uint32_t(firstId + entries.size()), nativePath(path), std::move(prop.data)));
  }
  if (entries.empty()) return failure(err, "no props made; " + p.positional[0] + " not written");
  std::string error;
  if (!writeFile(p.positional[0], ResBuildFile(entries), &error)) return failure(err, error);
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
  pictures::FileProblem folder;
  if (!pictures::makeDirectories(nativePath(dir), &folder))
    return failure(err, isRegularFile(dir) ? dir + " is not a directory" : fileProblemText(folder));

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
  setPropFileCandidates({path});
  const int32_t cellCount = buildPropAtlasPixels(pixels.data());
  setPropFilePaths(nullptr, nullptr);
  std::string error;
  if (!writePng(p.positional[1], kPropAtlasSize, kPropAtlasSize, pixels.data(), &error)) return failure(err, error);
  out << "cellCount " << cellCount << "\n";
  return kExitOK;
}

// Tells on the terminal (or the console a drop opened) how the adding goes, a line a
// picture: its number and name as soon as it is read, then what became of it.
class TerminalObserver : public pictures::AddPicturesObserver {
 public:
  TerminalObserver(const std::vector<std::string>& paths, const std::string& own, std::ostream& out, std::ostream& err)
      : paths_(paths), own_(own), out_(out), err_(err) {}
  void reading(size_t index, size_t count, const pictures::Path&) override {
    out_ << "  " << index + 1 << "/" << count << " " << baseName(paths_[index]) << ": " << std::flush;
    open_ = true;
  }
  void done(size_t index, const pictures::Path&, const PictureProp& prop) override {
    open_ = false;
    if (!prop.made()) {
      // The message names the picture by its full path; here the line names it already.
      const std::string& picture = paths_[index];
      std::string reason = pictureProblemText(picture, prop.problem);
      if (reason.compare(0, picture.size() + 2, picture + ": ") == 0) reason.erase(0, picture.size() + 2);
      out_ << "not added, " << reason << std::endl;
      return;
    }
    out_ << "prop " << prop.id << ", " << prop.size.width << "x" << prop.size.height;
    if (prop.size.width != prop.pictureSize.width || prop.size.height != prop.pictureSize.height)
      out_ << " (scaled from " << prop.pictureSize.width << "x" << prop.pictureSize.height << ")";
    out_ << std::endl;
  }
  bool keepWaiting(double seconds) override {
    if ((seconds >= 3.0 && !told_) || seconds >= kLockWaitLimit) {
      if (open_) out_ << std::endl;
      open_ = false;
    }
    if (seconds >= kLockWaitLimit) {
      err_ << "proptool: gave up after " << int(kLockWaitLimit) << " s: another program still holds "
           << own_ << ".lock (it may have stopped answering; end it, or try again later)" << std::endl;
      return false;
    }
    if (seconds >= 3.0 && !told_) {
      told_ = true;
      err_ << "proptool: waiting: another program is adding pictures to " << own_ << std::endl;
    }
    return true;
  }
  bool lineOpen() const { return open_; }

 private:
  // A writer holds the lock for one picture at a time, well under a second: one that holds it
  // this long is stuck, and a drop onto proptool.exe must not wait for ever.
  static constexpr double kLockWaitLimit = 60.0;
  const std::vector<std::string>& paths_;
  const std::string& own_;
  std::ostream& out_;
  std::ostream& err_;
  bool open_ = false;  // a picture's line waits for its outcome
  bool told_ = false;
};

// Pictures given alone, as when they are dropped onto the program: each becomes a prop
// appended to the user's own prop file (pictures/own_prop_file.h) and saved before the next
// is read, one line each.
int commandAddPictures(const std::vector<std::string>& paths, std::ostream& out, std::ostream& err) {
  const std::string path = userPropFilePath();
  if (path.empty()) return failure(err, "cannot tell where your prop file belongs (no home folder)");
  std::vector<pictures::Path> pictureFiles;
  for (const std::string& picture : paths) pictureFiles.push_back(nativePath(picture));

  out << "Adding " << paths.size() << (paths.size() == 1 ? " picture" : " pictures") << " to " << path << std::endl;
  TerminalObserver observer(paths, path, out, err);
  const pictures::AddPicturesResult result = pictures::addPicturesToOwnFile(nativePath(path), pictureFiles, &observer);
  if (observer.lineOpen()) out << "not added" << std::endl;
  if (result.tried == 0 && result.ownFile.failure != pictures::OwnFileFailure::kNone)
    return failure(err, ownFileProblemText(path, result.ownFile));
  const size_t rest = paths.size() - result.tried;
  if (result.ownFile.failure != pictures::OwnFileFailure::kNone)
    err << "proptool: " << ownFileProblemText(path, result.ownFile) << "\n";
  if (result.save.failure != pictures::FileFailure::kNone)
    err << "proptool: " << fileProblemText(result.save) << "; the file was left as it was\n";
  out << result.added << (result.added == 1 ? " prop" : " props") << " added; " << path << " holds " << result.held
      << (result.held == 1 ? " prop" : " props") << ".";
  if (rest > 0) out << " " << rest << (rest == 1 ? " picture was" : " pictures were") << " not tried.";
  out << std::endl;
  return result.added == paths.size() ? kExitOK : kExitFailed;
}

int commandHelp(std::ostream& out) {
  const std::string own = userPropFilePath();
  out << "proptool: makes and inspects prop files, the pictures of the Orvane screen saver.\n"
         "\n"
         "  proptool PICTURE...\n"
         "      adds the pictures to your own prop file, each saved as it is added. Once it\n"
         "      holds a prop, the saver shows it ahead of any other prop file (on Linux it\n"
         "      is always the first place looked at):\n"
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
