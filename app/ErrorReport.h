#pragma once

#include <functional>
#include <string>

namespace quorvane {

// The text the default error report shows: a "." is added when the last character sorts after
// it, so "Unable to write to x.ini" reads as a sentence and "Host not found." stays as it is.
std::string ErrorReportText(const std::string &message);

// Shows a report and returns at once: nothing waits for the user. The program's default is a
// message box titled with the application title, with an error icon and one OK button, kept above
// other windows and modal to none, so the bar keeps ticking, fading and dragging under it. A text
// already on screen is not shown a second time. Tests install a recorder instead.
using ErrorReporter = std::function<void(const std::string &text)>;

void SetErrorReporter(ErrorReporter reporter);

// dismissed, when given, runs once the user has closed the box with this text (the one already on
// screen, if any), for a caller that must go on only then. With a recorder installed it runs as
// soon as the recorder returns.
void ReportError(const std::string &message, std::function<void()> dismissed = {});

// Runs one timer event or command, handing whatever escapes it to the error report, so the
// program runs on. then, when given, runs afterwards: at once when nothing escaped, otherwise when
// the report has been dismissed.
void Guarded(const std::function<void()> &action, std::function<void()> then = {});

} // namespace quorvane
