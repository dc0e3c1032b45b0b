// User-facing reports. The platform layer installs a sink that shows message
// boxes; the default writes to standard error, and tests install their own.
#pragma once

#include <string>

namespace quadrel {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // caption is "Debug" or "Error"; text is UTF-8.
  virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
  // Ends the program's loop at its next pass with this exit code.
  virtual void RequestQuit(int exitCode) = 0;
};

// nullptr restores the standard-error sink. Returns the previous sink.
MessageSink* SetMessageSink(MessageSink* sink);
MessageSink& CurrentMessageSink();

void ShowDebugMessage(const std::string& text);
// Shows text, then the fixed fatal report naming unit and line, and asks the
// program to end with exit code 1.
void ReportFatalError(const std::string& text, const char* unit, int line);
// The fixed second text of a fatal report.
std::string FatalReportText(const char* unit, int line);

}  // namespace quadrel
