// The face pictures the product uses: on Windows the ones embedded in the
// test program (the same resource script as the saver's), elsewhere the
// checked-in files they are made from.
#pragma once
#include <fstream>
#include <iterator>
#include <string>

#include "face.h"
#ifdef _WIN32
#include "command_window.h"
#endif

namespace sorvane::saver::testing {

inline std::optional<Image> LoadBmpFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return DecodeBmp(bytes.data(), bytes.size());
}

inline FaceSet ProductFaces() {
#ifdef _WIN32
  return LoadFaceResources(GetModuleHandleA(nullptr));
#else
  FaceSet set;
  for (int i = 0; i < kFaceCount; ++i) {
    auto img = LoadBmpFile(std::string(SORVANE_RESOURCES_DIR) + "/faces/" + FaceName(FaceId(i)) + ".bmp");
    if (img) set.images[std::size_t(i)] = *img;
  }
  return set;
#endif
}

}  // namespace sorvane::saver::testing
