// sorvane-facegen OUTDIR: writes the saver's pictures (button faces, option
// marks, window icon) below OUTDIR, normally saver/resources.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "art.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path root(argv[1]);
  for (const auto& file : sorvane::tools::MakeAllArt()) {
    const fs::path path = root / fs::path(file.path);
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.bytes.data()), std::streamsize(file.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
      return 1;
    }
    std::printf("%s\n", path.string().c_str());
  }
  return 0;
}
