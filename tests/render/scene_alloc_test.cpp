// The scene allocates nothing per frame: every C++ allocation of the process is counted
// while frames are drawn (births, segment steps and eased switches included).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "props/prop_atlas.h"
#include "render_fixture.h"

// The replaced operators pair malloc with free themselves; the compiler cannot see that
// through the inlined calls.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  if (counting) ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (counting) ++allocations;
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using SceneAlloc = SceneTest;

TEST_F(SceneAlloc, FramesAllocateNothing) {
  const std::string props = writeSamplePropFile(64);
  setPropFilePaths(props.c_str(), props.c_str());
  makeScene(4242);
  // Warm up: the driver compiles its pipelines for the first frames' states.
  for (int n = 0; n < 40; ++n) {
    setTime(n * 0.1);
    scene->renderFrame(n % 7 == 0 ? 0u : kFrameWordMirrors);
  }
  allocations = 0;
  counting = true;
  for (int n = 40; n < 1240; ++n) {
    setTime(n * 0.1);
    if (n == 600) scene->chooseMirrorSet(true);
    scene->renderFrame(n % 7 == 0 ? 0u : kFrameWordMirrors);
  }
  counting = false;
  EXPECT_EQ(allocations.load(), 0);
  // The counter does count: the set-up of a scene allocates.
  counting = true;
  MirrorScene* another = new MirrorScene();
  counting = false;
  delete another;
  EXPECT_GT(allocations.load(), 0);
}

}  // namespace
