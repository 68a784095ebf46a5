#pragma once
// The module's on-screen frame-rate line (--fps): one line of text in the bottom-left
// corner, in an X core font turned into GL display lists, drawn after the scene's frame into
// the buffer that frame went to. Only a module run with --fps makes one.
#include <X11/Xlib.h>
#include <GL/gl.h>

class X11FpsOverlay {
 public:
  // Loads the core font `fontName` and makes one display list per printable ASCII character;
  // the module's GL context must be current. When no font loads, returns false and the
  // overlay draws nothing, quietly.
  bool init(Display* display, const char* fontName = "fixed");

  // Draws `text` (characters outside printable ASCII are left out) on a black band in the
  // bottom-left corner of a `width` x `height` drawable, with its own projection; every GL
  // state it changes is restored before it returns. Nothing is drawn for empty text or
  // without a font.
  void draw(const char* text, int width, int height);

  // Deletes the display lists and frees the font; the GL context must still be current.
  void destroy();

  X11FpsOverlay() = default;
  X11FpsOverlay(const X11FpsOverlay&) = delete;
  X11FpsOverlay& operator=(const X11FpsOverlay&) = delete;

 private:
  Display* display_ = nullptr;
  XFontStruct* font_ = nullptr;
  GLuint listBase_ = 0;  // character c is drawn by list listBase_ + c
  int first_ = 0;        // the characters with lists: first_ to last_
  int last_ = 0;
};
