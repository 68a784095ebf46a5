// The fixed-function layer over OpenGL ES 3. The matrix arithmetic follows the order of a
// desktop driver's (float products, GLU's own matrices converted from double), so that the
// same calls land on the same pixels.
#include "gl/fixed_function.h"

#include <GLES3/gl3.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <map>
#include <vector>

namespace ffgl {
namespace {

// OpenGL 1.1 enumerants that ES does not know; the rest are shared with ES.
constexpr Enum kQuads = 0x0007;
constexpr Enum kLighting = 0x0B50;
constexpr Enum kTextureGenS = 0x0C60;
constexpr Enum kTextureGenT = 0x0C61;
constexpr Enum kModelview = 0x1700;
constexpr Enum kProjection = 0x1701;
constexpr Enum kCompile = 0x1300;
constexpr Enum kClipPlane0 = 0x3000;
constexpr Enum kClipPlane1 = 0x3001;
constexpr Enum kProxyTexture2D = 0x8064;
constexpr Enum kTextureWidth = 0x1000;
constexpr Enum kVersion = 0x1F02;
constexpr uint32_t kLightingBit = 0x00000040;
constexpr uint32_t kEnableBit = 0x00002000;

// Column-major 4 x 4, element (row, column) at [column * 4 + row].
struct Matrix {
  float m[16];
};

constexpr Matrix kIdentity{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

// a * b, each element summed in the order a driver sums it.
Matrix multiply(const Matrix& a, const Matrix& b) {
  Matrix p;
  for (int i = 0; i < 4; ++i) {
    const float ai0 = a.m[i], ai1 = a.m[4 + i], ai2 = a.m[8 + i], ai3 = a.m[12 + i];
    for (int j = 0; j < 4; ++j) {
      p.m[j * 4 + i] = ai0 * b.m[j * 4] + ai1 * b.m[j * 4 + 1] + ai2 * b.m[j * 4 + 2] + ai3 * b.m[j * 4 + 3];
    }
  }
  return p;
}

// The inverse (in double, rounded to float); the identity for a singular matrix.
Matrix inverse(const Matrix& a) {
  double s[16], inv[16];
  for (int i = 0; i < 16; ++i) s[i] = a.m[i];
  inv[0] = s[5] * s[10] * s[15] - s[5] * s[11] * s[14] - s[9] * s[6] * s[15] + s[9] * s[7] * s[14] +
           s[13] * s[6] * s[11] - s[13] * s[7] * s[10];
  inv[4] = -s[4] * s[10] * s[15] + s[4] * s[11] * s[14] + s[8] * s[6] * s[15] - s[8] * s[7] * s[14] -
           s[12] * s[6] * s[11] + s[12] * s[7] * s[10];
  inv[8] = s[4] * s[9] * s[15] - s[4] * s[11] * s[13] - s[8] * s[5] * s[15] + s[8] * s[7] * s[13] +
           s[12] * s[5] * s[11] - s[12] * s[7] * s[9];
  inv[12] = -s[4] * s[9] * s[14] + s[4] * s[10] * s[13] + s[8] * s[5] * s[14] - s[8] * s[6] * s[13] -
            s[12] * s[5] * s[10] + s[12] * s[6] * s[9];
  inv[1] = -s[1] * s[10] * s[15] + s[1] * s[11] * s[14] + s[9] * s[2] * s[15] - s[9] * s[3] * s[14] -
           s[13] * s[2] * s[11] + s[13] * s[3] * s[10];
  inv[5] = s[0] * s[10] * s[15] - s[0] * s[11] * s[14] - s[8] * s[2] * s[15] + s[8] * s[3] * s[14] +
           s[12] * s[2] * s[11] - s[12] * s[3] * s[10];
  inv[9] = -s[0] * s[9] * s[15] + s[0] * s[11] * s[13] + s[8] * s[1] * s[15] - s[8] * s[3] * s[13] -
           s[12] * s[1] * s[11] + s[12] * s[3] * s[9];
  inv[13] = s[0] * s[9] * s[14] - s[0] * s[10] * s[13] - s[8] * s[1] * s[14] + s[8] * s[2] * s[13] +
            s[12] * s[1] * s[10] - s[12] * s[2] * s[9];
  inv[2] = s[1] * s[6] * s[15] - s[1] * s[7] * s[14] - s[5] * s[2] * s[15] + s[5] * s[3] * s[14] +
           s[13] * s[2] * s[7] - s[13] * s[3] * s[6];
  inv[6] = -s[0] * s[6] * s[15] + s[0] * s[7] * s[14] + s[4] * s[2] * s[15] - s[4] * s[3] * s[14] -
           s[12] * s[2] * s[7] + s[12] * s[3] * s[6];
  inv[10] = s[0] * s[5] * s[15] - s[0] * s[7] * s[13] - s[4] * s[1] * s[15] + s[4] * s[3] * s[13] +
            s[12] * s[1] * s[7] - s[12] * s[3] * s[5];
  inv[14] = -s[0] * s[5] * s[14] + s[0] * s[6] * s[13] + s[4] * s[1] * s[14] - s[4] * s[2] * s[13] -
            s[12] * s[1] * s[6] + s[12] * s[2] * s[5];
  inv[3] = -s[1] * s[6] * s[11] + s[1] * s[7] * s[10] + s[5] * s[2] * s[11] - s[5] * s[3] * s[10] -
           s[9] * s[2] * s[7] + s[9] * s[3] * s[6];
  inv[7] = s[0] * s[6] * s[11] - s[0] * s[7] * s[10] - s[4] * s[2] * s[11] + s[4] * s[3] * s[10] +
           s[8] * s[2] * s[7] - s[8] * s[3] * s[6];
  inv[11] = -s[0] * s[5] * s[11] + s[0] * s[7] * s[9] + s[4] * s[1] * s[11] - s[4] * s[3] * s[9] -
            s[8] * s[1] * s[7] + s[8] * s[3] * s[5];
  inv[15] = s[0] * s[5] * s[10] - s[0] * s[6] * s[9] - s[4] * s[1] * s[10] + s[4] * s[2] * s[9] +
            s[8] * s[1] * s[6] - s[8] * s[2] * s[5];
  const double det = s[0] * inv[0] + s[1] * inv[4] + s[2] * inv[8] + s[3] * inv[12];
  if (det == 0.0) return kIdentity;
  Matrix r;
  for (int i = 0; i < 16; ++i) r.m[i] = static_cast<float>(inv[i] / det);
  return r;
}

// One vertex as the shaders take it: clip-space position, colour, texture coordinate and
// the signed distances to the two clip planes (eye space).
struct Vertex {
  float position[4];
  float colour[4];
  float texCoord[2];
  float clip[2];
};

// One draw of the batch.
struct Draw {
  GLenum mode;
  GLint first;
  GLsizei count;
};

// The commands a display list holds, with their arguments.
enum class Op : uint8_t {
  kBegin, kEnd, kVertex, kColour, kTexCoord, kMatrixMode, kLoadIdentity, kPushMatrix, kPopMatrix,
  kRotate, kScale, kTranslate, kClipPlane, kEnable, kDisable, kBindTexture,
};
struct Command {
  Op op;
  uint32_t word;
  double a[4];
};

// The enables the layer keeps, and whether ES holds them too.
struct Cap {
  Enum name;
  bool es;
};
constexpr Cap kCaps[] = {{GL_BLEND, true},        {GL_CULL_FACE, true}, {GL_DEPTH_TEST, true},
                         {GL_TEXTURE_2D, false},   {kClipPlane0, false}, {kClipPlane1, false},
                         {kLighting, false},       {kTextureGenS, false}, {kTextureGenT, false}};
constexpr int kCapCount = sizeof kCaps / sizeof kCaps[0];
// Where the enables the layer itself acts on are kept.
constexpr int kTexture2DCap = 3;
constexpr int kClip0Cap = 4;
constexpr int kClip1Cap = 5;

constexpr int kMaxModelviewDepth = 32;
constexpr int kMaxProjectionDepth = 4;
constexpr int kMaxAttribDepth = 16;

const char* const kVertexShader =
    "#version 300 es\n"
    "in vec4 aPosition; in vec4 aColour; in vec2 aTexCoord; in vec2 aClip;\n"
    "out vec4 vColour; out vec2 vTexCoord; out vec2 vClip;\n"
    "void main() { gl_Position = aPosition; vColour = aColour; vTexCoord = aTexCoord; vClip = aClip; }\n";

// A fragment of a line outside an enabled clip plane (negative distance) is discarded (the
// triangles come cut already); the texture modulates the colour.
const char* const kFragmentShader =
    "#version 300 es\n"
    "precision highp float;\n"
    "uniform sampler2D uTexture; uniform bool uTexturing; uniform bvec2 uClipping;\n"
    "in vec4 vColour; in vec2 vTexCoord; in vec2 vClip;\n"
    "out vec4 fragColour;\n"
    "void main() {\n"
    "  if ((uClipping.x && vClip.x < 0.0) || (uClipping.y && vClip.y < 0.0)) discard;\n"
    "  vec4 c = vColour;\n"
    "  if (uTexturing) c *= texture(uTexture, vTexCoord);\n"
    "  fragColour = c;\n"
    "}\n";

struct State {
  bool ready = false;
  GLuint program = 0, vertexArray = 0, buffer = 0;
  GLint texturingAt = -1, clippingAt = -1;
  GLint maxTextureSize = 0;

  std::vector<Matrix> modelview{kIdentity};
  std::vector<Matrix> projection{kIdentity};
  Enum matrixMode = kModelview;

  float colour[4] = {1, 1, 1, 1};
  float texCoord[2] = {0, 0};
  float clipPlanes[2][4] = {};  // eye space
  bool enabled[kCapCount] = {};
  std::vector<uint32_t> attribMasks;
  std::vector<std::vector<bool>> attribEnables;
  GLuint boundTexture = 0;
  GLint proxyWidth = 0;

  // Between Begin and End: the primitive and its vertices so far.
  Enum primitive = 0;
  bool inPrimitive = false;
  std::vector<Vertex> primitiveVertices;
  // The batch: vertices and draws not yet handed to ES, drawn with the state of now.
  std::vector<Vertex> batch;
  std::vector<Draw> draws;
  // The matrix product vertices are transformed by, while the matrices stay.
  bool mvpValid = false;
  Matrix mvp = kIdentity;

  std::map<uint32_t, std::vector<Command>> lists;
  bool compiling = false;
  uint32_t compilingList = 0;
  std::vector<Command> recording;
};

State& state() {
  static State s;
  return s;
}

GLuint compileShader(GLenum type, const char* source) {
  const GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  return shader;
}

// Makes the program, the stream buffer and its layout in the current context, once.
void ensureReady() {
  State& s = state();
  if (s.ready) return;
  s.ready = true;
  s.program = glCreateProgram();
  const GLuint vs = compileShader(GL_VERTEX_SHADER, kVertexShader);
  const GLuint fs = compileShader(GL_FRAGMENT_SHADER, kFragmentShader);
  glAttachShader(s.program, vs);
  glAttachShader(s.program, fs);
  glBindAttribLocation(s.program, 0, "aPosition");
  glBindAttribLocation(s.program, 1, "aColour");
  glBindAttribLocation(s.program, 2, "aTexCoord");
  glBindAttribLocation(s.program, 3, "aClip");
  glLinkProgram(s.program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  glUseProgram(s.program);
  glUniform1i(glGetUniformLocation(s.program, "uTexture"), 0);
  s.texturingAt = glGetUniformLocation(s.program, "uTexturing");
  s.clippingAt = glGetUniformLocation(s.program, "uClipping");
  glGenVertexArrays(1, &s.vertexArray);
  glBindVertexArray(s.vertexArray);
  glGenBuffers(1, &s.buffer);
  glBindBuffer(GL_ARRAY_BUFFER, s.buffer);
  const GLsizei stride = sizeof(Vertex);
  glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(Vertex, position)));
  glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(Vertex, colour)));
  glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(Vertex, texCoord)));
  glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(Vertex, clip)));
  for (GLuint i = 0; i < 4; ++i) glEnableVertexAttribArray(i);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &s.maxTextureSize);
}

