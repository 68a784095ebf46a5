// The drawing thread of one saver window: its context current on it for the thread's whole
// life, its own pacer at its own monitor's refresh, its own swap interval, so that one
// monitor's wait for its vertical blank never delays another's. The window and its
// messages stay with the main thread, which tells the thread what changed (a new size or
// refresh, the power or display state, the end) and wakes it with a thread message.
#include <mutex>
#include <new>

#include "host/frame_loop.h"
#include "host/win32/win32_call_checks.h"
#include "host/win32/win32_frame_pace.h"
#include "host/win32/win32_host.h"
#include "scene/mirror_scene.h"

struct SurfaceThread {
  HANDLE handle = nullptr;
  DWORD id = 0;
  HWND window = nullptr;
  HDC deviceContext = nullptr;
  HGLRC renderContext = nullptr;
  MirrorScene* scene = nullptr;
  // What the main thread asks, under the lock; each change counts up its generation.
  std::mutex lock;
  bool stop = false;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t sizeGeneration = 0;
  DisplayRefresh refresh{0, 0, 0};
  uint32_t refreshGeneration = 0;
};

namespace {

// So many failed wglMakeCurrent or SwapBuffers calls in a row (about a second of frames) and
// the context is taken as lost.
constexpr int32_t kFailuresToGiveUp = 60;

// A thread's turn: its wake-ups and the main thread's orders, one frame of its scene, the
// swap, and the wait for its next turn.
class SurfaceLoop : public FrameLoopHost {
 public:
  SurfaceLoop(SurfaceThread* thread, FramePacer* pacer) : thread_(thread), pacer_(pacer) {}

  EventStep takeEvent() override {
    MSG message;
    // Thread messages only wake the thread: what they bring is in the orders.
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return EventStep::Handled;
    uint32_t sizeGeneration = 0;
    uint32_t refreshGeneration = 0;
    int32_t width = 0;
    int32_t height = 0;
    DisplayRefresh refresh{};
    {
      const std::lock_guard<std::mutex> hold(thread_->lock);
      if (thread_->stop) return EventStep::Stop;
      sizeGeneration = thread_->sizeGeneration;
      refreshGeneration = thread_->refreshGeneration;
      width = thread_->width;
      height = thread_->height;
      refresh = thread_->refresh;
    }
    if (gaveUp_) {
      // Nothing more is drawn with a lost context: the thread waits for its end.
      WaitMessage();
      return EventStep::Handled;
    }
    if (sizeGeneration != sizeSeen_) {
      sizeSeen_ = sizeGeneration;
      if (makeCurrent()) thread_->scene->reshape(width, height);
      return EventStep::Handled;
    }
    const bool saving = savingNow();
    if (refreshGeneration != refreshSeen_ || saving != saving_ || !paced_) {
      refreshSeen_ = refreshGeneration;
      refresh_ = refresh;
      saving_ = saving;
      takePace();
      return EventStep::Handled;
    }
    if (saverDisplayOff || saverDrawingPaused) {
      // Nobody sees a frame, or the picture stands still for a password check: sleep until
      // the main thread wakes this one.
      saverWaitMessage();
      return EventStep::Handled;
    }
    return EventStep::Idle;
  }
  int32_t sceneCount() override { return 1; }
  // The preview draws only while the window it is shown in can be seen.
  bool sceneReady(int32_t) override {
    if (saverMode != SaverMode::Preview) return true;
    HWND root = GetAncestor(thread_->window, GA_ROOT);
    return previewCanBeSeen(IsWindowVisible(thread_->window) != FALSE, root != nullptr && IsIconic(root),
                            cloaked(root));
  }
  bool renderFrame(int32_t) override {
    if (!makeCurrent()) {
      noteFailure();
      return false;
    }
    // The swap interval is set at the window's first frame, not as it is made: a change of
    // layout may make a window and take it away again at once, and under Wine setting the
    // interval on such a window has taken the whole session's windows with it.
    if (intervalSet_ != interval_) {
      intervalSet_ = interval_;
      presentsWait_ = SetCurrentSwapInterval(interval_);
      takePace();  // the period follows whether the presents now wait
    }
    return saverRenderFrame(thread_->scene, frameWordFor(saverSettings ? saverSettings->UseMirrors : 1));
  }
  void swapBuffers(int32_t) override {
    if (saverSwapBuffers(thread_->deviceContext)) {
      failures_ = 0;
    } else {
      noteFailure();
    }
  }
  int64_t nowMicros() override { return saverClockMicros(); }
  // A hidden preview gets no message when it is shown again: it looks four times a second.
  void waitUntil(int64_t deadline) override {
    if (deadline == kNoDeadline && saverMode == SaverMode::Preview) deadline = saverClockMicros() + 250000;
    saverWaitUntil(deadline);
  }

  // The first turn's pace, before any frame: the renderer's cap needs the context current.
  void start() {
    if (makeCurrent()) cap_ = frameCapForRenderer(saverRendererName());
  }

