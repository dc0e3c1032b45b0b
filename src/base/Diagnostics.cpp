#include "base/Diagnostics.hpp"

#include <cstdio>

namespace quadrel {
namespace {

class StderrSink final : public MessageSink {
 public:
  // The report line is already on standard error.
  void ShowMessage(const std::string&, const std::string&) override {}
  void RequestQuit(int) override {}
};

StderrSink stderrSink;
MessageSink* currentSink = &stderrSink;
thread_local HeldReports* heldReports = nullptr;

}  // namespace

MessageSink* SetMessageSink(MessageSink* sink) {
  MessageSink* previous = currentSink;
  currentSink = sink ? sink : &stderrSink;
  return previous;
}

MessageSink& CurrentMessageSink() { return *currentSink; }

std::string ReportLine(const std::string& caption, const std::string& text,
                       const std::string& file) {
  std::string line = "quadrel: " + caption + ": ";
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') continue;
    if (text[i] == '\n') {
      line += " / ";
    } else {
      line += text[i];
    }
  }
  if (!file.empty()) line += " (file: " + file + ")";
  return line;
}

namespace {

void Report(const std::string& caption, const std::string& text, const std::string& file) {
  if (heldReports) {
    heldReports->reports.push_back(HeldReport{caption, text, file});
    return;
  }
  std::fprintf(stderr, "%s\n", ReportLine(caption, text, file).c_str());
  std::fflush(stderr);
  currentSink->ShowMessage(caption, file.empty() ? text : text + "\r\n" + file);
}

}  // namespace

void ShowDebugMessage(const std::string& text, const std::string& file) {
  Report("Debug", text, file);
}

std::string FatalReportText(const char* unit, int line) {
  // The units are named as "<name>.cpp" in the report, as the message expects
  // a file name and an extension.
  char buffer[256];
  std::snprintf(buffer, sizeof buffer,
                "何らかのエラーが発生したためアプリケーションを終了します\r\nファイル : %s%s\r\n行番号 : %d",
                unit, ".cpp", line);
  return buffer;
}

void ReportFatalError(const std::string& text, const char* unit, int line,
                      const std::string& file) {
  Report("Debug", text, file);
  Report("Error", FatalReportText(unit, line), "");
  if (heldReports) {
    if (heldReports->quitCode < 0) heldReports->quitCode = 1;
    return;
  }
  currentSink->RequestQuit(1);
}

void HoldReportsOnThisThread(HeldReports* into) { heldReports = into; }

void ShowHeldReports(const HeldReports& held) {
  for (const HeldReport& r : held.reports) Report(r.caption, r.text, r.file);
  if (held.quitCode >= 0) currentSink->RequestQuit(held.quitCode);
}

}  // namespace quadrel
