// The one owner of the saver's windows, their device and rendering contexts and scenes.
#include "host/win32/win32_host.h"
#include "scene/mirror_scene.h"

namespace {

// Releases what a surface holds: its scene destroyed with its context current (by its
// drawing thread, which ends first, or here), no context current, the device context
// released, the context deleted. The window is left as it is.
void releaseSurface(SaverSurface* surface) {
  StopSurfaceThread(surface);
  if (surface->scene != nullptr) {
    if (surface->renderContext != nullptr && wglGetCurrentContext() != surface->renderContext)
      wglMakeCurrent(surface->deviceContext, surface->renderContext);
    if (surface->scene == saverScene) saverScene = nullptr;
    surface->scene->destroy();
    delete surface->scene;
  }
  if (surface->renderContext != nullptr && wglGetCurrentContext() == surface->renderContext)
    wglMakeCurrent(nullptr, nullptr);
  if (surface->deviceContext != nullptr) ReleaseDC(surface->window, surface->deviceContext);
  if (surface->renderContext != nullptr) wglDeleteContext(surface->renderContext);
  if (surface->window == saverWindow) saverWindow = nullptr;
  *surface = SaverSurface{};
}

}  // namespace

SaverSurface* SaverSurfaceSet::find(HWND window) {
  if (window == nullptr) return nullptr;
  for (int32_t i = 0; i < count_; ++i) {
    if (surfaces_[i].window == window) return &surfaces_[i];
  }
  return nullptr;
}

SaverSurface* SaverSurfaceSet::add(HWND window, const ScreenRect& area) {
  if (count_ >= kMaxSaverWindows) return nullptr;
  SaverSurface* surface = &surfaces_[count_++];
  *surface = SaverSurface{window, area, nullptr, nullptr, nullptr, nullptr};
  return surface;
}

bool SaverSurfaceSet::forget(HWND window) {
  for (int32_t i = 0; i < count_; ++i) {
    if (surfaces_[i].window != window) continue;
    releaseSurface(&surfaces_[i]);
    for (int32_t j = i + 1; j < count_; ++j) surfaces_[j - 1] = surfaces_[j];
    surfaces_[--count_] = SaverSurface{};
    break;
  }
  return count_ == 0;
}

void SaverSurfaceSet::destroyWindow(HWND window, bool keepQuit) {
  // Its thread finishes its frame and destroys its scene while the window is still there.
  if (SaverSurface* surface = find(window)) StopSurfaceThread(surface);
  DestroyWindow(window);
  // A window destroyed on another path (or before its WM_DESTROY reached us) is forgotten here.
  forget(window);
  if (keepQuit) return;
  MSG quit;
  while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

void SaverSurfaceSet::destroyAll(HWND primary) {
  for (int32_t i = count_ - 1; i >= 0; --i) {
    if (i < count_ && surfaces_[i].window != primary) destroyWindow(surfaces_[i].window, true);
  }
  destroyWindow(primary, true);
}

void SaverSurfaceSet::releaseAll() {
  while (count_ > 0) forget(surfaces_[count_ - 1].window);
}
