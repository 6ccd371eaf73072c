// Shared set-up of the Sorvane.scr end-to-end cases.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "os_driver.h"

namespace sorvane::e2e {

inline constexpr char kEngineTitle[] = "SorvaneVC";
inline constexpr char kSaverMarker[] = "Sorvane_Main";
inline constexpr char kDialogMarker[] = "<Sorvane>";
inline constexpr char kAppTitle[] = "Sorvane (ScreenSaver)";

// Wine starts a program in about a second, more on a busy machine.
inline constexpr DWORD kStartTimeoutMs = 20000;

// Each case works in its own copy of the programs and leaves nothing running.
class ScrCase : public ::testing::Test {
 protected:
  void SetUp() override { KillLeftovers(); }
  void TearDown() override { KillLeftovers(); }

  static void KillLeftovers() {
    KillOwnersOf({kEngineTitle, kSaverMarker, kDialogMarker, kAppTitle});
  }

  // A case folder with Sorvane.scr and, unless told otherwise, the engine.
  static void Install(CaseFolder& folder, bool with_engine = true,
                      const char* engine_from = "Sorvane.dll") {
    ASSERT_TRUE(folder.Copy("Sorvane.scr", "Sorvane.scr"));
    if (with_engine) {
      ASSERT_TRUE(folder.Copy(engine_from, "Sorvane.dll"));
    }
  }

  static Process StartScr(const CaseFolder& folder, const std::string& arguments) {
    return StartProgram(folder.File("Sorvane.scr"), arguments);
  }
};

}  // namespace sorvane::e2e
