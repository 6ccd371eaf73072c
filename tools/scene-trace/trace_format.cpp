#include "trace_format.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace sorvane::tools {
namespace {

// A non-negative integer of up to kLimbs * 32 bits, least significant first.
// Sized for the worst case below: 200 digits (665 bits) shifted by 150 bits,
// or 10^246 shifted by 26 bits.
constexpr int kLimbs = 48;
struct Big {
  uint32_t limb[kLimbs] = {};
  int used = 0;  // limbs in use; limb[used-1] != 0 unless used == 0

  void Trim() {
    while (used > 0 && limb[used - 1] == 0) --used;
  }
  void MulAdd(uint32_t m, uint32_t a) {
    uint64_t carry = a;
    for (int i = 0; i < used; ++i) {
      const uint64_t t = static_cast<uint64_t>(limb[i]) * m + carry;
      limb[i] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    if (carry != 0) limb[used++] = static_cast<uint32_t>(carry);
  }
  int BitLength() const {
    if (used == 0) return 0;
    int bits = (used - 1) * 32;
    for (uint32_t top = limb[used - 1]; top != 0; top >>= 1) ++bits;
    return bits;
  }
  void ShiftLeft(int n) {
    if (used == 0 || n == 0) return;
    const int words = n / 32, bits = n % 32;
    int top = used + words + 1;
    for (int i = top - 1; i >= 0; --i) {
      const int src = i - words;
      uint32_t v = 0;
      if (src >= 0 && src < used) v = limb[src] << bits;
      if (bits != 0 && src - 1 >= 0 && src - 1 < used) v |= limb[src - 1] >> (32 - bits);
      limb[i] = v;
    }
    used = top;
    Trim();
  }
  void ShiftRight1() {
    for (int i = 0; i < used; ++i) {
      limb[i] >>= 1;
      if (i + 1 < used) limb[i] |= limb[i + 1] << 31;
    }
    Trim();
  }
  bool IsZero() const { return used == 0; }
};

int Compare(const Big& a, const Big& b) {
  if (a.used != b.used) return a.used < b.used ? -1 : 1;
  for (int i = a.used - 1; i >= 0; --i) {
    if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i] ? -1 : 1;
  }
  return 0;
}

void Subtract(Big& a, const Big& b) {  // a -= b, a >= b
  int64_t borrow = 0;
  for (int i = 0; i < a.used; ++i) {
    int64_t t = static_cast<int64_t>(a.limb[i]) - (i < b.used ? b.limb[i] : 0) - borrow;
    borrow = t < 0 ? 1 : 0;
    a.limb[i] = static_cast<uint32_t>(t + (borrow << 32));
  }
  a.Trim();
}

// floor(num / den) for a quotient below 2^26; num keeps the remainder.
uint32_t SmallQuotient(Big& num, Big den) {
  den.ShiftLeft(26);
  uint32_t q = 0;
  for (int b = 26; b >= 0; --b) {
    q <<= 1;
    if (Compare(num, den) >= 0) {
      Subtract(num, den);
      q |= 1;
    }
    den.ShiftRight1();
  }
  return q;
}

double PowerOfTwo(int k) {  // k in -1022..1023
  const uint64_t bits = static_cast<uint64_t>(1023 + k) << 52;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ParseDecimalFloat(const char* text, float* out) {
  if (text == nullptr) return false;
  const char* p = text;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');

  constexpr int kMaxDigits = 200;  // beyond a float's longest halfway case
  Big digits;
  int kept = 0;          // significant digits held in `digits`
  long exponent10 = 0;   // value = digits * 10^exponent10 (+ sticky)
  bool sticky = false;   // a non-zero digit was dropped
  bool anyDigit = false;
  bool seenPoint = false;
  for (;; ++p) {
    if (IsDigit(*p)) {
      anyDigit = true;
      const uint32_t d = static_cast<uint32_t>(*p - '0');
      if (kept == 0 && d == 0) {
        if (seenPoint) --exponent10;  // leading zero after the point
      } else if (kept < kMaxDigits) {
        digits.MulAdd(10, d);
        ++kept;
        if (seenPoint) --exponent10;
      } else {
        if (d != 0) sticky = true;
        if (!seenPoint) ++exponent10;
      }
    } else if (*p == '.' && !seenPoint) {
      seenPoint = true;
    } else {
      break;
    }
  }
  if (!anyDigit) return false;
  if (*p == 'e' || *p == 'E') {
    ++p;
    bool expNegative = false;
    if (*p == '+' || *p == '-') expNegative = (*p++ == '-');
    if (!IsDigit(*p)) return false;
    long e = 0;
    for (; IsDigit(*p); ++p) {
      if (e < 100000) e = e * 10 + (*p - '0');
    }
    exponent10 += expNegative ? -e : e;
  }
  if (*p != '\0') return false;

  const float zero = negative ? -0.0f : 0.0f;
  const float infinity =
      negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
  if (kept == 0) {
    *out = zero;
    return true;
  }
  // value lies in [10^(kept-1+exponent10), 10^(kept+exponent10)).
  const long magnitude = kept - 1 + exponent10;
  if (magnitude >= 39) {  // >= 1e39, far above the largest float
    *out = infinity;
    return true;
  }
  if (magnitude < -46) {  // < 1e-46, below half the smallest float
    *out = zero;
    return true;
  }

  Big num = digits, den;
  den.limb[0] = 1;
  den.used = 1;
  for (long i = 0; i < exponent10; ++i) num.MulAdd(10, 0);
  for (long i = 0; i < -exponent10; ++i) den.MulAdd(10, 0);

  // Choose s so that q = floor(value * 2^s) has 25 bits (24 for the float's
  // significand, one to round on); below the normal range the scale is fixed
  // at 2^150 so that q's last bit is half the smallest subnormal.
  int s = 24 - (num.BitLength() - den.BitLength());
  uint32_t q = 0;
  Big rem;
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (s > 150) s = 150;
    Big n = num, d = den;
    if (s >= 0) {
      n.ShiftLeft(s);
    } else {
      d.ShiftLeft(-s);
    }
    rem = n;
    q = SmallQuotient(rem, d);
    if (q >= (1u << 25)) {
      --s;
    } else if (q < (1u << 24) && s < 150) {
      ++s;
    } else {
      break;
    }
  }
  if (!rem.IsZero()) sticky = true;

  uint32_t mant = q >> 1;
  const bool round = (q & 1) != 0;
  if (round && (sticky || (mant & 1))) ++mant;
  // value = mant * 2^(1-s), exact in double; mant <= 2^24.
  const double magnitudeValue = static_cast<double>(mant) * PowerOfTwo(1 - s);
  if (magnitudeValue >= 0x1p128) {
    *out = infinity;
    return true;
  }
  const float f = static_cast<float>(magnitudeValue);  // exact
  *out = negative ? -f : f;
  return true;
}

std::size_t FormatHexFloat(double v, char* out) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  std::size_t n = 0;
  if (biased == 0x7ff) {
    const char* text = fraction != 0 ? "nan" : (negative ? "-inf" : "inf");
    std::size_t len = std::strlen(text);
    std::memcpy(out, text, len + 1);
    return len;
  }
  if (negative) out[n++] = '-';
  out[n++] = '0';
  out[n++] = 'x';
  int exponent;
  if (biased == 0) {
    out[n++] = '0';
    exponent = fraction == 0 ? 0 : -1022;
  } else {
    out[n++] = '1';
    exponent = biased - 1023;
  }
  if (fraction != 0) {
    out[n++] = '.';
    int digits = 13;
    while ((fraction & 0xf) == 0) {
      fraction >>= 4;
      --digits;
    }
    static const char kHex[] = "0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i) out[n++] = kHex[(fraction >> (4 * i)) & 0xf];
  }
  out[n++] = 'p';
  out[n++] = exponent < 0 ? '-' : '+';
  unsigned e = static_cast<unsigned>(exponent < 0 ? -exponent : exponent);
  char rev[8];
  int r = 0;
  do {
    rev[r++] = static_cast<char>('0' + e % 10);
    e /= 10;
  } while (e != 0);
  while (r > 0) out[n++] = rev[--r];
  out[n] = '\0';
  return n;
}

}  // namespace sorvane::tools
