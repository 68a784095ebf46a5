// The user's own prop file: pictures appended with ids after the highest one, up to 529
// props, the props there kept byte for byte; a file that cannot be kept whole is refused
// and left as it is. Each picture answers whether it was added and, if not, why.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pictures/own_prop_file.h"
#include "resfile/resfile.h"
#include "support/pictures.h"
#include "support/prop_files.h"
#include "support/proptool_run.h"  // readBytes
#include "support/resfile_builder.h"

namespace {

using pictures::OwnFileFailure;
using pictures::OwnFileProblem;
using pictures::OwnPropFile;
using pictures::PictureFailure;
using proptest::draw;
using proptest::Rgba;

class OwnPropFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = proptest::makeTempDir();
    own = dir + "/orvane/props.prp";  // its folder is made when it is first written
    sun = dir + "/sun.png";
    sea = dir + "/sea.bmp";
    ASSERT_TRUE(proptest::writeFile(sun, proptest::asPng(draw(300, 200, [](int32_t x, int32_t) {
                                      return Rgba{255, uint8_t(x), 0, 255};
                                    }))));
    ASSERT_TRUE(proptest::writeFile(sea, proptest::asBmp(draw(20, 30, [](int32_t, int32_t y) {
                                      return Rgba{0, uint8_t(y * 8), 255, 255};
                                    }))));
  }
  OwnPropFile load() {
    OwnPropFile file;
    OwnFileProblem problem;
    EXPECT_TRUE(pictures::loadOwnPropFile(own, &file, &problem)) << int(problem.failure);
    return file;
  }
  void save(const OwnPropFile& file) {
    pictures::FileProblem problem;
    EXPECT_TRUE(pictures::saveOwnPropFile(file, &problem)) << int(problem.failure) << " " << problem.reason;
  }
  std::string dir, own, sun, sea;
};

TEST_F(OwnPropFileTest, PicturesAreAppendedAfterTheHighestId) {
  OwnPropFile file = load();  // none there yet
  ASSERT_TRUE(proptest::writeFile(dir + "/notes.txt", {'h', 'i'}));
  const struct {
    std::string picture;
    PictureFailure failure;
    uint32_t id;
    int32_t width, height;
  } cases[] = {{sun, PictureFailure::kNone, 516, 44, 29},
               {dir + "/notes.txt", PictureFailure::kNotAPicture, 0, 0, 0},
               {dir + "/missing.png", PictureFailure::kFile, 0, 0, 0},
               {sea, PictureFailure::kNone, 517, 20, 30}};
  std::vector<pictures::PictureProp> results;
  for (const auto& c : cases) {
    results.push_back(pictures::addPictureToOwnFile(&file, c.picture));
    EXPECT_EQ(results.back().problem.failure, c.failure) << c.picture;
    EXPECT_EQ(results.back().id, c.id) << c.picture;
    EXPECT_EQ(results.back().size.width, c.width) << c.picture;
    EXPECT_EQ(results.back().size.height, c.height) << c.picture;
  }
  EXPECT_EQ(results[2].problem.file.failure, pictures::FileFailure::kCannotOpen);
  EXPECT_EQ(results[2].problem.file.path, dir + "/missing.png");
  save(file);

  // Again: the two are read back as written and kept byte for byte, the new one follows.
  const std::vector<uint8_t> before = proptest::readBytes(own);
  file = load();
  EXPECT_EQ(pictures::addPictureToOwnFile(&file, sea).id, 518u);
  save(file);
  const std::vector<uint8_t> after = proptest::readBytes(own);
  const size_t data = 16 + restest::getLE32(before, 4);  // the end of the two props' data
  ASSERT_GT(after.size(), data);
  EXPECT_TRUE(std::equal(before.begin() + 16, before.begin() + long(data), after.begin() + 16));

  // Ids follow the highest one, wherever it stands.
  ASSERT_TRUE(proptest::writeFile(own, ResBuildFile({proptest::propEntry(900, proptest::rowProp({1, 2}), "x"),
                                                     proptest::propEntry(12, proptest::rowProp({3}))})));
  file = load();
  EXPECT_EQ(pictures::addPictureToOwnFile(&file, sun).id, 901u);
}

