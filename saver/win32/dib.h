// Device-independent bitmaps as we make them: RGB, `bitCount` bits a pixel,
// rows top first when `topDown`, bottom first (as a .bmp file keeps them)
// otherwise. Windows only.
#pragma once
#include <windows.h>

namespace sorvane::saver {

inline BITMAPINFO DibInfo(int width, int height, WORD bitCount, bool topDown) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = topDown ? -height : height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = bitCount;
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

// A DIB section for `dc`; *bits receives its pixels.
inline HBITMAP CreateDib(HDC dc, int width, int height, WORD bitCount, bool topDown, void** bits) {
  const BITMAPINFO bi = DibInfo(width, height, bitCount, topDown);
  return CreateDIBSection(dc, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}

}  // namespace sorvane::saver
