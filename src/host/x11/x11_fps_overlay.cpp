// The module's on-screen frame-rate line.
#include "host/x11/x11_fps_overlay.h"

#include <GL/glx.h>

#include <algorithm>

namespace {
// Printable ASCII: what the frame-rate line is made of.
constexpr int kFirstChar = 32;
constexpr int kLastChar = 126;
// Distance of the band from the corner, and the band's margin around the text, in pixels.
constexpr int kInset = 4;
constexpr int kPad = 2;
// The longest line drawn; the rest is cut off.
constexpr int kMaxChars = 160;
}  // namespace

bool X11FpsOverlay::init(Display* display, const char* fontName) {
  destroy();
  XFontStruct* font = XLoadQueryFont(display, fontName);
  if (font == nullptr) return false;
  // Single-byte fonts only: their characters are numbered by byte.
  const int first = std::max(kFirstChar, static_cast<int>(font->min_char_or_byte2));
  const int last = std::min(kLastChar, static_cast<int>(font->max_char_or_byte2));
  if (font->min_byte1 != 0 || font->max_byte1 != 0 || last < first) {
    XFreeFont(display, font);
    return false;
  }
  // Lists are named base + character code, so that the text's bytes index them directly
  // (the names below `first` stay empty).
  const GLuint base = glGenLists(last + 1);
  if (base == 0) {
    XFreeFont(display, font);
    return false;
  }
  glXUseXFont(font->fid, first, last - first + 1, static_cast<int>(base) + first);
  display_ = display;
  font_ = font;
  listBase_ = base;
  first_ = first;
  last_ = last;
  return true;
}

void X11FpsOverlay::draw(const char* text, int width, int height) {
  if (font_ == nullptr || text == nullptr || width <= 0 || height <= 0) return;
  // Only characters that have a list: any other byte would call an unrelated list.
  char shown[kMaxChars];
  int length = 0;
  for (const char* p = text; *p != '\0' && length < kMaxChars; ++p) {
    const int c = static_cast<unsigned char>(*p);
    if (c >= first_ && c <= last_) shown[length++] = static_cast<char>(c);
  }
  if (length == 0) return;
  const int textWidth = XTextWidth(font_, shown, length);
  const int baseline = kInset + kPad + font_->descent;
  const int top = baseline + font_->ascent + kPad;

  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_TRANSFORM_BIT | GL_VIEWPORT_BIT |
               GL_COLOR_BUFFER_BIT | GL_POLYGON_BIT);
  glMatrixMode(GL_TEXTURE);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glViewport(0, 0, width, height);
  for (GLenum capability : {GL_DEPTH_TEST, GL_LIGHTING, GL_TEXTURE_2D, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_BLEND,
                            GL_ALPHA_TEST, GL_FOG, GL_STENCIL_TEST, GL_SCISSOR_TEST, GL_CULL_FACE, GL_CLIP_PLANE0,
                            GL_CLIP_PLANE1, GL_COLOR_LOGIC_OP, GL_DITHER}) {
    glDisable(capability);
  }
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

  // A black band under the text: legible over bright sprites, and on a frame drawn over the
  // previous picture the old digits do not show through.
  glColor3f(0.0f, 0.0f, 0.0f);
  glRecti(kInset, kInset, kInset + kPad + textWidth + kPad, top);
  // Each character at its place by the font's own widths: a character without pixels (the
  // space) may get an empty list that does not move the raster position on.
  glColor3f(1.0f, 1.0f, 1.0f);
  int x = kInset + kPad;
  for (int i = 0; i < length; ++i) {
    glRasterPos2i(x, baseline);
    glCallList(listBase_ + static_cast<unsigned char>(shown[i]));
    x += XTextWidth(font_, shown + i, 1);
  }

  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_TEXTURE);
  glPopMatrix();
  glPopAttrib();  // also restores the matrix mode
}

void X11FpsOverlay::destroy() {
  if (listBase_ != 0) glDeleteLists(listBase_, last_ + 1);
  if (font_ != nullptr) XFreeFont(display_, font_);
  display_ = nullptr;
  font_ = nullptr;
  listBase_ = 0;
  first_ = 0;
  last_ = 0;
}