TEST_F(OwnPropFileTest, AFullOrForeignFileIsLeftAsItIs) {
  // 528 props: one more fits, the next is refused; after the last id none is added.
  std::vector<ResEntry> many;
  for (uint32_t i = 0; i < 528; ++i) many.push_back(proptest::propEntry(1000 + i, proptest::rowProp({7})));
  ASSERT_TRUE(std::filesystem::create_directories(dir + "/orvane"));
  ASSERT_TRUE(proptest::writeFile(own, ResBuildFile(many)));
  OwnPropFile file = load();
  EXPECT_EQ(pictures::addPictureToOwnFile(&file, sun).id, 1528u);
  EXPECT_EQ(pictures::addPictureToOwnFile(&file, sea).problem.failure, PictureFailure::kOwnFileFull);
  ASSERT_TRUE(proptest::writeFile(own, ResBuildFile({proptest::propEntry(0xFFFFFFFFu, proptest::rowProp({7}))})));
  file = load();
  EXPECT_EQ(pictures::addPictureToOwnFile(&file, sun).problem.failure, PictureFailure::kNoIdsLeft);

  // Damaged, holding more than props, or with props under a second 'Prop' type entry, which
  // the saver never reads: refused, and what was read cannot be written over it.
  std::vector<ResEntry> other = {proptest::propEntry(600, proptest::rowProp({7}))};
  other.push_back(other[0]);
  other[1].type = resTypeCode('I', 'c', 'o', 'n');
  std::vector<uint8_t> twoPropTypes = ResBuildFile(other);
  restest::putLE32(twoPropTypes, restest::getLE32(twoPropTypes, 8) + 24 + 12, kPropResourceType);
  const std::vector<uint8_t> cut(twoPropTypes.begin(), twoPropTypes.begin() + long(twoPropTypes.size() / 2));
  const std::pair<std::vector<uint8_t>, OwnFileFailure> cases[] = {
      {ResBuildFile(other), OwnFileFailure::kForeign},
      {twoPropTypes, OwnFileFailure::kDamaged},
      {cut, OwnFileFailure::kDamaged},
      {std::vector<uint8_t>(100, 0xFF), OwnFileFailure::kDamaged}};
  for (const auto& [bytes, failure] : cases) {
    ASSERT_TRUE(proptest::writeFile(own, bytes));
    OwnFileProblem problem;
    EXPECT_FALSE(pictures::loadOwnPropFile(own, &file, &problem));
    EXPECT_EQ(problem.failure, failure);
    EXPECT_TRUE(pictures::addPictureToOwnFile(&file, sun).made());
    pictures::FileProblem saving;
    EXPECT_FALSE(pictures::saveOwnPropFile(file, &saving));
    EXPECT_EQ(proptest::readBytes(own), bytes);
  }
  EXPECT_EQ(ResCurrentFile(), 0) << "every file was closed";
}

// Pictures a writer adds: `count` of them, each its own colour, named after `who`.
std::vector<pictures::Path> drawPictures(const std::string& dir, const std::string& who, int count, int32_t side) {
  std::vector<pictures::Path> paths;
  for (int i = 0; i < count; ++i) {
    paths.push_back(dir + "/" + who + std::to_string(i) + ".png");
    EXPECT_TRUE(proptest::writeFile(paths.back(), proptest::asPng(draw(side, side, [&](int32_t x, int32_t y) {
                                      return Rgba{uint8_t(i * 40), uint8_t(x ^ y), uint8_t(who[0]), 255};
                                    }))));
  }
  return paths;
}

// The props' names in the file, which must read whole.
std::multiset<std::string> namesIn(const std::string& own) {
  OwnPropFile file;
  OwnFileProblem problem;
  EXPECT_TRUE(pictures::loadOwnPropFile(own, &file, &problem)) << int(problem.failure);
  std::multiset<std::string> names;
  for (const ResEntry& e : file.entries) names.insert(e.name);
  return names;
}

// Two writers at once, each with its own lock and loads, as two programs would be: every
// picture of both ends up in the file, each once, with ids of its own.
TEST_F(OwnPropFileTest, TwoWritersAtOnceBothKeepTheirPictures) {
  const auto first = drawPictures(dir, "a", 8, 64), second = drawPictures(dir, "b", 8, 64);
  pictures::AddPicturesResult results[2];
  std::thread other([&] { results[1] = pictures::addPicturesToOwnFile(own, second, nullptr); });
  results[0] = pictures::addPicturesToOwnFile(own, first, nullptr);
  other.join();
  EXPECT_EQ(results[0].added + results[1].added, 16u);
  const std::multiset<std::string> names = namesIn(own);
  EXPECT_EQ(names.size(), 16u);
  for (const auto& picture : first) EXPECT_EQ(names.count(picture.stem().string()), 1u) << picture;
  for (const auto& picture : second) EXPECT_EQ(names.count(picture.stem().string()), 1u) << picture;
}

