#pragma once
// OpenGL 1.1 and GLU as the scene, the effect and the atlas call them, resolved to the
// fixed-function layer over OpenGL ES 3 (gl/fixed_function.h). Only the names those files
// use are here: a call beyond them fails to compile on the layer build, which is how the
// layer stays exactly as large as its callers need.
#include <cstdint>

#include "gl/fixed_function.h"

typedef uint32_t GLenum;
typedef uint32_t GLuint;
typedef int32_t GLint;
typedef int32_t GLsizei;
typedef uint32_t GLbitfield;
typedef float GLfloat;
typedef double GLdouble;
typedef double GLclampd;
typedef uint8_t GLubyte;

// The enumerants, with OpenGL 1.1's values.
#define GL_LINE_LOOP 0x0002
#define GL_QUADS 0x0007
#define GL_ONE 1
#define GL_LEQUAL 0x0203
#define GL_SRC_ALPHA 0x0302
#define GL_ONE_MINUS_SRC_ALPHA 0x0303
#define GL_FRONT 0x0404
#define GL_BACK 0x0405
#define GL_CW 0x0900
#define GL_CCW 0x0901
#define GL_CULL_FACE 0x0B44
#define GL_LIGHTING 0x0B50
#define GL_DEPTH_TEST 0x0B71
#define GL_BLEND 0x0BE2
#define GL_PERSPECTIVE_CORRECTION_HINT 0x0C50
#define GL_TEXTURE_GEN_S 0x0C60
#define GL_TEXTURE_GEN_T 0x0C61
#define GL_TEXTURE_2D 0x0DE1
#define GL_TEXTURE_WIDTH 0x1000
#define GL_NICEST 0x1102
#define GL_COMPILE 0x1300
#define GL_UNSIGNED_BYTE 0x1401
#define GL_MODELVIEW 0x1700
#define GL_PROJECTION 0x1701
#define GL_RGBA 0x1908
#define GL_LUMINANCE 0x1909
#define GL_EXTENSIONS 0x1F03
#define GL_MODULATE 0x2100
#define GL_TEXTURE_ENV_MODE 0x2200
#define GL_TEXTURE_ENV 0x2300
#define GL_LINEAR 0x2601
#define GL_TEXTURE_MAG_FILTER 0x2800
#define GL_TEXTURE_MIN_FILTER 0x2801
#define GL_CLIP_PLANE0 0x3000
#define GL_CLIP_PLANE1 0x3001
#define GL_PROXY_TEXTURE_2D 0x8064
#define GL_LIGHTING_BIT 0x00000040
#define GL_DEPTH_BUFFER_BIT 0x00000100
#define GL_ENABLE_BIT 0x00002000
#define GL_COLOR_BUFFER_BIT 0x00004000

// The calls.
#define glBegin ffgl::Begin
#define glEnd ffgl::End
#define glVertex2f ffgl::Vertex2f
#define glVertex3f ffgl::Vertex3f
#define glColor3f ffgl::Color3f
#define glColor4f ffgl::Color4f
#define glTexCoord2f ffgl::TexCoord2f
#define glMatrixMode ffgl::MatrixMode
#define glLoadIdentity ffgl::LoadIdentity
#define glPushMatrix ffgl::PushMatrix
#define glPopMatrix ffgl::PopMatrix
#define glRotatef ffgl::Rotatef
#define glScalef ffgl::Scalef
#define glTranslatef ffgl::Translatef
#define glOrtho ffgl::Ortho
#define gluPerspective ffgl::Perspective
#define gluLookAt ffgl::LookAt
#define glClipPlane ffgl::ClipPlane
#define glEnable ffgl::Enable
#define glDisable ffgl::Disable
#define glPushAttrib ffgl::PushAttrib
#define glPopAttrib ffgl::PopAttrib
#define glNewList ffgl::NewList
#define glEndList ffgl::EndList
#define glCallList ffgl::CallList
#define glViewport ffgl::Viewport
#define glClear ffgl::Clear
#define glClearColor ffgl::ClearColor
#define glClearDepth ffgl::ClearDepth
#define glDrawBuffer ffgl::DrawBuffer
#define glHint ffgl::Hint
#define glFlush ffgl::Flush
#define glBlendFunc ffgl::BlendFunc
#define glCullFace ffgl::CullFace
#define glFrontFace ffgl::FrontFace
#define glDepthFunc ffgl::DepthFunc
#define glGenTextures ffgl::GenTextures
#define glBindTexture ffgl::BindTexture
#define glTexEnvi ffgl::TexEnvi
#define glTexParameteri ffgl::TexParameteri
#define glTexParameterf ffgl::TexParameterf
#define glTexImage2D ffgl::TexImage2D
#define glCopyTexImage2D ffgl::CopyTexImage2D
#define glGetTexLevelParameteriv ffgl::GetTexLevelParameteriv
#define glGetString ffgl::GetString
