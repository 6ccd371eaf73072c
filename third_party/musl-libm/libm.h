// sin, cos, log, pow and scalbn of fdlibm as carried by musl, in plain IEEE
// double arithmetic (see README.md). The engine reaches them through
// engine/detmath.h.
#pragma once

namespace musl_libm {

double Sin(double x);
double Cos(double x);
double Log(double x);
double Pow(double x, double y);
double Scalbn(double x, int n);
double Floor(double x);  // our own (see libm.cpp)

}  // namespace musl_libm
