#include "game/Diagnostics.hpp"

#include <cstdio>

namespace quadrel {
namespace {

class StderrSink final : public MessageSink {
 public:
  void ShowMessage(const std::string& caption, const std::string& text) override {
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
  }
  void RequestQuit(int) override {}
};

StderrSink stderrSink;
MessageSink* currentSink = &stderrSink;

}  // namespace

MessageSink* SetMessageSink(MessageSink* sink) {
  MessageSink* previous = currentSink;
  currentSink = sink ? sink : &stderrSink;
  return previous;
}

MessageSink& CurrentMessageSink() { return *currentSink; }

void ShowDebugMessage(const std::string& text) { currentSink->ShowMessage("Debug", text); }

std::string FatalReportText(const char* unit, int line) {
  // The units are named as "<name>.cpp" in the report, as the message expects
  // a file name and an extension.
  char buffer[256];
  std::snprintf(buffer, sizeof buffer,
                "何らかのエラーが発生したためアプリケーションを終了します\r\nファイル : %s%s\r\n行番号 : %d",
                unit, ".cpp", line);
  return buffer;
}

void ReportFatalError(const std::string& text, const char* unit, int line) {
  currentSink->ShowMessage("Debug", text);
  currentSink->ShowMessage("Error", FatalReportText(unit, line));
  currentSink->RequestQuit(1);
}

}  // namespace quadrel
