// A stand-in for the screen-saver daemon's side of a module's window, for the module tests.
//   x11_test_window window WIDTH HEIGHT   makes a window at (0, 0) with an OpenGL visual, as
//                                         the daemon does, prints its id and keeps it until
//                                         it is killed
//   x11_test_window close ID              asks window ID to close, as a window manager does
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <GL/glx.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int makeWindow(Display* display, int width, int height) {
  int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                      GLX_DEPTH_SIZE, 16, None};
  XVisualInfo* info = glXChooseVisual(display, DefaultScreen(display), attributes);
  if (info == nullptr) {
    std::fprintf(stderr, "x11_test_window: no OpenGL visual\n");
    return 1;
  }
  const Window root = DefaultRootWindow(display);
  XSetWindowAttributes set{};
  set.colormap = XCreateColormap(display, root, info->visual, AllocNone);
  set.background_pixel = 0;
  set.border_pixel = 0;
  const Window window = XCreateWindow(display, root, 0, 0, unsigned(width), unsigned(height), 0, info->depth,
                                      InputOutput, info->visual, CWColormap | CWBackPixel | CWBorderPixel, &set);
  XStoreName(display, window, "module test window");
  XMapWindow(display, window);
  XSync(display, False);
  std::printf("0x%lx\n", window);
  std::fflush(stdout);
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
  }
}

int askToClose(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "x11_test_window: no display\n");
    return 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "window") == 0) return makeWindow(display, std::atoi(argv[2]), std::atoi(argv[3]));
  if (argc == 3 && std::strcmp(argv[1], "close") == 0) {
    return askToClose(display, static_cast<Window>(std::strtoul(argv[2], nullptr, 0)));
  }
  std::fprintf(stderr, "usage: x11_test_window window WIDTH HEIGHT | close ID\n");
  return 2;
}
