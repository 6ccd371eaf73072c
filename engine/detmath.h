// Portable double-precision maths for the scene: sin, cos, log and pow written
// in plain IEEE double arithmetic, so that every target (glibc, mingw's x87
// based libm, msvcrt) gets the same last bits. Results are within 1 ulp of the
// exact value; sqrt is left to std::sqrt, which IEEE makes exact everywhere.
#pragma once

namespace sorvane::engine::detmath {

double Sin(double x);
double Cos(double x);
double Log(double x);           // natural logarithm
double Pow(double x, double y);
double Scalbn(double x, int n);  // x * 2^n, exact unless it over/underflows
double Floor(double x);

}  // namespace sorvane::engine::detmath
