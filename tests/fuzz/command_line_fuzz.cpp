// Start-up on random command lines: the switch letter is one character of
// the line (or nothing), and every line leads to exactly one outcome, in the
// order start-up promises: the preview reads no settings, and whatever ends
// the program ends it once.
#include <cstdint>
#include <string>
#include <vector>

#include "saver/launcher/main.h"

using namespace sorvane::saver;

namespace {

class Recorder : public StartupPort {
 public:
  bool marker = false, engine = true;
  std::vector<std::string> calls;
  bool WindowExists(const std::string&) override { return marker; }
  void StartPreview(int32_t) override { calls.push_back("preview"); }
  void LoadSettings() override { calls.push_back("load"); }
  bool FileExists(const std::string&) override { return engine; }
  void ShowMessage(const std::string&) override { calls.push_back("message"); }
  void ShowSettingsDialog() override { calls.push_back("dialog"); }
  void HideCursor() override { calls.push_back("hide"); }
  void LoadSaverForm() override { calls.push_back("saver"); }
  void EndProgram() override { calls.push_back("end"); }
};

size_t Count(const std::vector<std::string>& v, const char* what) {
  size_t n = 0;
  for (const auto& s : v) n += s == what;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string line(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string letter = SwitchLetter(line);
  if (letter.size() > 2 || (line.size() < 2 && !letter.empty())) __builtin_trap();
  PreviewParentHandle(line);

  Recorder port;
  port.marker = data[0] & 1;
  port.engine = data[0] & 2;
  const StartupOutcome outcome = Main(port, line, "C:\\s");
  const auto& c = port.calls;
  if ((outcome == StartupOutcome::Ended) != (Count(c, "end") == 1)) __builtin_trap();
  if (Count(c, "end") > 1 || Count(c, "preview") + Count(c, "saver") + Count(c, "dialog") > 1) __builtin_trap();
  if (Count(c, "preview") && Count(c, "load")) __builtin_trap();
  if (port.marker && c != std::vector<std::string>{"end"}) __builtin_trap();
  if (Count(c, "hide") && letter != "S") __builtin_trap();
  return 0;
}
