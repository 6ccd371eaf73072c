// OpenGL 1.1 and GLU headers. The Windows headers declare their entry points
// with WINAPI/APIENTRY, so <windows.h> has to come first there.
#pragma once
#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/gl.h>
#include <GL/glu.h>
