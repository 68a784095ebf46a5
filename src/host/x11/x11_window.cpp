// The Linux module's window and its GLX context.
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>
#include <cstring>

#include "host/x11/x11_host.h"

namespace {

std::string hexId(unsigned long id) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%lx", id);
  return text;
}

// True when the visual can carry a double-buffered RGBA GLX context.
bool doubleBufferedRgba(Display* display, XVisualInfo* info) {
  int useGl = 0, rgba = 0, doubleBuffer = 0;
  return glXGetConfig(display, info, GLX_USE_GL, &useGl) == 0 && useGl &&
         glXGetConfig(display, info, GLX_RGBA, &rgba) == 0 && rgba &&
         glXGetConfig(display, info, GLX_DOUBLEBUFFER, &doubleBuffer) == 0 && doubleBuffer;
}

// The module's own window: a double-buffered RGBA visual with a depth buffer, as the
// headless renderer has, so both show the same picture.
bool makeOwnWindow(Display* display, const ModuleOptions& o, ModuleWindowState* s, XVisualInfo** info,
                   std::string* error) {
  const int screen = DefaultScreen(display);
  int full[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                GLX_DEPTH_SIZE, 16, None};
  int plain[] = {GLX_RGBA, GLX_DOUBLEBUFFER, None};
  *info = glXChooseVisual(display, screen, full);
  if (*info == nullptr) *info = glXChooseVisual(display, screen, plain);
  if (*info == nullptr) {
    *error = "the X server offers no double-buffered RGBA OpenGL visual";
    return false;
  }
  const Window root = RootWindow(display, screen);
  s->colormap = XCreateColormap(display, root, (*info)->visual, AllocNone);
  XSetWindowAttributes attributes{};
  attributes.colormap = s->colormap;
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.border_pixel = 0;
  attributes.event_mask = KeyPressMask | ButtonPressMask | StructureNotifyMask | ExposureMask;
  s->window = XCreateWindow(display, root, o.x, o.y, unsigned(o.width), unsigned(o.height), 0, (*info)->depth,
                            InputOutput, (*info)->visual, CWColormap | CWBackPixel | CWBorderPixel | CWEventMask,
                            &attributes);
  s->own = true;
  s->width = o.width;
  s->height = o.height;

  XSizeHints hints{};
  hints.flags = PSize | (o.positionGiven ? (USPosition | PPosition) : 0);
  hints.x = o.x;
  hints.y = o.y;
  hints.width = o.width;
  hints.height = o.height;
  XClassHint classHint{};
  char resName[] = "orvane";
  char resClass[] = "Orvane";
  classHint.res_name = resName;
  classHint.res_class = resClass;
  char title[] = "Orvane";
  XTextProperty name{};
  char* titles[] = {title};
  XStringListToTextProperty(titles, 1, &name);
  XSetWMProperties(display, s->window, &name, &name, nullptr, 0, &hints, nullptr, &classHint);
  XFree(name.value);
  s->deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, s->window, &s->deleteWindow, 1);
  XMapRaised(display, s->window);
  return true;
}

// Another client's window (the daemon's, the root window, or one named by id): its size
// and its own visual, which must carry double-buffered GL.
bool useWindow(Display* display, Window window, ModuleWindowState* s, XVisualInfo** info, std::string* error) {
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, window, &attributes)) {
    *error = "there is no window " + hexId(window);
    return false;
  }
  XVisualInfo wanted{};
  wanted.visualid = XVisualIDFromVisual(attributes.visual);
  wanted.screen = XScreenNumberOfScreen(attributes.screen);
  int count = 0;
  *info = XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &wanted, &count);
  if (*info == nullptr || !doubleBufferedRgba(display, *info)) {
    if (*info) XFree(*info);
    *info = nullptr;
    *error = "window " + hexId(window) + " has visual " + hexId(wanted.visualid) +
             ", which offers no double-buffered RGBA OpenGL";
    return false;
  }
  s->window = window;
  s->own = false;
  s->width = attributes.width;
  s->height = attributes.height;
  // Size changes, exposures and the window's end; input stays with the window's owner.
  XSelectInput(display, window, StructureNotifyMask | ExposureMask);
  return true;
}

}  // namespace