// Hands the batch to ES with the state of now.
void flushBatch() {
  State& s = state();
  if (s.draws.empty()) return;
  ensureReady();
  glUseProgram(s.program);
  glBindVertexArray(s.vertexArray);
  glBindBuffer(GL_ARRAY_BUFFER, s.buffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.batch.size() * sizeof(Vertex)), s.batch.data(),
               GL_STREAM_DRAW);
  // The default texture holds no image: texturing with it is as texturing off.
  glUniform1i(s.texturingAt, s.enabled[kTexture2DCap] && s.boundTexture != 0);
  glUniform2i(s.clippingAt, s.enabled[kClip0Cap], s.enabled[kClip1Cap]);
  for (const Draw& d : s.draws) glDrawArrays(d.mode, d.first, d.count);
  s.batch.clear();
  s.draws.clear();
}

int capIndex(Enum cap) {
  for (int i = 0; i < kCapCount; ++i) {
    if (kCaps[i].name == cap) return i;
  }
  return -1;
}

Matrix& top() {
  State& s = state();
  return s.matrixMode == kProjection ? s.projection.back() : s.modelview.back();
}

// Multiplies the current matrix by m on the right.
void multiplyTop(const Matrix& m) {
  Matrix& t = top();
  t = multiply(t, m);
  state().mvpValid = false;
}

