// A music platform for tests: records every call and answers as the test
// scripts it.
#pragma once
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bgm_platform.h"

namespace sorvane::saver::testing {

class RecordingBgmPlatform : public BgmPlatform {
 public:
  struct Sent {
    std::string command;
    std::size_t capacity;
  };
  struct Scripted {
    int32_t code = 0;
    std::string reply;
  };
  struct Sound {
    std::optional<std::string> name;
    uint32_t flags;
  };

  // Scripted answers by exact command; an unscripted command succeeds with "".
  void Answer(const std::string& command, int32_t code, const std::string& reply = "") {
    answers_[command] = {code, reply};
  }
  void ErrorText(int32_t code, const std::string& text) { error_texts_[code] = text; }

  int32_t SendString(const std::string& command, std::size_t capacity,
                     std::string* reply) override {
    if (throw_everywhere) throw std::runtime_error("platform failure");
    sent.push_back({command, capacity});
    reply->clear();
    const auto it = answers_.find(command);
    const Scripted answer = it == answers_.end() ? Scripted{} : it->second;
    // Like the real service: no text without a buffer or after a failure;
    // otherwise cut to fit with its NUL.
    if (capacity > 0 && answer.code == 0) *reply = answer.reply.substr(0, capacity - 1);
    return answer.code;
  }

  bool GetErrorString(int32_t code, std::size_t capacity, std::string* text) override {
    if (throw_everywhere) throw std::runtime_error("platform failure");
    error_requests.push_back({std::to_string(code), capacity});
    text->clear();
    const auto it = error_texts_.find(code);
    if (it == error_texts_.end()) return false;
    *text = it->second.substr(0, capacity - 1);
    return true;
  }

  uint32_t WaveOutDeviceCount() override {
    if (throw_everywhere) throw std::runtime_error("platform failure");
    ++device_count_requests;
    return wave_devices;
  }

  void PlaySystemSound(const char* name, uint32_t flags) override {
    if (throw_everywhere) throw std::runtime_error("platform failure");
    sounds.push_back({name ? std::optional<std::string>(name) : std::nullopt, flags});
  }

  std::vector<std::string> Commands() const {
    std::vector<std::string> out;
    for (const Sent& s : sent) out.push_back(s.command);
    return out;
  }

  std::vector<Sent> sent;
  std::vector<Sent> error_requests;  // code as text, capacity
  std::vector<Sound> sounds;
  uint32_t wave_devices = 1;
  int device_count_requests = 0;
  bool throw_everywhere = false;

 private:
  std::map<std::string, Scripted> answers_;
  std::map<int32_t, std::string> error_texts_;
};

}  // namespace sorvane::saver::testing
