// Scratch folders and raw file bytes for the settings tests.
#pragma once
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace sorvane::saver::testing {

// A fresh folder, removed again with everything in it.
class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> counter{0};
#ifdef _WIN32
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    path_ = std::string(base) + "sorvane_t" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(counter++);
    CreateDirectoryA(path_.c_str(), nullptr);
#else
    path_ = "/tmp/sorvane_t" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    std::filesystem::create_directories(path_);
#endif
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // A path inside the folder in the platform's own form.
  std::string operator/(const std::string& name) const {
#ifdef _WIN32
    return path_ + "\\" + name;
#else
    return path_ + "/" + name;
#endif
  }

 private:
  std::string path_;
};

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// The file's bytes, or "<missing>" when it cannot be read.
inline std::string ReadBytes(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "<missing>";
  std::string s;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  std::fclose(f);
  return s;
}

}  // namespace sorvane::saver::testing
