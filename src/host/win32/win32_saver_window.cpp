// The saver window: class, window, OpenGL context, scene, frame loop and tear-down.
#include <new>

#include "host/frame_loop.h"
#include "host/win32/win32_host.h"
#include "host/win32/win32_prop_search.h"
#include "scene/mirror_scene.h"

namespace {

void showError(const char* text) { MessageBoxA(nullptr, text, "Error", MB_OK); }

void setSaverRunning(UINT on) {
  UINT previous = 0;  // receives the previous state, which is not used
  saverSystemParametersInfo(SPI_SETSCREENSAVERRUNNING, on, &previous, 0);
}

// Destroys the saver window and takes the quit message of its WM_DESTROY out of the queue
// again, so that nothing shown or run afterwards on this thread is ended by it.
void destroyWithoutQuit(HWND window) {
  DestroyWindow(window);
  MSG quit;
  while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

// A pixel-format failure is reported while the saver window would still be up. In Saver
// mode the message box would take activation, the window procedure would take that as input
// and close the window, and the quit message of WM_DESTROY would end the box's modal loop:
// the report would vanish at once. So the window goes first, its quit message is taken out
// of the queue, and only then the box is shown; it stays until the user dismisses it.
void reportPixelFormatFailure(HWND window, const char* text) {
  if (saverMode == SaverMode::Saver) {
    destroyWithoutQuit(window);
    saverWindow = nullptr;
  }
  showError(text);
  if (saverMode == SaverMode::Saver) setSaverRunning(0);
}

// Sets the pixel format the saver draws with on the window's device context; false (the
// failure reported) when the system has none to offer or refuses it.
bool setSaverPixelFormat(HWND window, HDC deviceContext) {
  PIXELFORMATDESCRIPTOR request{};
  static_assert(sizeof(request) == 40, "the pixel-format request is 40 bytes");
  request.nSize = sizeof(request);
  request.nVersion = 1;
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  request.iPixelType = PFD_TYPE_RGBA;
  request.cColorBits = 32;
  const int format = saverChoosePixelFormat(deviceContext, &request);
  if (format == 0) {
    reportPixelFormatFailure(window, "ChoosePixelFormat() failed:  Cannot find a suitable pixel format.");
    return false;
  }
  if (!saverSetPixelFormat(deviceContext, format, &request)) {
    reportPixelFormatFailure(window, "SetPixelFormat() failed:  Cannot set format specified.");
    return false;
  }
  return true;
}

// The saver window's turn of the frame loop: the thread's messages, its one scene, the
// buffer swap and the ten-millisecond sleep, each through its seam.
class SaverLoop : public FrameLoopHost {
 public:
  explicit SaverLoop(HDC deviceContext) : deviceContext_(deviceContext) {}

  EventStep takeEvent() override {
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return EventStep::Idle;
    if (message.message == WM_QUIT) return EventStep::Stop;
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return EventStep::Handled;
  }
  int32_t sceneCount() override { return 1; }
  bool renderFrame(int32_t) override {
    return saverRenderFrame(saverScene, frameWordFor(saverSettings ? saverSettings->UseMirrors : 1));
  }
  void swapBuffers(int32_t) override { saverSwapBuffers(deviceContext_); }
  void sleep() override { saverSleep(10); }

 private:
  HDC deviceContext_;
};

// Sets the scene up, shows the window and runs the frame loop until the window is gone;
// then the scene is destroyed with its context still current. Without a scene there is
// nothing to draw: the saver ends as if it had been closed.
void runScene(HWND window, HDC deviceContext, int32_t width, int32_t height, int showCommand) {
  // The atlas, built while the scene is set up, takes the first prop file of the places
  // this system has.
  UseSystemPropSearch();
  MirrorScene* scene = new (std::nothrow) MirrorScene();
  if (!scene) {
    destroyWithoutQuit(window);
    return;
  }
  scene->setUp(width, height);
  if (saverSettings) scene->speedPercent = saverSettings->Speed;
  saverScene = scene;
  ShowWindow(window, showCommand);
  SaverLoop loop(deviceContext);
  runFrameLoop(loop);
  saverScene->destroy();
  delete saverScene;
  saverScene = nullptr;
}

}  // namespace

void RunSaverWindow(HWND parent, int showCommand) {
  if (!RegisterSaverClass()) {
    showError("RegisterClass() failed:  Cannot register window class.");
    return;
  }
  int32_t width = 0;
  int32_t height = 0;
  HWND window = CreateSaverWindow(parent, &width, &height);
  if (!window) return;
  saverWindow = window;
  const bool saver = (saverMode == SaverMode::Saver);
  if (saver) setSaverRunning(1);

  HDC deviceContext = GetDC(window);
  if (!setSaverPixelFormat(window, deviceContext)) return;
  HGLRC renderContext = wglCreateContext(deviceContext);
  wglMakeCurrent(deviceContext, renderContext);
  runScene(window, deviceContext, width, height, showCommand);
  wglMakeCurrent(nullptr, nullptr);
  ReleaseDC(window, deviceContext);
  wglDeleteContext(renderContext);
  if (saver) setSaverRunning(0);
  saverWindow = nullptr;
}