bool record(Op op, uint32_t word = 0, double a0 = 0, double a1 = 0, double a2 = 0, double a3 = 0) {
  State& s = state();
  if (!s.compiling) return false;
  s.recording.push_back(Command{op, word, {a0, a1, a2, a3}});
  return true;
}

// Sets an enable, handing those ES holds to ES; a change ends the batch.
void setCap(Enum cap, bool on) {
  State& s = state();
  const int i = capIndex(cap);
  if (i < 0 || s.enabled[i] == on) return;
  flushBatch();
  s.enabled[i] = on;
  if (kCaps[i].es) {
    if (on) glEnable(cap); else glDisable(cap);
  }
}

void emitVertex(float x, float y, float z) {
  State& s = state();
  if (!s.inPrimitive) return;
  if (!s.mvpValid) {
    s.mvp = multiply(s.projection.back(), s.modelview.back());
    s.mvpValid = true;
  }
  const Matrix& p = s.mvp;
  const Matrix& mv = s.modelview.back();
  Vertex v;
  for (int r = 0; r < 4; ++r) v.position[r] = p.m[r] * x + p.m[4 + r] * y + p.m[8 + r] * z + p.m[12 + r];
  float eye[4];
  for (int r = 0; r < 4; ++r) eye[r] = mv.m[r] * x + mv.m[4 + r] * y + mv.m[8 + r] * z + mv.m[12 + r];
  for (int k = 0; k < 2; ++k) {
    const float* e = s.clipPlanes[k];
    v.clip[k] = e[0] * eye[0] + e[1] * eye[1] + e[2] * eye[2] + e[3] * eye[3];
  }
  std::memcpy(v.colour, s.colour, sizeof v.colour);
  std::memcpy(v.texCoord, s.texCoord, sizeof v.texCoord);
  s.primitiveVertices.push_back(v);
}

