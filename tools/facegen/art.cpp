#include "art.h"

#include <algorithm>
#include <stdexcept>

namespace sorvane::tools {
namespace {

int R(Rgb c) { return int(c >> 16) & 0xFF; }
int G(Rgb c) { return int(c >> 8) & 0xFF; }
int B(Rgb c) { return int(c) & 0xFF; }
Rgb Make(int r, int g, int b) { return Rgb(r) << 16 | Rgb(g) << 8 | Rgb(b); }

// Integer blend a + (b - a) * num / den, rounded to nearest: the same bytes on every machine.
int MixChannel(int a, int b, int num, int den) {
  int v = a * (den - num) + b * num;
  return (v + den / 2) / den;
}
Rgb Mix(Rgb a, Rgb b, int num, int den) {
  return Make(MixChannel(R(a), R(b), num, den), MixChannel(G(a), G(b), num, den),
              MixChannel(B(a), B(b), num, den));
}

constexpr int kW = 64;
constexpr int kH = 25;
constexpr Rgb kDialogTone = 0xECE9D8;
constexpr Rgb kFaceWhite = 0xFFFFFF;
constexpr Rgb kFaceShade = 0xC6C5D7;
constexpr Rgb kOutline = 0x003C74;

// The part of a face that is never shown; it carries the face's own gradient
// so that the picture looks like the button when opened on its own.
void FillInterior(Picture& p) {
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) p.at(x, y) = Mix(kFaceWhite, kFaceShade, y, p.height - 1);
}

// Colours of ring 2 (two pixels wide) for one kind of face.
struct Ring2 {
  Rgb top[2];                // rows 2 and 3 (outer, inner)
  Rgb leftFrom[2], leftTo[2];    // outer, inner column; top of the edge -> bottom
  Rgb rightFrom[2], rightTo[2];  // outer, inner column
  Rgb bottom[2];             // outer (row 22), inner (row 21)
};

constexpr Ring2 kNormalRing2{{0xF3F3EE, 0xF3F3EE},
                             {0xFDFDFC, 0xFDFDFC}, {0xECEBE6, 0xECEBE6},
                             {0xF6F4F2, 0xFBFBFA}, {0xE0DDD4, 0xE4E2DA},
                             {0xD6D0C5, 0xE2DFD6}};
constexpr Ring2 kHighLightRing2{{0xFFF0CF, 0xFDD889},
                                {0xFEDF9A, 0xFCD279}, {0xF9B435, 0xF8B535},
                                {0xFEDF9A, 0xFCD279}, {0xF9B435, 0xF8B535},
                                {0xE59700, 0xF8B330}};
constexpr Ring2 kSelectedRing2{{0xCEE7FF, 0xCEE7FF},
                               {0xB7D0F4, 0xB7D0F4}, {0x8BADE4, 0x8BADE4},
                               {0xB7D0F4, 0xB7D0F4}, {0x8BADE4, 0x8BADE4},
                               {0x6982EE, 0x6982EE}};

// Ring 0: the pale blend into the dialog, lighter towards the corners.
void PaintRing0(Picture& p, int x0, int y0, int w, int h) {
  const int x1 = x0 + w - 1, y1 = y0 + h - 1;
  const Rgb top = 0xE0DCC9, left = 0xE2DECB, bottom = 0xF8F7F0, right = 0xF0EEE0;
  for (int x = x0; x <= x1; ++x) { p.at(x, y0) = top; p.at(x, y1) = bottom; }
  for (int y = y0 + 1; y < y1; ++y) { p.at(x0, y) = left; p.at(x1, y) = right; }
  const Rgb tl = 0xE9E7D5, tr = 0xF2F0E4, bl = 0xF4F2EA, br = 0xFAF9F4;
  p.at(x0, y0) = tl; p.at(x1, y0) = tr; p.at(x0, y1) = bl; p.at(x1, y1) = br;
  // The neighbours of each corner pixel lie halfway between the corner and the edge.
  p.at(x0 + 1, y0) = Mix(tl, top, 1, 2);    p.at(x0, y0 + 1) = Mix(tl, left, 1, 2);
  p.at(x1 - 1, y0) = Mix(tr, top, 1, 2);    p.at(x1, y0 + 1) = Mix(tr, right, 1, 2);
  p.at(x0 + 1, y1) = Mix(bl, bottom, 1, 2); p.at(x0, y1 - 1) = Mix(bl, left, 1, 2);
  p.at(x1 - 1, y1) = Mix(br, bottom, 1, 2); p.at(x1, y1 - 1) = Mix(br, right, 1, 2);
}

// Ring 1: the outline, its corners rounded by three blended pixels each.
struct OutlineTones {
  Rgb line, nearCorner, farCorner;  // outline, the pixels next to the corner, the ones after them
  Rgb corner[4];                    // the corner pixel itself: top-left, top-right, bottom-left, bottom-right
};

void PaintRing1(Picture& p, int x0, int y0, int w, int h, const OutlineTones& t) {
  const int x1 = x0 + w - 1, y1 = y0 + h - 1;
  for (int x = x0; x <= x1; ++x) { p.at(x, y0) = t.line; p.at(x, y1) = t.line; }
  for (int y = y0; y <= y1; ++y) { p.at(x0, y) = t.line; p.at(x1, y) = t.line; }
  const int cx[4] = {x0, x1, x0, x1}, cy[4] = {y0, y0, y1, y1};
  const int dx[4] = {1, -1, 1, -1}, dy[4] = {1, 1, -1, -1};
  for (int i = 0; i < 4; ++i) {
    p.at(cx[i], cy[i]) = t.corner[i];
    p.at(cx[i] + dx[i], cy[i]) = t.nearCorner;
    p.at(cx[i], cy[i] + dy[i]) = t.nearCorner;
    p.at(cx[i] + 2 * dx[i], cy[i]) = t.farCorner;
    p.at(cx[i], cy[i] + 2 * dy[i]) = t.farCorner;
  }
}

// Ring 2 inside an outline whose outer rectangle is (x0, y0, w, h).
void PaintRing2(Picture& p, int x0, int y0, int w, int h, const Ring2& c, Rgb outline) {
  const int left = x0 + 1, right = x0 + w - 2, top = y0 + 1, bottom = y0 + h - 2;
  const int edgeTop = top + 2, edgeBottom = bottom - 2;  // the side edges between the corners
  for (int x = left; x <= right; ++x) {
    p.at(x, top) = c.top[0];
    p.at(x, top + 1) = c.top[1];
    p.at(x, bottom) = c.bottom[0];
    p.at(x, bottom - 1) = c.bottom[1];
  }
  const int span = edgeBottom - edgeTop;
  for (int y = edgeTop; y <= edgeBottom; ++y) {
    const int n = y - edgeTop;
    for (int k = 0; k < 2; ++k) {
      p.at(left + k, y) = Mix(c.leftFrom[k], c.leftTo[k], n, span);
      p.at(right - k, y) = Mix(c.rightFrom[k], c.rightTo[k], n, span);
    }
  }
  // The rounded outline cuts a little into the innermost corner pixels.
  p.at(left, top) = Mix(c.top[0], outline, 1, 3);
  p.at(right, top) = Mix(c.top[0], outline, 1, 3);
  p.at(left, bottom) = Mix(c.bottom[0], outline, 1, 3);
  p.at(right, bottom) = Mix(c.bottom[0], outline, 1, 3);
}

const OutlineTones kBlueOutline{kOutline, 0x7A95A8, 0x255783, {0xE6E1D0, 0xECE9DB, 0xEEEBE0, 0xF5F3EA}};

Picture FramedFace(const Ring2& ring2) {
  Picture p(kW, kH, kDialogTone);
  FillInterior(p);
  PaintRing0(p, 0, 0, kW, kH);
  PaintRing1(p, 1, 1, kW - 2, kH - 2, kBlueOutline);
  PaintRing2(p, 1, 1, kW - 2, kH - 2, ring2, kOutline);
  return p;
}

// The Normal frame one pixel further in, the dialog tone around it and a shadow
// along the inside of its top and left.
Picture PressedFace() {
  Picture p(kW, kH, kDialogTone);
  FillInterior(p);
  const int x0 = 2, y0 = 2, w = kW - 4, h = kH - 4;  // the outline's rectangle
  for (int x = 0; x < kW; ++x) { p.at(x, 0) = p.at(x, 1) = p.at(x, kH - 1) = p.at(x, kH - 2) = kDialogTone; }
  for (int y = 0; y < kH; ++y) { p.at(0, y) = p.at(1, y) = p.at(kW - 1, y) = p.at(kW - 2, y) = kDialogTone; }
  OutlineTones t = kBlueOutline;
  for (Rgb& c : t.corner) c = Mix(kDialogTone, 0xE6E1D0, 1, 2);
  PaintRing1(p, x0, y0, w, h, t);
  PaintRing2(p, x0, y0, w, h, kNormalRing2, kOutline);
  // Shadow: row 3 in one tone; column 3 from that tone down to mid-height and on towards the bottom.
  const Rgb shadowTop = 0xD1CCC1, shadowMid = 0xD7D4CB, shadowLow = 0xE4E1D9;
  for (int x = x0 + 1; x <= x0 + w - 2; ++x) p.at(x, y0 + 1) = shadowTop;
  const int yTop = y0 + 1, yBottom = y0 + h - 2, yMid = (yTop + yBottom) / 2;
  for (int y = yTop; y <= yBottom; ++y) {
    p.at(x0 + 1, y) = y <= yMid ? Mix(shadowTop, shadowMid, y - yTop, yMid - yTop)
                                : Mix(shadowMid, shadowLow, y - yMid, yBottom - yMid);
  }
  return p;
}

Picture DisableFace() {
  Picture p(kW, kH, 0xF5F4EA);
  for (int x = 0; x < kW; ++x) { p.at(x, 0) = kDialogTone; p.at(x, kH - 1) = kDialogTone; }
  for (int y = 0; y < kH; ++y) { p.at(0, y) = kDialogTone; p.at(kW - 1, y) = kDialogTone; }
  const OutlineTones grey{0xC9C7BA, 0xD8D5C7, 0xCBC9BC, {kDialogTone, kDialogTone, kDialogTone, kDialogTone}};
  PaintRing1(p, 1, 1, kW - 2, kH - 2, grey);
  const int l = 2, r = kW - 3, t = 2, b = kH - 3;
  p.at(l, t) = p.at(r, t) = p.at(l, b) = p.at(r, b) = Mix(0xF5F4EA, 0xC9C7BA, 1, 3);
  return p;
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void PutInfoHeader(std::vector<std::uint8_t>& out, int w, int h, std::uint32_t imageBytes) {
  Put32(out, 40);
  Put32(out, std::uint32_t(w));
  Put32(out, std::uint32_t(h));
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);  // BI_RGB
  Put32(out, imageBytes);
  Put32(out, 3780);  // 96 dpi
  Put32(out, 3780);
  Put32(out, 0);
  Put32(out, 0);
}

int RowBytes24(int w) { return (w * 3 + 3) & ~3; }

void PutRowsBottomUp(std::vector<std::uint8_t>& out, const Picture& p) {
  const int pad = RowBytes24(p.width) - p.width * 3;
  for (int y = p.height - 1; y >= 0; --y) {
    for (int x = 0; x < p.width; ++x) {
      const Rgb c = p.at(x, y);
      out.push_back(std::uint8_t(B(c)));
      out.push_back(std::uint8_t(G(c)));
      out.push_back(std::uint8_t(R(c)));
    }
    out.insert(out.end(), std::size_t(pad), 0);
  }
}

}  // namespace

