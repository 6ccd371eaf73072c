#include "utilities.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace sorvane::saver {
namespace {

using testing::TempFolder;
using testing::WriteBytes;
using ::testing::ElementsAre;

TEST(FileExists, TrueOnlyForFilesThatOpenForReading) {
  TempFolder dir;
  const std::string empty = dir / "empty.mp3";
  ASSERT_TRUE(WriteBytes(empty, ""));
  EXPECT_TRUE(FileExists(empty));
  EXPECT_TRUE(FileExists(empty + "\\"));    // one trailing backslash is dropped
  EXPECT_FALSE(FileExists(empty + "\\\\"));  // only one
  EXPECT_FALSE(FileExists(dir / "gone.mp3"));
  EXPECT_FALSE(FileExists(dir.path()));       // a folder
  EXPECT_FALSE(FileExists(dir.path() + "\\"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists("\\"));
  EXPECT_FALSE(FileExists(std::string("\0", 1)));
  EXPECT_FALSE(FileExists(empty + std::string("\0", 1) + "x"));  // a NUL inside the path
  EXPECT_FALSE(FileExists(dir / "a<b|c?.mp3"));
  EXPECT_FALSE(FileExists(std::string(5000, 'x')));
  EXPECT_FALSE(FileExists(empty + (dir / "x").substr(dir.path().size())));  // under a file
}

// 表 is 95 5C in code page 932: its second byte is the backslash's.
TEST(FileExists, ABackslashByteInsideACharacterIsNoBackslash) {
  TempFolder dir;
  const std::string hyou = "\x95\x5c";
#ifdef _WIN32
  ASSERT_TRUE(CreateDirectoryA((dir / ("d" + hyou)).c_str(), nullptr));
#else
  ASSERT_EQ(mkdir((dir / ("d" + hyou)).c_str(), 0755), 0);
#endif
  ASSERT_TRUE(WriteBytes(dir / ("m" + hyou), "RIFF"));
  ASSERT_TRUE(WriteBytes(dir / ("d" + hyou) + (dir / "x.wav").substr(dir.path().size()), "RIFF"));
  // The program's own form of the paths: backslashes between the folders.
  const std::string file = dir.path() + "\\m" + hyou;
  EXPECT_TRUE(FileExists(file));
  EXPECT_TRUE(FileExists(file + "\\"));  // a real backslash after it is still dropped
  EXPECT_TRUE(FileExists(dir.path() + "\\d" + hyou + "\\x.wav"));
  EXPECT_FALSE(FileExists(dir.path() + "\\d" + hyou));  // the folder itself
  EXPECT_FALSE(FileExists(dir.path() + "\\d" + hyou + "\\"));
}

#ifdef _WIN32
TEST(FileExists, FileHeldExclusivelyByAnotherProgramCountsAsMissing) {
  TempFolder dir;
  const std::string path = dir / "held.wav";
  ASSERT_TRUE(WriteBytes(path, "RIFF"));
  HANDLE shared = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(shared, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(FileExists(path));  // open elsewhere for reading: still usable
  CloseHandle(shared);
  // Open elsewhere for reading and deleting, sharing everything: not exclusive.
  HANDLE deletable = CreateFileA(path.c_str(), GENERIC_READ | DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(deletable, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(FileExists(path));
  CloseHandle(deletable);
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FileExists(path));
  CloseHandle(held);
  EXPECT_TRUE(FileExists(path));
}
#else
TEST(FileExists, SpecialFilesAreNotMusicFiles) {
  TempFolder dir;
  const std::string fifo = dir / "pipe.wav";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_FALSE(FileExists(fifo));  // and returns at once instead of waiting for a writer
  EXPECT_FALSE(FileExists("/dev/null"));
  // The program's own paths use backslashes.
  ASSERT_TRUE(WriteBytes(dir / "a.mp3", "x"));
  EXPECT_TRUE(FileExists(dir.path() + "\\a.mp3"));
}
#endif

class RecordingZoomPort : public ZoomPort {
 public:
  bool window_known = true;
  std::vector<std::string> calls;
  static std::string Text(const ZoomRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
  }
  void GetWindowRect(std::uintptr_t window, ZoomRect* rect) override {
    calls.push_back("rect " + std::to_string(window));
    if (window_known) *rect = ZoomRect{100, 50, 579, 302};
  }
  void DrawAnimatedRects(std::uintptr_t window, int animation, const ZoomRect& from,
                         const ZoomRect& to) override {
    calls.push_back("animate " + std::to_string(window) + " " + std::to_string(animation) + " " +
                    Text(from) + " -> " + Text(to));
  }
};

TEST(Zoom, OpensFromTheOriginPointAndClosesBackIntoIt) {
  RecordingZoomPort port;
  ZoomOrigin = ZoomPoint{-5, 700};
  ZoomOpenWith(port, 42);
  ZoomCloseWith(port, 42);
  EXPECT_THAT(port.calls, ElementsAre("rect 42", "animate 42 3 -5,700,-5,700 -> 100,50,579,302",
                                      "rect 42", "animate 42 3 100,50,579,302 -> -5,700,-5,700"));
  port.calls.clear();
  port.window_known = false;  // the result of the rectangle call is not examined
  ZoomOrigin = ZoomPoint{};
  ZoomOpenWith(port, 7);
  EXPECT_THAT(port.calls, ElementsAre("rect 7", "animate 7 3 0,0,0,0 -> 0,0,0,0"));
}

#ifdef _WIN32
TEST(Zoom, RunsOnARealWindowAndOnAWindowThatIsGone) {
  HWND w = CreateWindowExA(0, "STATIC", "zoom", WS_POPUP | WS_VISIBLE, 120, 80, 479, 252, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(w, nullptr);
  ZoomRect r;
  PlatformZoomPort().GetWindowRect(reinterpret_cast<std::uintptr_t>(w), &r);
  EXPECT_EQ(RecordingZoomPort::Text(r), "120,80,599,332");
  ZoomOrigin = ZoomPoint{10, 20};
  ZoomOpen(reinterpret_cast<std::uintptr_t>(w));
  ZoomClose(reinterpret_cast<std::uintptr_t>(w));
  DestroyWindow(w);
  ZoomOpen(reinterpret_cast<std::uintptr_t>(w));  // stale handle: nothing happens, no crash
  ZoomRect untouched{1, 2, 3, 4};
  PlatformZoomPort().GetWindowRect(reinterpret_cast<std::uintptr_t>(w), &untouched);
  EXPECT_EQ(RecordingZoomPort::Text(untouched), "1,2,3,4");
}
#endif

}  // namespace
}  // namespace sorvane::saver
