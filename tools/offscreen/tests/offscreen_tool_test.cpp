// The offscreen tool as a user runs it: files, sizes, pictures, bad input.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "offscreen.h"

namespace {

std::string TempDir() {
  char pattern[] = "/tmp/sorvane-offscreen-XXXXXX";
  const char* dir = mkdtemp(pattern);
  return dir ? dir : "/tmp";
}

int RunTool(const std::string& args) {
  const std::string cmd = std::string(SORVANE_OFFSCREEN_PATH) + " " + args + " >/dev/null 2>&1";
  const int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(OffscreenTool, WritesEveryFrameAsAPictureOfTheAnimation) {
  const std::string dir = TempDir();
  ASSERT_EQ(RunTool("--size 320x180 --steps 0.5,0.02x10 --frames all --out " + dir), 0);
  for (int n = 1; n <= 11; ++n) {
    char name[64];
    std::snprintf(name, sizeof name, "/frame-%05d.png", n);
    EXPECT_EQ(access((dir + name).c_str(), R_OK), 0) << name;
  }
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(sorvane::offscreen::ReadPng(dir + "/frame-00011.png", &w, &h, &rgb));
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 180);
  long lit = 0;
  for (size_t i = 0; i < rgb.size(); i += 3) lit += rgb[i] > 30;
  EXPECT_GT(lit, 200);
  EXPECT_EQ(rgb[0], 0);  // top-left corner
  std::system(("rm -rf " + dir).c_str());
}

TEST(OffscreenTool, LastFrameToANamedFileAndFadedOutAfterEscape) {
  const std::string dir = TempDir();
  const std::string file = dir + "/still.png";
  ASSERT_EQ(RunTool("--size 152x112 --steps 0.016x200 --escape-at 50 --out " + file), 0);
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(sorvane::offscreen::ReadPng(file, &w, &h, &rgb));
  EXPECT_EQ(w, 152);
  EXPECT_EQ(h, 112);
  // Escape at 0.8 s: every puff is gone by 2.8 s; the last frame (3.2 s) is black.
  for (uint8_t v : rgb) ASSERT_EQ(v, 0);
  std::system(("rm -rf " + dir).c_str());
}

TEST(OffscreenTool, RejectsBadArgumentsWithUsage) {
  EXPECT_EQ(RunTool(""), 2);
  EXPECT_EQ(RunTool("--steps abc"), 2);
  EXPECT_EQ(RunTool("--steps 0.1x0"), 2);
  EXPECT_EQ(RunTool("--steps -0.1"), 2);
  EXPECT_EQ(RunTool("--steps 0.1,,0.2"), 2);
  EXPECT_EQ(RunTool("--steps nan"), 2);
  EXPECT_EQ(RunTool("--steps 0.1 --size 0x0"), 2);
  EXPECT_EQ(RunTool("--steps 0.1 --size 100"), 2);
  EXPECT_EQ(RunTool("--steps 0.1 --frames some"), 2);
  EXPECT_EQ(RunTool("--steps"), 2);
}

TEST(ParseSteps, ExpandsRepeatsInOrder) {
  std::vector<float> steps;
  std::string error;
  ASSERT_TRUE(sorvane::offscreen::ParseSteps("0.5,0.016x3,0", &steps, &error));
  EXPECT_EQ(steps, (std::vector<float>{0.5f, 0.016f, 0.016f, 0.016f, 0.0f}));
  EXPECT_FALSE(sorvane::offscreen::ParseSteps("0.5x2y", &steps, &error));
  EXPECT_FALSE(sorvane::offscreen::ParseSteps("1e40", &steps, &error));
  EXPECT_FALSE(sorvane::offscreen::ParseSteps("0.1x99999999999", &steps, &error));
}

}  // namespace
