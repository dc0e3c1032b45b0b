#include "base/Diagnostics.hpp"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/Translate.hpp"

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

std::string FatalReportText(const char* unit, const std::string& file) {
  std::string text = Tr("An error occurred, so Quadrel will close.");
  if (!file.empty()) {
    // The full path, so the player can find the file (the game runs in its
    // data folder, which the relative path would not name).
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(file, ec);
    text += "\r\n" + Tr("File: %s", ec ? file : full.lexically_normal().string());
    text += "\r\n";
    text += Tr("Reinstall Quadrel to restore its missing or damaged files, then start it again.");
  } else if (unit && std::strcmp(unit, "Direct3D") == 0) {
    text += "\r\n";
    text += Tr("Quadrel needs OpenGL 3.3: update the graphics driver, then start it again.");
  } else {
    text += "\r\n";
    text += Tr("Close other programs to free memory, then start Quadrel again.");
  }
  return text;
}

std::string BoxTitle(const std::string& caption) {
  return caption == "Error" ? Tr("Quadrel - Error") : Tr("Quadrel - Notice");
}

void ReportFatalError(const std::string& text, const char* unit, int,
                      const std::string& file) {
  Report("Debug", text, file);
  Report("Error", FatalReportText(unit, file), "");
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
