// Portable sin, cos, log and pow in plain IEEE double arithmetic (see README.md).
//
// The algorithms and constants are those of fdlibm as carried by musl
// (src/math/__sin.c, __cos.c, __rem_pio2.c, __rem_pio2_large.c, e_log.c,
// e_pow.c, scalbn.c), adapted to C++ with word access through memcpy:
//
//   Copyright (C) 1993, 2004 by Sun Microsystems, Inc. All rights reserved.
//   Developed at SunSoft, a Sun Microsystems, Inc. business.
//   Permission to use, copy, modify, and distribute this software is freely
//   granted, provided that this notice is preserved.
//
//   musl: Copyright (c) 2005-2020 Rich Felker, et al. MIT licence.
//
// Every operation here is a single IEEE double operation (no fused
// multiply-add, no extended precision; the build enforces both), so the
// results are the same bits on every target.
#include "libm.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace musl_libm {
namespace {

inline uint64_t Bits(double x) {
  uint64_t u;
  std::memcpy(&u, &x, sizeof u);
  return u;
}
inline double FromBits(uint64_t u) {
  double x;
  std::memcpy(&x, &u, sizeof x);
  return x;
}
inline int32_t High(double x) { return static_cast<int32_t>(Bits(x) >> 32); }
inline uint32_t Low(double x) { return static_cast<uint32_t>(Bits(x)); }
inline double Words(uint32_t hi, uint32_t lo) {
  return FromBits((static_cast<uint64_t>(hi) << 32) | lo);
}
inline double WithHigh(double x, uint32_t hi) { return Words(hi, Low(x)); }
inline double WithLow(double x, uint32_t lo) {
  return Words(static_cast<uint32_t>(High(x)), lo);
}

// --- kernels on [-pi/4, pi/4] -------------------------------------------

double KernelSin(double x, double y, int iy) {
  const double S1 = -1.66666666666666324348e-01;
  const double S2 = 8.33333333332248946124e-03;
  const double S3 = -1.98412698298579493134e-04;
  const double S4 = 2.75573137070700676789e-06;
  const double S5 = -2.50507602534068634195e-08;
  const double S6 = 1.58969099521155010221e-10;
  double z = x * x;
  double w = z * z;
  double r = S2 + z * (S3 + z * S4) + z * w * (S5 + z * S6);
  double v = z * x;
  if (iy == 0) return x + v * (S1 + z * r);
  return x - ((z * (0.5 * y - v * r) - y) - v * S1);
}

double KernelCos(double x, double y) {
  const double C1 = 4.16666666666666019037e-02;
  const double C2 = -1.38888888888741095749e-03;
  const double C3 = 2.48015872894767294178e-05;
  const double C4 = -2.75573143513906633035e-07;
  const double C5 = 2.08757232129817482790e-09;
  const double C6 = -1.13596475577881948265e-11;
  double z = x * x;
  double w = z * z;
  double r = z * (C1 + z * (C2 + z * C3)) + w * w * (C4 + z * (C5 + z * C6));
  double hz = 0.5 * z;
  w = 1.0 - hz;
  return w + (((1.0 - w) - hz) + (z * r - x * y));
}

// --- argument reduction for huge arguments ---------------------------------

// 2/pi in 24-bit chunks; enough for every double exponent.
const int32_t kTwoOverPi[] = {
    0xA2F983, 0x6E4E44, 0x1529FC, 0x2757D1, 0xF534DD, 0xC0DB62, 0x95993C,
    0x439041, 0xFE5163, 0xABDEBB, 0xC561B7, 0x246E3A, 0x424DD2, 0xE00649,
    0x2EEA09, 0xD1921C, 0xFE1DEB, 0x1CB129, 0xA73EE8, 0x8235F5, 0x2EBB44,
    0x84E99C, 0x7026B4, 0x5F7E41, 0x3991D6, 0x398353, 0x39F49C, 0x845F8B,
    0xBDF928, 0x3B1FF8, 0x97FFDE, 0x05980F, 0xEF2F11, 0x8B5A0A, 0x6D1F6D,
    0x367ECF, 0x27CB09, 0xB74F46, 0x3F669E, 0x5FEA2D, 0x7527BA, 0xC7EBE5,
    0xF17B3D, 0x0739F7, 0x8A5292, 0xEA6BFB, 0x5FB11F, 0x8D5D08, 0x560330,
    0x46FC7B, 0x6BABF0, 0xCFBC20, 0x9AF436, 0x1DA9E3, 0x91615E, 0xE61B08,
    0x659985, 0x5F14A0, 0x68408D, 0xFFD880, 0x4D7327, 0x310606, 0x1556CA,
    0x73A8C9, 0x60E27B, 0xC08C6B,
};

const double kPiOver2Chunks[] = {
    1.57079625129699707031e+00, 7.54978941586159635335e-08,
    5.39030252995776476554e-15, 3.28200341580791294123e-22,
    1.27065575308067607349e-29, 1.22933308981111328932e-36,
    2.73370053816464559624e-44, 2.16741683877804819444e-51,
};

// Double precision only (prec 1 of the original).
int RemPio2Large(const double* x, double* y, int e0, int nx) {
  const double two24 = 1.67772160000000000000e+07;
  const double twon24 = 5.96046447753906250000e-08;
  int32_t jz, jx, jv, jp, jk, carry, n, iq[20], i, j, k, m, q0, ih;
  double z, fw, f[20] = {}, fq[20] = {}, q[20] = {};

  jk = 4;
  jp = jk;
  jx = nx - 1;
  jv = (e0 - 3) / 24;
  if (jv < 0) jv = 0;
  q0 = e0 - 24 * (jv + 1);

  j = jv - jx;
  m = jx + jk;
  for (i = 0; i <= m; i++, j++) f[i] = j < 0 ? 0.0 : static_cast<double>(kTwoOverPi[j]);

  for (i = 0; i <= jk; i++) {
    for (j = 0, fw = 0.0; j <= jx; j++) fw += x[j] * f[jx + i - j];
    q[i] = fw;
  }

  jz = jk;
recompute:
  for (i = 0, j = jz, z = q[jz]; j > 0; i++, j--) {
    fw = static_cast<double>(static_cast<int32_t>(twon24 * z));
    iq[i] = static_cast<int32_t>(z - two24 * fw);
    z = q[j - 1] + fw;
  }

  z = Scalbn(z, q0);
  z -= 8.0 * Floor(z * 0.125);
  n = static_cast<int32_t>(z);
  z -= static_cast<double>(n);
  ih = 0;
  if (q0 > 0) {
    i = iq[jz - 1] >> (24 - q0);
    n += i;
    iq[jz - 1] -= i << (24 - q0);
    ih = iq[jz - 1] >> (23 - q0);
  } else if (q0 == 0) {
    ih = iq[jz - 1] >> 23;
  } else if (z >= 0.5) {
    ih = 2;
  }

  if (ih > 0) {
    n += 1;
    carry = 0;
    for (i = 0; i < jz; i++) {
      j = iq[i];
      if (carry == 0) {
        if (j != 0) {
          carry = 1;
          iq[i] = 0x1000000 - j;
        }
      } else {
        iq[i] = 0xffffff - j;
      }
    }
    if (q0 > 0) {
      switch (q0) {
        case 1: iq[jz - 1] &= 0x7fffff; break;
        case 2: iq[jz - 1] &= 0x3fffff; break;
      }
    }
    if (ih == 2) {
      z = 1.0 - z;
      if (carry != 0) z -= Scalbn(1.0, q0);
    }
  }

  if (z == 0.0) {
    j = 0;
    for (i = jz - 1; i >= jk; i--) j |= iq[i];
    if (j == 0) {
      for (k = 1; iq[jk - k] == 0; k++) {
      }
      for (i = jz + 1; i <= jz + k; i++) {
        f[jx + i] = static_cast<double>(kTwoOverPi[jv + i]);
        for (j = 0, fw = 0.0; j <= jx; j++) fw += x[j] * f[jx + i - j];
        q[i] = fw;
      }
      jz += k;
      goto recompute;
    }
  }

  if (z == 0.0) {
    jz -= 1;
    q0 -= 24;
    while (iq[jz] == 0) {
      jz--;
      q0 -= 24;
    }
  } else {
    z = Scalbn(z, -q0);
    if (z >= two24) {
      fw = static_cast<double>(static_cast<int32_t>(twon24 * z));
      iq[jz] = static_cast<int32_t>(z - two24 * fw);
      jz += 1;
      q0 += 24;
      iq[jz] = static_cast<int32_t>(fw);
    } else {
      iq[jz] = static_cast<int32_t>(z);
    }
  }

  fw = Scalbn(1.0, q0);
  for (i = jz; i >= 0; i--) {
    q[i] = fw * static_cast<double>(iq[i]);
    fw *= twon24;
  }

  for (i = jz; i >= 0; i--) {
    for (fw = 0.0, k = 0; k <= jp && k <= jz - i; k++) fw += kPiOver2Chunks[k] * q[i + k];
    fq[jz - i] = fw;
  }

  fw = 0.0;
  for (i = jz; i >= 0; i--) fw += fq[i];
  y[0] = ih == 0 ? fw : -fw;
  fw = fq[0] - fw;
  for (i = 1; i <= jz; i++) fw += fq[i];
  y[1] = ih == 0 ? fw : -fw;
  return n & 7;
}

// x rem pi/2 in y[0] + y[1]; returns the quadrant count (low bits valid).
int RemPio2(double x, double* y) {
  const double two24 = 1.67772160000000000000e+07;
  const double invpio2 = 6.36619772367581382433e-01;
  const double pio2_1 = 1.57079632673412561417e+00;
  const double pio2_1t = 6.07710050650619224932e-11;
  const double pio2_2 = 6.07710050630396597660e-11;
  const double pio2_2t = 2.02226624879595063154e-21;
  const double pio2_3 = 2.02226624871116645580e-21;
  const double pio2_3t = 8.47842766036889956997e-32;
  double z, w, t, r, fn;
  double tx[3], ty[2];
  int32_t e0, i, j, nx, n, ix, hx;

  hx = High(x);
  ix = hx & 0x7fffffff;
  if (ix <= 0x400f6a7a) {  // |x| ~<= 5pi/4
    if ((ix & 0xfffff) == 0x921fb) goto medium;  // |x| ~= pi/2 or 2pi/2
    if (ix <= 0x4002d97c) {                      // |x| ~<= 3pi/4
      if (hx > 0) {
        z = x - pio2_1;
        y[0] = z - pio2_1t;
        y[1] = (z - y[0]) - pio2_1t;
        return 1;
      }
      z = x + pio2_1;
      y[0] = z + pio2_1t;
      y[1] = (z - y[0]) + pio2_1t;
      return -1;
    }
    if (hx > 0) {
      z = x - 2 * pio2_1;
      y[0] = z - 2 * pio2_1t;
      y[1] = (z - y[0]) - 2 * pio2_1t;
      return 2;
    }
    z = x + 2 * pio2_1;
    y[0] = z + 2 * pio2_1t;
    y[1] = (z - y[0]) + 2 * pio2_1t;
    return -2;
  }
  if (ix <= 0x401c463b) {    // |x| ~<= 9pi/4
    if (ix <= 0x4015fdbc) {  // |x| ~<= 7pi/4
      if (ix == 0x4012d97c) goto medium;  // |x| ~= 3pi/2
      if (hx > 0) {
        z = x - 3 * pio2_1;
        y[0] = z - 3 * pio2_1t;
        y[1] = (z - y[0]) - 3 * pio2_1t;
        return 3;
      }
      z = x + 3 * pio2_1;
      y[0] = z + 3 * pio2_1t;
      y[1] = (z - y[0]) + 3 * pio2_1t;
      return -3;
    }
    if (ix == 0x401921fb) goto medium;  // |x| ~= 4pi/2
    if (hx > 0) {
      z = x - 4 * pio2_1;
      y[0] = z - 4 * pio2_1t;
      y[1] = (z - y[0]) - 4 * pio2_1t;
      return 4;
    }
    z = x + 4 * pio2_1;
    y[0] = z + 4 * pio2_1t;
    y[1] = (z - y[0]) + 4 * pio2_1t;
    return -4;
  }
  if (ix < 0x413921fb) {  // |x| ~< 2^20*(pi/2), medium size
  medium:
    // rint by the 1.5*2^52 trick; the arithmetic rounds to nearest.
    fn = x * invpio2 + 0x1.8p52;
    fn = fn - 0x1.8p52;
    n = static_cast<int32_t>(fn);
    r = x - fn * pio2_1;
    w = fn * pio2_1t;  // 1st round, good to 85 bits
    j = ix >> 20;
    y[0] = r - w;
    i = j - ((High(y[0]) >> 20) & 0x7ff);
    if (i > 16) {  // 2nd round, good to 118 bits
      t = r;
      w = fn * pio2_2;
      r = t - w;
      w = fn * pio2_2t - ((t - r) - w);
      y[0] = r - w;
      i = j - ((High(y[0]) >> 20) & 0x7ff);
      if (i > 49) {  // 3rd round, good to 151 bits, covers all cases
        t = r;
        w = fn * pio2_3;
        r = t - w;
        w = fn * pio2_3t - ((t - r) - w);
        y[0] = r - w;
      }
    }
    y[1] = (r - y[0]) - w;
    return n;
  }
  if (ix >= 0x7ff00000) {  // inf or NaN
    y[0] = y[1] = x - x;
    return 0;
  }
  // z = scalbn(|x|, ilogb(x) - 23), split into three 24-bit pieces.
  e0 = (ix >> 20) - 1046;
  z = Words(static_cast<uint32_t>(ix - static_cast<int32_t>(static_cast<uint32_t>(e0) << 20)),
            Low(x));
  for (i = 0; i < 2; i++) {
    tx[i] = static_cast<double>(static_cast<int32_t>(z));
    z = (z - tx[i]) * two24;
  }
  tx[2] = z;
  nx = 3;
  while (tx[nx - 1] == 0.0) nx--;
  n = RemPio2Large(tx, ty, e0, nx);
  if (hx < 0) {
    y[0] = -ty[0];
    y[1] = -ty[1];
    return -n;
  }
  y[0] = ty[0];
  y[1] = ty[1];
  return n;
}

}  // namespace

