// User-facing reports. Every report is first written to standard error as
// one UTF-8 line naming the file concerned, if any; then the installed sink
// shows it (the platform layer's sink shows message boxes; tests install
// their own; the default shows nothing more).
#pragma once

#include <string>
#include <vector>

namespace quadrel {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // caption is "Debug" (a notice) or "Error" (the program ends); the sink
// titles its box with BoxTitle(caption). text is UTF-8.
  virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
  // Ends the program's loop at its next pass with this exit code.
  virtual void RequestQuit(int exitCode) = 0;
};

// nullptr restores the standard-error sink. Returns the previous sink.
MessageSink* SetMessageSink(MessageSink* sink);
MessageSink& CurrentMessageSink();

// file: the file the message is about ("" when none); the box names it too.
void ShowDebugMessage(const std::string& text, const std::string& file = "");
// Shows text, then the fatal report (FatalReportText), and asks the program
// to end with exit code 1. unit and line identify the check for developers;
// the player is told the file and what to do instead.
void ReportFatalError(const std::string& text, const char* unit, int line,
                      const std::string& file = "");
// The standard-error line of a report: "quadrel: <caption>: <text>[ (file:
// <file>)]", line breaks of the text turned into " / ".
std::string ReportLine(const std::string& caption, const std::string& text,
                       const std::string& file);
// The second text of a fatal report, in the player's language: the program
// closes; the file concerned; what the player can do about it (reinstall for
// a file, a graphics driver for unit "Direct3D", free memory otherwise).
std::string FatalReportText(const char* unit, const std::string& file);
// The title of a message box for caption "Debug" or "Error".
std::string BoxTitle(const std::string& caption);

// Reports made on a worker thread wait for the thread that shows boxes.
struct HeldReport {
  std::string caption, text, file;
};
struct HeldReports {
  std::vector<HeldReport> reports;
  int quitCode = -1;  // a fatal report's quit request, -1 when none
};
// While into is set, reports made on the calling thread (and a fatal
// report's quit request) are kept there instead of shown; nullptr ends that.
void HoldReportsOnThisThread(HeldReports* into);
// Shows held reports in their order as if made now, then passes the quit request on.
void ShowHeldReports(const HeldReports& held);

}  // namespace quadrel