// The lock file is replaced while one writer holds it and another waits on it: once the old
// lock is let go, the waiting writer must not go on under it while a third holds the new
// file's lock, and no writer's picture is lost.
TEST_F(OwnPropFileTest, TheLockFileReplacedUnderAHolderLosesNoPicture) {
  const auto pictures = drawPictures(dir, "w", 1, 32);
  ASSERT_TRUE(std::filesystem::create_directories(dir + "/orvane"));
  ASSERT_TRUE(proptest::writeFile(own, ResBuildFile({proptest::propEntry(516, proptest::rowProp({7}), "first")})));
  const std::string lockPath = own + ".lock";
  pictures::FileLock old, replaced;
  pictures::FileProblem problem;
  // The writer reads the file once, then makes its prop while the test takes the old lock.
  struct Steps : pictures::AddPicturesObserver {
    std::atomic<int> reached{0}, waits{0}, held{0};
    void reading(size_t, size_t, const pictures::Path&) override {
      for (reached = 1; !held;) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    bool keepWaiting(double) override { return ++waits, true; }
  } steps;
  std::thread writer([&] { pictures::addPicturesToOwnFile(own, pictures, &steps); });
  while (!steps.reached) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(old.acquire(lockPath, nullptr, &problem));
  for (steps.held = 1; !steps.waits;) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(proptest::writeFile(lockPath + ".x", {}));
  ASSERT_EQ(std::rename((lockPath + ".x").c_str(), lockPath.c_str()), 0);
  ASSERT_TRUE(replaced.acquire(lockPath, nullptr, &problem));
  OwnPropFile third = load();
  EXPECT_TRUE(pictures::appendPropToOwnFile(&third, dir + "/third.png", pictures::propFromPicture(sun, true)).made());
  old.release();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a writer let in would be done by now
  save(third);
  replaced.release();
  writer.join();
  EXPECT_EQ(namesIn(own), (std::multiset<std::string>{"first", "third", "w0"}));
}

// A writer killed part way (SIGKILL, no chance to tidy up) leaves a file that reads whole
// with the pictures it had added, in order; its lock file and temporary file block no later
// writer, which adds to what is there.
TEST_F(OwnPropFileTest, AWriterKilledPartWayLosesAtMostThePictureInHand) {
  const auto paths = drawPictures(dir, "k", 40, 1200);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    pictures::addPicturesToOwnFile(own, paths, nullptr);
    _exit(0);
  }
  size_t seen = 0;
  for (int i = 0; i < 600 && seen < 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    OwnPropFile file;
    OwnFileProblem problem;
    if (pictures::loadOwnPropFile(own, &file, &problem)) seen = file.loaded;
  }
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended before it was killed: make its pictures larger";
  EXPECT_GE(seen, 3u) << "pictures are saved as they are added";
  const std::multiset<std::string> names = namesIn(own);
  EXPECT_GE(names.size(), seen);
  EXPECT_LT(names.size(), paths.size());
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names.count("k" + std::to_string(i)), 1u) << i;

  const auto later = pictures::addPicturesToOwnFile(own, {sea}, nullptr);
  EXPECT_EQ(later.added, 1u);
  EXPECT_EQ(later.held, names.size() + 1);
}

// Memory that cannot be had for one picture (a small address space, as a 32-bit program
// has) refuses that picture and the adding goes on with the next. In a child process whose
// address space is held to what it uses now and a little more.
TEST_F(OwnPropFileTest, APictureWithoutMemoryToReadItIsRefusedAndTheNextAdded) {
  // Its decoded pixels (36 MB) alone are more than the room left, and too large for any free
  // block the process may hold.
  const std::string big = dir + "/big0.png";
  ASSERT_TRUE(proptest::writeFile(big, proptest::asPng(draw(3000, 3000, [](int32_t, int32_t) { return Rgba{9, 9, 9, 255}; }))));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm || std::fscanf(statm, "%ld", &pages) != 1) _exit(3);
    std::fclose(statm);
    const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(16) << 20);
    const rlimit held{limit, limit};
    if (setrlimit(RLIMIT_AS, &held) != 0) _exit(3);
    struct Outcomes : pictures::AddPicturesObserver {
      std::vector<PictureFailure> failures;
      void done(size_t, const pictures::Path&, const pictures::PictureProp& prop) override {
        failures.push_back(prop.problem.failure);
      }
    } outcomes;
    pictures::addPicturesToOwnFile(own, {big, sea}, &outcomes);
    _exit(outcomes.failures == std::vector<PictureFailure>{PictureFailure::kOutOfMemory, PictureFailure::kNone} ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "the adding ended the program";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the large picture was not refused for memory, or the next not added";
  EXPECT_EQ(namesIn(own), (std::multiset<std::string>{"sea"}));
}

}  // namespace
