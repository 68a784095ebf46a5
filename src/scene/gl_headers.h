#pragma once
// The scene's one view of GL. On the layer build (ORVANE_GL_LAYER: the web page, and the
// layer's native twin of the scene) the calls resolve to the fixed-function layer over
// OpenGL ES 3; everywhere else to the system's OpenGL 1.1 and GLU.
#ifdef ORVANE_GL_LAYER
#include "gl/gl11.h"
#else
// OpenGL 1.1 and GLU without <windows.h>: the Windows headers of GL only need the
// calling-convention macros, so they are supplied here and withdrawn afterwards.
#if defined(_WIN32) && !defined(APIENTRY)
#define APIENTRY __stdcall
#define WINGDIAPI __declspec(dllimport)
#define ORVANE_GL_MACROS_SUPPLIED
#endif
#if defined(_WIN32) && !defined(CALLBACK)
#define CALLBACK __stdcall
#define ORVANE_GL_CALLBACK_SUPPLIED
#endif

#include <GL/gl.h>
#include <GL/glu.h>

#ifdef ORVANE_GL_MACROS_SUPPLIED
#undef APIENTRY
#undef WINGDIAPI
#undef ORVANE_GL_MACROS_SUPPLIED
#endif
#ifdef ORVANE_GL_CALLBACK_SUPPLIED
#undef CALLBACK
#undef ORVANE_GL_CALLBACK_SUPPLIED
#endif
#endif