Picture MakeFace(const std::string& name) {
  if (name == "Normal") return FramedFace(kNormalRing2);
  if (name == "HighLight" || name == "HighLightSelect") return FramedFace(kHighLightRing2);
  if (name == "Selected") return FramedFace(kSelectedRing2);
  if (name == "Pressed") return PressedFace();
  if (name == "Disable") return DisableFace();
  throw std::invalid_argument("no face named " + name);
}

Picture MakeOptionMark(bool selected) {
  Picture p(12, 12, 0x8E8F8F);  // the grey border
  for (int y = 1; y < 11; ++y)
    for (int x = 1; x < 11; ++x) p.at(x, y) = Mix(0xFCFCFB, 0xE3E2DC, x + y - 2, 18);
  if (selected) {
    for (int y = 3; y < 9; ++y)
      for (int x = 3; x < 9; ++x) p.at(x, y) = Mix(0x4C86F0, 0x1848C0, x + y - 6, 10);
  }
  return p;
}

Picture MakeIcon() {
  // A night sky with three soft puffs of light rising through it.
  Picture p(32, 32, 0);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) p.at(x, y) = Mix(0x0A1030, 0x2A4C90, y, 31);
  struct Puff { int cx, cy, r2, strength; };  // centre in half pixels, radius squared in half pixels
  const Puff puffs[] = {{22, 44, 12 * 12 * 4, 255}, {40, 26, 9 * 9 * 4, 220}, {26, 12, 6 * 6 * 4, 170}};
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      int add = 0;
      for (const Puff& f : puffs) {
        const int dx = 2 * x + 1 - f.cx, dy = 2 * y + 1 - f.cy;
        const int d2 = dx * dx + dy * dy;
        if (d2 >= f.r2) continue;
        const long long k = f.r2 - d2;  // (1 - d^2/r^2)^2 falloff, in integers
        add += int(f.strength * k * k / (static_cast<long long>(f.r2) * f.r2));
      }
      const Rgb c = p.at(x, y);
      p.at(x, y) = Make(std::min(255, R(c) + add), std::min(255, G(c) + add), std::min(255, B(c) + add));
    }
  }
  return p;
}

