// Collects the messages the network code shows, in order, for one test.
#pragma once

#include <string>
#include <vector>

#include "base/Diagnostics.hpp"

namespace quadrel::test {

class MessageLog final : public MessageSink {
 public:
  MessageLog() { previous_ = SetMessageSink(this); }
  ~MessageLog() override { SetMessageSink(previous_); }
  void ShowMessage(const std::string&, const std::string& text) override { shown.push_back(text); }
  void RequestQuit(int code) override { quitCode = code; }

  std::vector<std::string> shown;
  int quitCode = -1;

 private:
  MessageSink* previous_ = nullptr;
};

}  // namespace quadrel::test
