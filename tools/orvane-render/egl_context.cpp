#include "egl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstring>

namespace {

EGLDisplay surfacelessDisplay() {
  const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (clientExtensions == nullptr || std::strstr(clientExtensions, "EGL_MESA_platform_surfaceless") == nullptr) {
    return EGL_NO_DISPLAY;
  }
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) return EGL_NO_DISPLAY;
  return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

}  // namespace

namespace {

bool create(HeadlessGl* gl, int32_t width, int32_t height, bool es) {
  *gl = HeadlessGl();
  if (width <= 0 || height <= 0) return false;
  EGLDisplay display = surfacelessDisplay();
  if (display == EGL_NO_DISPLAY) return false;
  EGLint major = 0, minor = 0;
  if (!eglInitialize(display, &major, &minor)) return false;
  if (!eglBindAPI(es ? EGL_OPENGL_ES_API : EGL_OPENGL_API)) {
    eglTerminate(display);
    return false;
  }
  const EGLint renderable = es ? EGL_OPENGL_ES3_BIT : EGL_OPENGL_BIT;
  const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, renderable,
                                     EGL_RED_SIZE,     8,               EGL_GREEN_SIZE,      8,
                                     EGL_BLUE_SIZE,    8,               EGL_ALPHA_SIZE,      8,
                                     EGL_DEPTH_SIZE,   16,              EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1) {
    eglTerminate(display);
    return false;
  }
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
  if (surface == EGL_NO_SURFACE) {
    eglTerminate(display);
    return false;
  }
  // A compatibility profile: display lists, clip planes and immediate mode.
  const EGLint esAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, es ? esAttributes : nullptr);
  if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, surface, surface, context)) {
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    eglDestroySurface(display, surface);
    eglTerminate(display);
    return false;
  }
  gl->display = display;
  gl->surface = surface;
  gl->context = context;
  gl->config = config;
  gl->width = width;
  gl->height = height;
  gl->es = es;
  return true;
}

}  // namespace

bool headlessGlCreate(HeadlessGl* gl, int32_t width, int32_t height) { return create(gl, width, height, false); }
bool headlessGlesCreate(HeadlessGl* gl, int32_t width, int32_t height) { return create(gl, width, height, true); }

bool headlessGlMakeCurrent(const HeadlessGl& gl) {
  return gl.display && eglBindAPI(gl.es ? EGL_OPENGL_ES_API : EGL_OPENGL_API) &&
         eglMakeCurrent(gl.display, gl.surface, gl.surface, gl.context);
}

bool headlessGlResize(HeadlessGl* gl, int32_t width, int32_t height) {
  if (gl->display == nullptr || width <= 0 || height <= 0) return false;
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  EGLSurface surface = eglCreatePbufferSurface(gl->display, gl->config, surfaceAttributes);
  if (surface == EGL_NO_SURFACE) return false;
  if (!eglMakeCurrent(gl->display, surface, surface, gl->context)) {
    eglDestroySurface(gl->display, surface);
    return false;
  }
  eglDestroySurface(gl->display, gl->surface);
  gl->surface = surface;
  gl->width = width;
  gl->height = height;
  return true;
}

void headlessGlDestroy(HeadlessGl* gl) {
  if (gl->display == nullptr) return;
  EGLDisplay display = gl->display;
  eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (gl->context) eglDestroyContext(display, gl->context);
  if (gl->surface) eglDestroySurface(display, gl->surface);
  eglTerminate(display);
  eglReleaseThread();
  *gl = HeadlessGl();
}

void headlessGlSwap(HeadlessGl* gl) {
  if (gl->display) eglSwapBuffers(gl->display, gl->surface);
}

void headlessGlRead(const HeadlessGl& gl, bool frontBuffer, std::vector<uint8_t>* rgba) {
  const size_t rowBytes = static_cast<size_t>(gl.width) * 4;
  rgba->assign(rowBytes * static_cast<size_t>(gl.height), 0);
  if (gl.width <= 0 || gl.height <= 0) return;
  std::vector<uint8_t> bottomUp(rgba->size());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(frontBuffer ? GL_FRONT : GL_BACK);
  glReadPixels(0, 0, gl.width, gl.height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  for (int32_t y = 0; y < gl.height; ++y) {
    std::memcpy(rgba->data() + static_cast<size_t>(y) * rowBytes,
                bottomUp.data() + static_cast<size_t>(gl.height - 1 - y) * rowBytes, rowBytes);
  }
}
