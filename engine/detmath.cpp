// The scene's maths come from fdlibm as carried by musl (third_party/musl-libm),
// never from the platform's libm: its exact results are part of the scene.
#include "detmath.h"

#include "libm.h"

namespace sorvane::engine::detmath {

double Sin(double x) { return musl_libm::Sin(x); }
double Cos(double x) { return musl_libm::Cos(x); }
double Log(double x) { return musl_libm::Log(x); }
double Pow(double x, double y) { return musl_libm::Pow(x, y); }
double Scalbn(double x, int n) { return musl_libm::Scalbn(x, n); }
double Floor(double x) { return musl_libm::Floor(x); }

}  // namespace sorvane::engine::detmath