 private:
  bool makeCurrent() {
    if (wglGetCurrentContext() == thread_->renderContext) return true;
    return wglMakeCurrent(thread_->deviceContext, thread_->renderContext) != FALSE;
  }
  void noteFailure() {
    if (++failures_ < kFailuresToGiveUp || gaveUp_) return;
    gaveUp_ = true;
    if (saverSettings != nullptr) PostMessageA(saverSettings->Window, kContextLostMessage, 0, 0);
  }
  // Saver mode follows the power broadcasts the main thread gets; the preview gets none and
  // asks the system, at most four times a second, on the wake-ups it has anyway.
  bool savingNow() {
    if (saverMode != SaverMode::Preview) return saverSavingPower;
    const int64_t now = saverClockMicros();
    if (polled_ && now - lastPoll_ < 250000) return saving_;
    polled_ = true;
    lastPoll_ = now;
    return SystemSavingPower();
  }
  // The pace from this monitor's refresh, the swap interval that saving power asks for,
  // whether the presents wait for it, and the software renderer's cap.
  void takePace() {
    paced_ = true;
    FramePace pace;
    pace.refreshHz = refresh_.hz;
    pace.refreshNumerator = refresh_.numerator;
    pace.refreshDenominator = refresh_.denominator;
    interval_ = saving_ ? savePowerInterval(pace) : 1;
    pace.presentInterval = interval_;
    pace.presentsWaitForRefresh = presentsWait_ && intervalSet_ == interval_;
    pace.maxFps = cap_;
    pacer_->setPeriod(framePeriodMicros(pace));
  }
  // DWMWA_CLOAKED of `window`; 0 where the system has no such attribute (before Windows 8).
  static uint32_t cloaked(HWND window) {
    using AttributeCall = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
    static const AttributeCall attribute = [] {
      HMODULE dwm = LoadLibraryA("dwmapi.dll");
      return orvane::lookUpSystemCall<AttributeCall>(dwm, "DwmGetWindowAttribute");
    }();
    constexpr DWORD kCloaked = 14;  // DWMWA_CLOAKED
    DWORD value = 0;
    if (window == nullptr || attribute == nullptr || attribute(window, kCloaked, &value, sizeof value) != S_OK)
      return 0;
    return value;
  }

  SurfaceThread* thread_;
  FramePacer* pacer_;
  uint32_t sizeSeen_ = 0;
  uint32_t refreshSeen_ = 0;
  DisplayRefresh refresh_{0, 0, 0};
  bool paced_ = false;
  bool saving_ = false;
  bool polled_ = false;
  int64_t lastPoll_ = 0;
  int32_t interval_ = 1;
  int32_t intervalSet_ = 0;  // none yet
  bool presentsWait_ = false;
  int32_t cap_ = 0;
  int32_t failures_ = 0;
  bool gaveUp_ = false;
};

DWORD WINAPI drawSurface(LPVOID parameter) {
  auto* thread = static_cast<SurfaceThread*>(parameter);
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue, for its wake-ups
  FramePacer pacer;
  SurfaceLoop loop(thread, &pacer);
  loop.start();
  runFrameLoop(loop, pacer);
  // The scene goes with its context current, then no context is current here.
  if (wglGetCurrentContext() != thread->renderContext)
    wglMakeCurrent(thread->deviceContext, thread->renderContext);
  thread->scene->destroy();
  delete thread->scene;
  thread->scene = nullptr;
  wglMakeCurrent(nullptr, nullptr);
  ReleaseFrameTimer();
  return 0;
}

void wake(SurfaceThread* thread) {
  // A thread whose queue is not made yet reads the orders before its first wait.
  PostThreadMessageA(thread->id, WM_NULL, 0, 0);
}

}  // namespace

bool StartSurfaceThread(SaverSurface* surface) {
  if (surface->scene == nullptr || surface->renderContext == nullptr || surface->thread != nullptr) return false;
  auto* thread = new (std::nothrow) SurfaceThread();
  if (thread == nullptr) return false;
  thread->window = surface->window;
  thread->deviceContext = surface->deviceContext;
  thread->renderContext = surface->renderContext;
  thread->scene = surface->scene;
  thread->refresh = MonitorRefresh(MonitorFromWindow(surface->window, MONITOR_DEFAULTTOPRIMARY));
  thread->handle = CreateThread(nullptr, 0, drawSurface, thread, 0, &thread->id);
  if (thread->handle == nullptr) {
    delete thread;
    return false;
  }
  surface->thread = thread;
  return true;
}

void StopSurfaceThread(SaverSurface* surface) {
  SurfaceThread* thread = surface->thread;
  if (thread == nullptr) return;
  const MirrorScene* scene = surface->scene;
  {
    const std::lock_guard<std::mutex> hold(thread->lock);
    thread->stop = true;
  }
  wake(thread);
  // The thread may be sending to a window of this one (a test watching it, the system):
  // those messages are handled while it ends.
  for (;;) {
    const DWORD woken = MsgWaitForMultipleObjects(1, &thread->handle, FALSE, INFINITE, QS_SENDMESSAGE);
    if (woken != WAIT_OBJECT_0 + 1) break;
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  // Whatever ended the wait, the thread's record is freed only once the thread is gone.
  WaitForSingleObject(thread->handle, INFINITE);
  CloseHandle(thread->handle);
  surface->scene = nullptr;  // destroyed by the thread
  if (saverScene == scene) saverScene = nullptr;
  surface->thread = nullptr;
  delete thread;
}

void ResizeSurfaceThread(SaverSurface* surface, int32_t width, int32_t height) {
  if (surface->thread == nullptr) return;
  {
    const std::lock_guard<std::mutex> hold(surface->thread->lock);
    surface->thread->width = width;
    surface->thread->height = height;
    ++surface->thread->sizeGeneration;
  }
  wake(surface->thread);
}

void RetakeSurfaceRefresh(SaverSurface* surface) {
  if (surface->thread == nullptr) return;
  const DisplayRefresh refresh = MonitorRefresh(MonitorFromWindow(surface->window, MONITOR_DEFAULTTOPRIMARY));
  {
    const std::lock_guard<std::mutex> hold(surface->thread->lock);
    surface->thread->refresh = refresh;
    ++surface->thread->refreshGeneration;
  }
  wake(surface->thread);
}

void WakeSurfaceThreads() {
  for (int32_t i = 0; i < saverSurfaces.count(); ++i) {
    if (saverSurfaces[i].thread != nullptr) wake(saverSurfaces[i].thread);
  }
}