double Scalbn(double x, int n) {
  double y = x;
  if (n > 1023) {
    y *= 0x1p1023;
    n -= 1023;
    if (n > 1023) {
      y *= 0x1p1023;
      n -= 1023;
      if (n > 1023) n = 1023;
    }
  } else if (n < -1022) {
    // Keep the final n below -53 to avoid double rounding among subnormals.
    y *= 0x1p-1022 * 0x1p53;
    n += 1022 - 53;
    if (n < -1022) {
      y *= 0x1p-1022 * 0x1p53;
      n += 1022 - 53;
      if (n < -1022) n = -1022;
    }
  }
  return y * FromBits(static_cast<uint64_t>(0x3ff + n) << 52);
}

// Not musl's floor.c but a short one of our own for the argument reduction
// (and the engine): exact for every double.
double Floor(double x) {
  if (!(std::fabs(x) < 0x1p52) || x == 0.0) return x;  // integral, inf, NaN, +-0
  double t = static_cast<double>(static_cast<int64_t>(x));
  if (t > x) t -= 1.0;
  return t;
}

double Sin(double x) {
  double y[2];
  uint32_t ix = static_cast<uint32_t>(High(x)) & 0x7fffffff;
  if (ix <= 0x3fe921fb) {             // |x| ~< pi/4
    if (ix < 0x3e500000) return x;    // |x| < 2^-26
    return KernelSin(x, 0.0, 0);
  }
  if (ix >= 0x7ff00000) return x - x;  // inf or NaN
  int n = RemPio2(x, y);
  switch (n & 3) {
    case 0: return KernelSin(y[0], y[1], 1);
    case 1: return KernelCos(y[0], y[1]);
    case 2: return -KernelSin(y[0], y[1], 1);
    default: return -KernelCos(y[0], y[1]);
  }
}

