#pragma once

#include <functional>
#include <string>

namespace quorvane {

// The text the default error report shows: a "." is added when the last character sorts after
// it, so "Unable to write to x.ini" reads as a sentence and "Host not found." stays as it is.
std::string ErrorReportText(const std::string &message);

// Shows a report; the program's default is a message box titled with the application title,
// with an error icon and one OK button. Tests install a recorder instead.
using ErrorReporter = std::function<void(const std::string &text)>;

void SetErrorReporter(ErrorReporter reporter);
void ReportError(const std::string &message);

// Runs one timer event or command, handing whatever escapes it to the error report, so the
// program runs on.
void Guarded(const std::function<void()> &action);

} // namespace quorvane