// The polygon's part on the plane's side (distance >= 0), cut where an edge crosses it, every
// attribute interpolated in clip space, as a driver clips.
void clipPolygon(std::vector<Vertex>* polygon, int plane, std::vector<Vertex>* scratch) {
  scratch->clear();
  const size_t n = polygon->size();
  for (size_t i = 0; i < n; ++i) {
    const Vertex& a = (*polygon)[i];
    const Vertex& b = (*polygon)[(i + 1) % n];
    const float da = a.clip[plane], db = b.clip[plane];
    if (da >= 0.0f) scratch->push_back(a);
    if ((da >= 0.0f) == (db >= 0.0f)) continue;
    // From the inside end towards the outside one.
    const Vertex& in = da >= 0.0f ? a : b;
    const Vertex& out = da >= 0.0f ? b : a;
    const float t = in.clip[plane] / (in.clip[plane] - out.clip[plane]);
    Vertex v;
    const float* p = &in.position[0];
    const float* q = &out.position[0];
    float* r = &v.position[0];
    for (size_t k = 0; k < sizeof(Vertex) / sizeof(float); ++k) r[k] = p[k] + t * (q[k] - p[k]);
    scratch->push_back(v);
  }
  polygon->swap(*scratch);
}

// Appends the finished primitive to the batch: quads as triangles, counter-clockwise as given,
// cut to the enabled clip planes here (so what lies outside is never rasterised); a line loop
// as it is, its fragments outside an enabled plane discarded.
void endPrimitive() {
  State& s = state();
  std::vector<Vertex>& in = s.primitiveVertices;
  const GLint first = static_cast<GLint>(s.batch.size());
  if (s.primitive == kQuads) {
    const bool clipping[2] = {s.enabled[kClip0Cap], s.enabled[kClip1Cap]};
    std::vector<Vertex> polygon, scratch;
    for (size_t q = 0; q + 4 <= in.size(); q += 4) {
      if (!clipping[0] && !clipping[1]) {
        const size_t order[6] = {q, q + 1, q + 2, q, q + 2, q + 3};
        for (size_t k : order) s.batch.push_back(in[k]);
        continue;
      }
      polygon.assign(in.begin() + static_cast<std::ptrdiff_t>(q), in.begin() + static_cast<std::ptrdiff_t>(q + 4));
      for (int plane = 0; plane < 2; ++plane) {
        if (clipping[plane]) clipPolygon(&polygon, plane, &scratch);
      }
      for (Vertex& v : polygon) v.clip[0] = v.clip[1] = 1.0f;  // inside: nothing to discard
      for (size_t k = 1; k + 1 < polygon.size(); ++k) {
        s.batch.push_back(polygon[0]);
        s.batch.push_back(polygon[k]);
        s.batch.push_back(polygon[k + 1]);
      }
    }
    const GLsizei count = static_cast<GLsizei>(s.batch.size()) - first;
    if (count == 0) return;
    if (!s.draws.empty() && s.draws.back().mode == GL_TRIANGLES &&
        s.draws.back().first + s.draws.back().count == first) {
      s.draws.back().count += count;  // one draw for the quads in a row
    } else {
      s.draws.push_back(Draw{GL_TRIANGLES, first, count});
    }
  } else if (s.primitive == GL_LINE_LOOP && in.size() >= 2) {
    s.batch.insert(s.batch.end(), in.begin(), in.end());
    s.draws.push_back(Draw{GL_LINE_LOOP, first, static_cast<GLsizei>(in.size())});
  }
}

}  // namespace

