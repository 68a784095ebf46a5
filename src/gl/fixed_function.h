#pragma once
// The fixed-function layer: the OpenGL 1.1 and GLU calls the scene, the effect and the atlas
// make, carried out over OpenGL ES 3 (WebGL 2 in a browser). It holds what ES dropped (the
// matrix stacks, immediate mode, the two user clip planes, one kind of display list, texture
// modulate, the attribute stack for enables) and hands the rest to ES. Vertices are
// transformed here and streamed in batches that end whenever drawing state changes.
//
// One ES context per process: the layer's objects are made in the context current at the
// first call and used in it afterwards.
//
// What ES has no room for is said here and answered as a driver without it would: there is
// no front buffer (drawing to GL_FRONT draws to the back buffer), the extension string is
// empty (so the optional passes probed by it stay off), texture generation and lighting are
// enables that draw nothing, and GL_MODULATE is the only texture environment.
#include <cstdint>

namespace ffgl {

// The layer's own enumerants match OpenGL 1.1's values (gl11.h names them).
using Enum = uint32_t;

void Begin(Enum mode);
void End();
void Vertex2f(float x, float y);
void Vertex3f(float x, float y, float z);
void Color3f(float r, float g, float b);
void Color4f(float r, float g, float b, float a);
void TexCoord2f(float s, float t);

void MatrixMode(Enum mode);
void LoadIdentity();
void PushMatrix();
void PopMatrix();
void Rotatef(float angle, float x, float y, float z);
void Scalef(float x, float y, float z);
void Translatef(float x, float y, float z);
void Ortho(double left, double right, double bottom, double top, double zNear, double zFar);
void Perspective(double fovy, double aspect, double zNear, double zFar);
void LookAt(double eyeX, double eyeY, double eyeZ, double centreX, double centreY, double centreZ, double upX,
            double upY, double upZ);

void ClipPlane(Enum plane, const double* equation);
void Enable(Enum cap);
void Disable(Enum cap);
void PushAttrib(uint32_t mask);
void PopAttrib();

void NewList(uint32_t list, Enum mode);
void EndList();
void CallList(uint32_t list);

void Viewport(int32_t x, int32_t y, int32_t width, int32_t height);
void Clear(uint32_t mask);
void ClearColor(float r, float g, float b, float a);
void ClearDepth(double depth);
void DrawBuffer(Enum buffer);
void Hint(Enum target, Enum mode);
void Flush();
void BlendFunc(Enum source, Enum destination);
void CullFace(Enum face);
void FrontFace(Enum mode);
void DepthFunc(Enum func);

void GenTextures(int32_t count, uint32_t* names);
void BindTexture(Enum target, uint32_t name);
void TexEnvi(Enum target, Enum name, int32_t value);
void TexParameteri(Enum target, Enum name, int32_t value);
void TexParameterf(Enum target, Enum name, float value);
void TexImage2D(Enum target, int32_t level, int32_t internalFormat, int32_t width, int32_t height,
                int32_t border, Enum format, Enum type, const void* pixels);
void CopyTexImage2D(Enum target, int32_t level, Enum internalFormat, int32_t x, int32_t y, int32_t width,
                    int32_t height, int32_t border);
void GetTexLevelParameteriv(Enum target, int32_t level, Enum name, int32_t* value);
const uint8_t* GetString(Enum name);

}  // namespace ffgl