std::vector<std::uint8_t> EncodeBmp24(const Picture& p) {
  const std::uint32_t image = std::uint32_t(RowBytes24(p.width)) * std::uint32_t(p.height);
  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, 14 + 40 + image);
  Put32(out, 0);
  Put32(out, 14 + 40);
  PutInfoHeader(out, p.width, p.height, image);
  PutRowsBottomUp(out, p);
  return out;
}

std::vector<std::uint8_t> EncodeIco24(const Picture& p) {
  const int maskRow = ((p.width + 31) / 32) * 4;
  const std::uint32_t colour = std::uint32_t(RowBytes24(p.width)) * std::uint32_t(p.height);
  const std::uint32_t mask = std::uint32_t(maskRow) * std::uint32_t(p.height);
  const std::uint32_t image = 40 + colour + mask;
  std::vector<std::uint8_t> out;
  Put16(out, 0);  // ICONDIR
  Put16(out, 1);
  Put16(out, 1);
  out.push_back(std::uint8_t(p.width));  // ICONDIRENTRY
  out.push_back(std::uint8_t(p.height));
  out.push_back(0);
  out.push_back(0);
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, image);
  Put32(out, 6 + 16);
  PutInfoHeader(out, p.width, p.height * 2, colour + mask);  // colour and mask stacked
  PutRowsBottomUp(out, p);
  out.insert(out.end(), mask, 0);  // every pixel opaque
  return out;
}

std::vector<ArtFile> MakeAllArt() {
  std::vector<ArtFile> files;
  for (const char* name : {"Normal", "HighLight", "HighLightSelect", "Pressed", "Selected", "Disable"})
    files.push_back({std::string("faces/") + name + ".bmp", EncodeBmp24(MakeFace(name))});
  files.push_back({"options/Unselected.bmp", EncodeBmp24(MakeOptionMark(false))});
  files.push_back({"options/Selected.bmp", EncodeBmp24(MakeOptionMark(true))});
  files.push_back({"sorvane.ico", EncodeIco24(MakeIcon())});
  return files;
}

}  // namespace sorvane::tools