void Begin(Enum mode) {
  if (record(Op::kBegin, mode)) return;
  State& s = state();
  s.primitive = mode;
  s.inPrimitive = true;
  s.primitiveVertices.clear();
}

void End() {
  if (record(Op::kEnd)) return;
  State& s = state();
  if (!s.inPrimitive) return;
  s.inPrimitive = false;
  endPrimitive();
}

void Vertex2f(float x, float y) { Vertex3f(x, y, 0.0f); }

void Vertex3f(float x, float y, float z) {
  if (record(Op::kVertex, 0, x, y, z)) return;
  emitVertex(x, y, z);
}

void Color3f(float r, float g, float b) { Color4f(r, g, b, 1.0f); }

void Color4f(float r, float g, float b, float a) {
  if (record(Op::kColour, 0, r, g, b, a)) return;
  float* c = state().colour;
  c[0] = r, c[1] = g, c[2] = b, c[3] = a;
}

void TexCoord2f(float s, float t) {
  if (record(Op::kTexCoord, 0, s, t)) return;
  state().texCoord[0] = s;
  state().texCoord[1] = t;
}

void MatrixMode(Enum mode) {
  if (record(Op::kMatrixMode, mode)) return;
  if (mode == kModelview || mode == kProjection) state().matrixMode = mode;
}

void LoadIdentity() {
  if (record(Op::kLoadIdentity)) return;
  top() = kIdentity;
  state().mvpValid = false;
}

void PushMatrix() {
  if (record(Op::kPushMatrix)) return;
  State& s = state();
  std::vector<Matrix>& stack = s.matrixMode == kProjection ? s.projection : s.modelview;
  const size_t limit = s.matrixMode == kProjection ? kMaxProjectionDepth : kMaxModelviewDepth;
  if (stack.size() < limit) stack.push_back(stack.back());
}