double Cos(double x) {
  double y[2];
  uint32_t ix = static_cast<uint32_t>(High(x)) & 0x7fffffff;
  if (ix <= 0x3fe921fb) {              // |x| ~< pi/4
    if (ix < 0x3e46a09e) return 1.0;   // |x| < 2^-27 * sqrt(2)
    return KernelCos(x, 0.0);
  }
  if (ix >= 0x7ff00000) return x - x;
  int n = RemPio2(x, y);
  switch (n & 3) {
    case 0: return KernelCos(y[0], y[1]);
    case 1: return -KernelSin(y[0], y[1], 1);
    case 2: return -KernelCos(y[0], y[1]);
    default: return KernelSin(y[0], y[1], 1);
  }
}

double Log(double x) {
  const double ln2_hi = 6.93147180369123816490e-01;
  const double ln2_lo = 1.90821492927058770002e-10;
  const double two54 = 1.80143985094819840000e+16;
  const double Lg1 = 6.666666666666735130e-01;
  const double Lg2 = 3.999999999940941908e-01;
  const double Lg3 = 2.857142874366239149e-01;
  const double Lg4 = 2.222219843214978396e-01;
  const double Lg5 = 1.818357216161805012e-01;
  const double Lg6 = 1.531383769920937332e-01;
  const double Lg7 = 1.479819860511658591e-01;
  const double zero = 0.0;
  double hfsq, f, s, z, R, w, t1, t2, dk;
  int32_t k, hx, i, j;
  uint32_t lx;

  hx = High(x);
  lx = Low(x);
  k = 0;
  if (hx < 0x00100000) {  // x < 2^-1022
    if (((hx & 0x7fffffff) | static_cast<int32_t>(lx)) == 0) return -two54 / zero;  // log(+-0)
    if (hx < 0) return (x - x) / zero;  // log(negative) = NaN
    k -= 54;
    x *= two54;  // subnormal: scale up
    hx = High(x);
  }
  if (hx >= 0x7ff00000) return x + x;
  k += (hx >> 20) - 1023;
  hx &= 0x000fffff;
  i = (hx + 0x95f64) & 0x100000;
  x = WithHigh(x, static_cast<uint32_t>(hx | (i ^ 0x3ff00000)));  // normalise x or x/2
  k += (i >> 20);
  f = x - 1.0;
  if ((0x000fffff & (2 + hx)) < 3) {  // |f| < 2^-20
    if (f == zero) {
      if (k == 0) return zero;
      dk = static_cast<double>(k);
      return dk * ln2_hi + dk * ln2_lo;
    }
    R = f * f * (0.5 - 0.33333333333333333 * f);
    if (k == 0) return f - R;
    dk = static_cast<double>(k);
    return dk * ln2_hi - ((R - dk * ln2_lo) - f);
  }
  s = f / (2.0 + f);
  dk = static_cast<double>(k);
  z = s * s;
  i = hx - 0x6147a;
  w = z * z;
  j = 0x6b851 - hx;
  t1 = w * (Lg2 + w * (Lg4 + w * Lg6));
  t2 = z * (Lg1 + w * (Lg3 + w * (Lg5 + w * Lg7)));
  i |= j;
  R = t2 + t1;
  if (i > 0) {
    hfsq = 0.5 * f * f;
    if (k == 0) return f - (hfsq - s * (hfsq + R));
    return dk * ln2_hi - ((hfsq - (s * (hfsq + R) + dk * ln2_lo)) - f);
  }
  if (k == 0) return f - s * (f - R);
  return dk * ln2_hi - ((s * (f - R) - dk * ln2_lo) - f);
}