bool openModuleWindow(Display* display, const ModuleOptions& o, const char* daemonWindow, ModuleWindowState* s,
                      std::string* error) {
  *s = ModuleWindowState();
  s->display = display;
  XVisualInfo* info = nullptr;
  bool made = false;
  switch (o.window) {
    case ModuleWindow::Own:
      made = makeOwnWindow(display, o, s, &info, error);
      break;
    case ModuleWindow::Root: {
      Window target = DefaultRootWindow(display);
      if (daemonWindow != nullptr) {
        uint32_t id = 0;
        if (!parseWindowId(daemonWindow, &id)) {
          *error = std::string("XSCREENSAVER_WINDOW='") + daemonWindow + "' is not a window id";
          return false;
        }
        target = id;
      }
      made = useWindow(display, target, s, &info, error);
      break;
    }
    case ModuleWindow::Id:
      made = useWindow(display, o.windowId, s, &info, error);
      break;
  }
  if (!made) {
    closeModuleWindow(s, false);
    return false;
  }
  s->context = glXCreateContext(display, info, nullptr, True);
  XFree(info);
  if (s->context == nullptr || !glXMakeCurrent(display, s->window, s->context)) {
    *error = "no OpenGL context on window " + hexId(s->window);
    closeModuleWindow(s, false);
    return false;
  }
  return true;
}

void closeModuleWindow(ModuleWindowState* s, bool windowGone) {
  if (s->display == nullptr) return;
  if (s->context) {
    glXMakeCurrent(s->display, None, nullptr);
    glXDestroyContext(s->display, s->context);
    s->context = nullptr;
  }
  if (s->own && s->window && !windowGone) XDestroyWindow(s->display, s->window);
  if (s->colormap) XFreeColormap(s->display, s->colormap);
  s->window = 0;
  s->colormap = 0;
}

int32_t moduleWindowRefreshHz(Display* display, Window window) {
  int eventBase = 0, errorBase = 0;
  if (!XRRQueryExtension(display, &eventBase, &errorBase)) return 0;
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, window, &attributes)) return 0;
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, attributes.root, attributes.width / 2, attributes.height / 2, &x, &y, &child);
  XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, attributes.root);
  if (resources == nullptr) return 0;
  int32_t hz = 0;
  for (int c = 0; c < resources->ncrtc && hz == 0; ++c) {
    XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, resources->crtcs[c]);
    if (crtc == nullptr) continue;
    const bool under = crtc->mode != 0 && x >= crtc->x && y >= crtc->y && x < crtc->x + int(crtc->width) &&
                       y < crtc->y + int(crtc->height);
    for (int m = 0; under && m < resources->nmode; ++m) {
      const XRRModeInfo& mode = resources->modes[m];
      if (mode.id != crtc->mode) continue;
      // Dots per second over dots per frame; interlaced and double-scanned modes differ.
      double dots = double(mode.hTotal) * double(mode.vTotal);
      if (mode.modeFlags & RR_DoubleScan) dots *= 2;
      if (mode.modeFlags & RR_Interlace) dots /= 2;
      if (dots > 0) hz = int32_t(double(mode.dotClock) / dots + 0.5);
    }
    XRRFreeCrtcInfo(crtc);
  }
  XRRFreeScreenResources(resources);
  return hz;
}

int watchModeChanges(Display* display, Window window) {
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor)) return -1;
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, window, &attributes)) return -1;
  int mask = RRScreenChangeNotifyMask;
  if (major > 1 || (major == 1 && minor >= 2)) mask |= RRCrtcChangeNotifyMask;
  XRRSelectInput(display, attributes.root, mask);
  return eventBase;
}

bool isModeChange(XEvent* event, int eventBase) {
  if (eventBase < 0) return false;
  if (event->type == eventBase + RRScreenChangeNotify) {
    XRRUpdateConfiguration(event);
    return true;
  }
  return event->type == eventBase + RRNotify &&
         reinterpret_cast<const XRRNotifyEvent*>(event)->subtype == RRNotify_CrtcChange;
}

bool setModuleSwapInterval(Display* display, Window window, int interval) {
  const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
  const auto offers = [extensions](const char* name) {
    if (extensions == nullptr) return false;
    const size_t length = std::strlen(name);
    for (const char* p = std::strstr(extensions, name); p != nullptr; p = std::strstr(p + length, name)) {
      if ((p == extensions || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0')) return true;
    }
    return false;
  };
  using ExtCall = void (*)(Display*, GLXDrawable, int);
  using MesaCall = int (*)(unsigned int);
  if (offers("GLX_EXT_swap_control")) {
    const auto call = reinterpret_cast<ExtCall>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT")));
    if (call != nullptr) {
      call(display, window, interval);
      return true;
    }
  }
  if (offers("GLX_MESA_swap_control")) {
    const auto call = reinterpret_cast<MesaCall>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA")));
    if (call != nullptr) return call(static_cast<unsigned int>(interval)) == 0;
  }
  return false;
}