void PopMatrix() {
  if (record(Op::kPopMatrix)) return;
  State& s = state();
  std::vector<Matrix>& stack = s.matrixMode == kProjection ? s.projection : s.modelview;
  if (stack.size() > 1) stack.pop_back();
  s.mvpValid = false;
}

void Rotatef(float angle, float x, float y, float z) {
  if (record(Op::kRotate, 0, angle, x, y, z)) return;
  const float s = static_cast<float>(std::sin(angle * M_PI / 180.0));
  const float c = static_cast<float>(std::cos(angle * M_PI / 180.0));
  Matrix m = kIdentity;
  if (x == 0.0f && y == 0.0f && z != 0.0f) {
    // About the z axis alone: exact sines and cosines, no normalising.
    m.m[0] = c;
    m.m[5] = c;
    m.m[4] = z < 0.0f ? s : -s;
    m.m[1] = z < 0.0f ? -s : s;
  } else {
    const float mag = std::sqrt(x * x + y * y + z * z);
    if (mag <= 1.0e-4f) return;
    x /= mag, y /= mag, z /= mag;
    const float one = 1.0f - c;
    m.m[0] = one * x * x + c;
    m.m[4] = one * x * y - z * s;
    m.m[8] = one * z * x + y * s;
    m.m[1] = one * x * y + z * s;
    m.m[5] = one * y * y + c;
    m.m[9] = one * y * z - x * s;
    m.m[2] = one * z * x - y * s;
    m.m[6] = one * y * z + x * s;
    m.m[10] = one * z * z + c;
  }
  multiplyTop(m);
}

void Scalef(float x, float y, float z) {
  if (record(Op::kScale, 0, x, y, z)) return;
  float* m = top().m;
  for (int r = 0; r < 4; ++r) {
    m[r] *= x;
    m[4 + r] *= y;
    m[8 + r] *= z;
  }
  state().mvpValid = false;
}

