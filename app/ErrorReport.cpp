#include "ErrorReport.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>
#include <utility>

namespace quorvane {

namespace {

// The box does not wait: a nested modal loop would hold back the timer that raised, and the
// clock must keep running while the user reads the error.
void ShowMessageBox(const std::string &text)
{
    auto *box = new QMessageBox(QMessageBox::Critical, QApplication::applicationName(),
        QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

ErrorReporter &Reporter()
{
    static ErrorReporter reporter = ShowMessageBox;
    return reporter;
}

} // namespace

std::string ErrorReportText(const std::string &message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

void SetErrorReporter(ErrorReporter reporter)
{
    Reporter() = reporter ? std::move(reporter) : ErrorReporter(ShowMessageBox);
}

void ReportError(const std::string &message)
{
    Reporter()(ErrorReportText(message));
}

void Guarded(const std::function<void()> &action)
{
    try {
        action();
    } catch (const std::exception &e) {
        ReportError(e.what());
    }
}

} // namespace quorvane