double Pow(double x, double y) {
  static const double bp[] = {1.0, 1.5};
  static const double dp_h[] = {0.0, 5.84962487220764160156e-01};
  static const double dp_l[] = {0.0, 1.35003920212974897128e-08};
  const double zero = 0.0, one = 1.0, two = 2.0;
  const double two53 = 9007199254740992.0;
  const double huge = 1.0e300, tiny = 1.0e-300;
  const double L1 = 5.99999999999994648725e-01;
  const double L2 = 4.28571428578550184252e-01;
  const double L3 = 3.33333329818377432918e-01;
  const double L4 = 2.72728123808534006489e-01;
  const double L5 = 2.30660745775561754067e-01;
  const double L6 = 2.06975017800338417784e-01;
  const double P1 = 1.66666666666666019037e-01;
  const double P2 = -2.77777777770155933842e-03;
  const double P3 = 6.61375632143793436117e-05;
  const double P4 = -1.65339022054652515390e-06;
  const double P5 = 4.13813679705723846039e-08;
  const double lg2 = 6.93147180559945286227e-01;
  const double lg2_h = 6.93147182464599609375e-01;
  const double lg2_l = -1.90465429995776804525e-09;
  const double ovt = 8.0085662595372944372e-17;
  const double cp = 9.61796693925975554329e-01;
  const double cp_h = 9.61796700954437255859e-01;
  const double cp_l = -7.02846165095275826516e-09;
  const double ivln2 = 1.44269504088896338700e+00;
  const double ivln2_h = 1.44269502162933349609e+00;
  const double ivln2_l = 1.92596299112661746887e-08;

  double z, ax, z_h, z_l, p_h, p_l;
  double y1, t1, t2, r, s, t, u, v, w;
  int32_t i, j, k, yisint, n;
  int32_t hx, hy, ix, iy;
  uint32_t lx, ly;

  hx = High(x);
  lx = Low(x);
  hy = High(y);
  ly = Low(y);
  ix = hx & 0x7fffffff;
  iy = hy & 0x7fffffff;

  if ((static_cast<uint32_t>(iy) | ly) == 0) return one;  // x**0 = 1

  if (ix > 0x7ff00000 || ((ix == 0x7ff00000) && (lx != 0)) || iy > 0x7ff00000 ||
      ((iy == 0x7ff00000) && (ly != 0)))
    return x + y;  // NaN

  // yisint: 0 not an integer, 1 odd integer, 2 even integer (only for x < 0)
  yisint = 0;
  if (hx < 0) {
    if (iy >= 0x43400000) {
      yisint = 2;
    } else if (iy >= 0x3ff00000) {
      k = (iy >> 20) - 0x3ff;
      if (k > 20) {
        uint32_t jj = ly >> (52 - k);
        if ((jj << (52 - k)) == ly) yisint = 2 - static_cast<int32_t>(jj & 1);
      } else if (ly == 0) {
        uint32_t jj = static_cast<uint32_t>(iy) >> (20 - k);
        if ((jj << (20 - k)) == static_cast<uint32_t>(iy)) yisint = 2 - static_cast<int32_t>(jj & 1);
      }
    }
  }

  if (ly == 0) {
    if (iy == 0x7ff00000) {  // y is +-inf
      if (((ix - 0x3ff00000) | static_cast<int32_t>(lx)) == 0) return y - y;  // 1**inf: NaN
      if (ix >= 0x3ff00000) return (hy >= 0) ? y : zero;
      return (hy < 0) ? -y : zero;
    }
    if (iy == 0x3ff00000) {  // y is +-1
      if (hy < 0) return one / x;
      return x;
    }
    if (hy == 0x40000000) return x * x;  // y is 2
    if (hy == 0x3fe00000) {              // y is 0.5
      if (hx >= 0) return std::sqrt(x);
    }
  }

  ax = std::fabs(x);
  if (lx == 0) {
    if (ix == 0x7ff00000 || ix == 0 || ix == 0x3ff00000) {
      z = ax;  // x is +-0, +-inf, +-1
      if (hy < 0) z = one / z;
      if (hx < 0) {
        if (((ix - 0x3ff00000) | yisint) == 0) {
          z = (z - z) / (z - z);  // (-1)**non-int is NaN
        } else if (yisint == 1) {
          z = -z;
        }
      }
      return z;
    }
  }

  n = static_cast<int32_t>((static_cast<uint32_t>(hx) >> 31) - 1);

  if ((n | yisint) == 0) return (x - x) / (x - x);  // (x<0)**(non-int) is NaN

  s = one;
  if ((n | (yisint - 1)) == 0) s = -one;  // (-ve)**(odd int)

  if (iy > 0x41e00000) {    // |y| > 2^31
    if (iy > 0x43f00000) {  // |y| > 2^64: must over/underflow
      if (ix <= 0x3fefffff) return (hy < 0) ? huge * huge : tiny * tiny;
      if (ix >= 0x3ff00000) return (hy > 0) ? huge * huge : tiny * tiny;
    }
    if (ix < 0x3fefffff) return (hy < 0) ? s * huge * huge : s * tiny * tiny;
    if (ix > 0x3ff00000) return (hy > 0) ? s * huge * huge : s * tiny * tiny;
    // |1-x| <= 2^-20: log(x) by x - x^2/2 + x^3/3 - x^4/4
    t = ax - one;
    w = (t * t) * (0.5 - t * (0.3333333333333333333333 - t * 0.25));
    u = ivln2_h * t;
    v = t * ivln2_l - w * ivln2;
    t1 = u + v;
    t1 = WithLow(t1, 0);
    t2 = v - (t1 - u);
  } else {
    double ss, s2, s_h, s_l, t_h, t_l;
    n = 0;
    if (ix < 0x00100000) {  // subnormal x
      ax *= two53;
      n -= 53;
      ix = High(ax);
    }
    n += ((ix) >> 20) - 0x3ff;
    j = ix & 0x000fffff;
    ix = j | 0x3ff00000;
    if (j <= 0x3988E) {
      k = 0;  // |x| < sqrt(3/2)
    } else if (j < 0xBB67A) {
      k = 1;  // |x| < sqrt(3)
    } else {
      k = 0;
      n += 1;
      ix -= 0x00100000;
    }
    ax = WithHigh(ax, static_cast<uint32_t>(ix));

    // ss = s_h + s_l = (x-1)/(x+1) or (x-1.5)/(x+1.5)
    u = ax - bp[k];
    v = one / (ax + bp[k]);
    ss = u * v;
    s_h = ss;
    s_h = WithLow(s_h, 0);
    t_h = Words(static_cast<uint32_t>(((ix >> 1) | 0x20000000) + 0x00080000 + (k << 18)), 0);
    t_l = ax - (t_h - bp[k]);
    s_l = v * ((u - s_h * t_h) - s_h * t_l);
    // log(ax)
    s2 = ss * ss;
    r = s2 * s2 * (L1 + s2 * (L2 + s2 * (L3 + s2 * (L4 + s2 * (L5 + s2 * L6)))));
    r += s_l * (s_h + ss);
    s2 = s_h * s_h;
    t_h = 3.0 + s2 + r;
    t_h = WithLow(t_h, 0);
    t_l = r - ((t_h - 3.0) - s2);
    u = s_h * t_h;
    v = s_l * t_h + t_l * ss;
    p_h = u + v;
    p_h = WithLow(p_h, 0);
    p_l = v - (p_h - u);
    z_h = cp_h * p_h;
    z_l = cp_l * p_h + p_l * cp + dp_l[k];
    // log2(ax) = n + dp_h + z_h + z_l
    t = static_cast<double>(n);
    t1 = (((z_h + z_l) + dp_h[k]) + t);
    t1 = WithLow(t1, 0);
    t2 = z_l - (((t1 - t) - dp_h[k]) - z_h);
  }

  // (y1 + y2) * (t1 + t2)
  y1 = y;
  y1 = WithLow(y1, 0);
  p_l = (y - y1) * t1 + y * t2;
  p_h = y1 * t1;
  z = p_l + p_h;
  j = High(z);
  i = static_cast<int32_t>(Low(z));
  if (j >= 0x40900000) {  // z >= 1024
    if (((j - 0x40900000) | i) != 0) return s * huge * huge;
    if (p_l + ovt > z - p_h) return s * huge * huge;
  } else if ((j & 0x7fffffff) >= 0x4090cc00) {  // z <= -1075
    if (((static_cast<uint32_t>(j) - 0xc090cc00u) | static_cast<uint32_t>(i)) != 0)
      return s * tiny * tiny;
    if (p_l <= z - p_h) return s * tiny * tiny;
  }

  // 2**(p_h + p_l)
  i = j & 0x7fffffff;
  k = (i >> 20) - 0x3ff;
  n = 0;
  if (i > 0x3fe00000) {  // |z| > 0.5: n = [z + 0.5]
    n = j + (0x00100000 >> (k + 1));
    k = ((n & 0x7fffffff) >> 20) - 0x3ff;
    t = Words(static_cast<uint32_t>(n & ~(0x000fffff >> k)), 0);
    n = ((n & 0x000fffff) | 0x00100000) >> (20 - k);
    if (j < 0) n = -n;
    p_h -= t;
  }
  t = p_l + p_h;
  t = WithLow(t, 0);
  u = t * lg2_h;
  v = (p_l - (t - p_h)) * lg2 + t * lg2_l;
  z = u + v;
  w = v - (z - u);
  t = z * z;
  t1 = z - t * (P1 + t * (P2 + t * (P3 + t * (P4 + t * P5))));
  r = (z * t1) / (t1 - two) - (w + z * w);
  z = one - (r - z);
  j = High(z);
  j += static_cast<int32_t>(static_cast<uint32_t>(n) << 20);
  if ((j >> 20) <= 0) {
    z = Scalbn(z, n);  // subnormal result
  } else {
    z = WithHigh(z, static_cast<uint32_t>(j));
  }
  return s * z;
}

}  // namespace musl_libm