void Translatef(float x, float y, float z) {
  if (record(Op::kTranslate, 0, x, y, z)) return;
  float* m = top().m;
  for (int r = 0; r < 4; ++r) m[12 + r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
  state().mvpValid = false;
}

void Ortho(double left, double right, double bottom, double top, double zNear, double zFar) {
  const float l = static_cast<float>(left), r = static_cast<float>(right);
  const float b = static_cast<float>(bottom), t = static_cast<float>(top);
  const float n = static_cast<float>(zNear), f = static_cast<float>(zFar);
  if (l == r || b == t || n == f) return;
  Matrix m = kIdentity;
  m.m[0] = 2.0f / (r - l);
  m.m[12] = -(r + l) / (r - l);
  m.m[5] = 2.0f / (t - b);
  m.m[13] = -(t + b) / (t - b);
  m.m[10] = -2.0f / (f - n);
  m.m[14] = -(f + n) / (f - n);
  multiplyTop(m);
}

void Perspective(double fovy, double aspect, double zNear, double zFar) {
  const double radians = fovy / 2 * M_PI / 180;
  const double deltaZ = zFar - zNear;
  const double sine = std::sin(radians);
  if (deltaZ == 0 || sine == 0 || aspect == 0) return;
  const double cotangent = std::cos(radians) / sine;
  Matrix m = kIdentity;
  m.m[0] = static_cast<float>(cotangent / aspect);
  m.m[5] = static_cast<float>(cotangent);
  m.m[10] = static_cast<float>(-(zFar + zNear) / deltaZ);
  m.m[11] = -1.0f;
  m.m[14] = static_cast<float>(-2 * zNear * zFar / deltaZ);
  m.m[15] = 0.0f;
  multiplyTop(m);
}

void LookAt(double eyeX, double eyeY, double eyeZ, double centreX, double centreY, double centreZ, double upX,
            double upY, double upZ) {
  float forward[3] = {static_cast<float>(centreX - eyeX), static_cast<float>(centreY - eyeY),
                      static_cast<float>(centreZ - eyeZ)};
  float up[3] = {static_cast<float>(upX), static_cast<float>(upY), static_cast<float>(upZ)};
  auto normalise = [](float* v) {
    const float r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (r == 0.0f) return;
    v[0] /= r, v[1] /= r, v[2] /= r;
  };
  auto cross = [](const float* a, const float* b, float* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
  };
  normalise(forward);
  float side[3];
  cross(forward, up, side);
  normalise(side);
  cross(side, forward, up);
  Matrix m = kIdentity;
  m.m[0] = side[0], m.m[4] = side[1], m.m[8] = side[2];
  m.m[1] = up[0], m.m[5] = up[1], m.m[9] = up[2];
  m.m[2] = -forward[0], m.m[6] = -forward[1], m.m[10] = -forward[2];
  multiplyTop(m);
  Translatef(static_cast<float>(-eyeX), static_cast<float>(-eyeY), static_cast<float>(-eyeZ));
}

// The plane is kept in eye space: carried by the inverse of the modelview matrix at the time
// of the call, so a replayed list's plane turns with the matrix of its replay.
void ClipPlane(Enum plane, const double* e) {
  if (record(Op::kClipPlane, plane, e[0], e[1], e[2], e[3])) return;
  if (plane != kClipPlane0 && plane != kClipPlane1) return;
  State& s = state();
  const Matrix inv = inverse(s.modelview.back());
  const float v[4] = {static_cast<float>(e[0]), static_cast<float>(e[1]), static_cast<float>(e[2]),
                      static_cast<float>(e[3])};
  float* out = s.clipPlanes[plane - kClipPlane0];
  for (int c = 0; c < 4; ++c) {
    out[c] = v[0] * inv.m[c * 4] + v[1] * inv.m[c * 4 + 1] + v[2] * inv.m[c * 4 + 2] + v[3] * inv.m[c * 4 + 3];
  }
}

void Enable(Enum cap) {
  if (record(Op::kEnable, cap)) return;
  setCap(cap, true);
}

void Disable(Enum cap) {
  if (record(Op::kDisable, cap)) return;
  setCap(cap, false);
}

// The enable bit saves every enable the layer keeps; the lighting bit, lighting's.
void PushAttrib(uint32_t mask) {
  State& s = state();
  if (s.attribMasks.size() >= kMaxAttribDepth) return;
  s.attribMasks.push_back(mask);
  s.attribEnables.emplace_back(s.enabled, s.enabled + kCapCount);
}

void PopAttrib() {
  State& s = state();
  if (s.attribMasks.empty()) return;
  const uint32_t mask = s.attribMasks.back();
  const std::vector<bool> saved = s.attribEnables.back();
  s.attribMasks.pop_back();
  s.attribEnables.pop_back();
  for (int i = 0; i < kCapCount; ++i) {
    const bool restore = (mask & kEnableBit) != 0 || ((mask & kLightingBit) != 0 && kCaps[i].name == kLighting);
    if (restore) setCap(kCaps[i].name, saved[static_cast<size_t>(i)]);
  }
}

void NewList(uint32_t list, Enum mode) {
  State& s = state();
  if (s.compiling || list == 0 || mode != kCompile) return;
  s.compiling = true;
  s.compilingList = list;
  s.recording.clear();
}

void EndList() {
  State& s = state();
  if (!s.compiling) return;
  s.compiling = false;
  s.lists[s.compilingList].swap(s.recording);
}

// Replays the list through the calls it recorded, so each acts on the state of the replay.
void CallList(uint32_t list) {
  State& s = state();
  if (s.compiling) return;
  const auto found = s.lists.find(list);
  if (found == s.lists.end()) return;
  for (const Command& c : found->second) {
    const auto f = [&c](int i) { return static_cast<float>(c.a[i]); };
    switch (c.op) {
      case Op::kBegin: Begin(c.word); break;
      case Op::kEnd: End(); break;
      case Op::kVertex: Vertex3f(f(0), f(1), f(2)); break;
      case Op::kColour: Color4f(f(0), f(1), f(2), f(3)); break;
      case Op::kTexCoord: TexCoord2f(f(0), f(1)); break;
      case Op::kMatrixMode: MatrixMode(c.word); break;
      case Op::kLoadIdentity: LoadIdentity(); break;
      case Op::kPushMatrix: PushMatrix(); break;
      case Op::kPopMatrix: PopMatrix(); break;
      case Op::kRotate: Rotatef(f(0), f(1), f(2), f(3)); break;
      case Op::kScale: Scalef(f(0), f(1), f(2)); break;
      case Op::kTranslate: Translatef(f(0), f(1), f(2)); break;
      case Op::kClipPlane: ClipPlane(c.word, c.a); break;
      case Op::kEnable: Enable(c.word); break;
      case Op::kDisable: Disable(c.word); break;
      case Op::kBindTexture: BindTexture(GL_TEXTURE_2D, c.word); break;
    }
  }
}

void Viewport(int32_t x, int32_t y, int32_t width, int32_t height) {
  flushBatch();
  glViewport(x, y, width, height);
}

void Clear(uint32_t mask) {
  flushBatch();
  glClear(mask);
}

void ClearColor(float r, float g, float b, float a) { glClearColor(r, g, b, a); }
void ClearDepth(double depth) { glClearDepthf(static_cast<float>(depth)); }
// ES has no front buffer: both buffers name the one drawn to.
void DrawBuffer(Enum) {}
// ES interpolates with perspective correction always.
void Hint(Enum, Enum) {}

void Flush() {
  flushBatch();
  glFlush();
}

void BlendFunc(Enum source, Enum destination) {
  flushBatch();
  glBlendFunc(source, destination);
}

void CullFace(Enum face) {
  flushBatch();
  glCullFace(face);
}

void FrontFace(Enum mode) {
  flushBatch();
  glFrontFace(mode);
}

void DepthFunc(Enum func) {
  flushBatch();
  glDepthFunc(func);
}

void GenTextures(int32_t count, uint32_t* names) {
  ensureReady();
  glGenTextures(count, names);
}

void BindTexture(Enum target, uint32_t name) {
  if (record(Op::kBindTexture, name)) return;
  State& s = state();
  if (s.boundTexture != name) flushBatch();
  s.boundTexture = name;
  glBindTexture(target, name);  // always: a name deleted and made again must be bound afresh
}

// Modulate is the one environment the callers use, and the one the shader blends with.
void TexEnvi(Enum, Enum, int32_t) {}

void TexParameteri(Enum target, Enum name, int32_t value) { glTexParameteri(target, name, value); }
void TexParameterf(Enum target, Enum name, float value) { glTexParameterf(target, name, value); }

void TexImage2D(Enum target, int32_t level, int32_t internalFormat, int32_t width, int32_t height, int32_t border,
                Enum format, Enum type, const void* pixels) {
  ensureReady();
  State& s = state();
  if (target == kProxyTexture2D) {
    // The proxy holds a size ES can make: the width answers, as a driver's proxy does.
    const bool holds = level == 0 && border == 0 && width > 0 && height > 0 && width <= s.maxTextureSize &&
                       height <= s.maxTextureSize;
    s.proxyWidth = holds ? width : 0;
    return;
  }
  // OpenGL 1.1's component count 4 is RGBA; ES takes only the format's own name.
  const GLint internal = internalFormat == 4 ? GL_RGBA : internalFormat;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexImage2D(target, level, internal, width, height, border, format, type, pixels);
}

void CopyTexImage2D(Enum target, int32_t level, Enum internalFormat, int32_t x, int32_t y, int32_t width,
                    int32_t height, int32_t border) {
  flushBatch();
  glCopyTexImage2D(target, level, internalFormat, x, y, width, height, border);
}

void GetTexLevelParameteriv(Enum target, int32_t level, Enum name, int32_t* value) {
  *value = target == kProxyTexture2D && level == 0 && name == kTextureWidth ? state().proxyWidth : 0;
}

// No extension is offered: the passes that need the front buffer or multitexturing stay off.
const uint8_t* GetString(Enum name) {
  static const char kNone[] = "";
  static const char kLayerVersion[] = "1.1 (fixed-function layer over OpenGL ES 3)";
  return reinterpret_cast<const uint8_t*>(name == kVersion ? kLayerVersion : kNone);
}

}  // namespace ffgl
