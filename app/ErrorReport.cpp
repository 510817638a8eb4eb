#include "ErrorReport.h"

#include "Latin1.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>
#include <map>
#include <utility>
#include <vector>

namespace quorvane {

namespace {

struct OpenBox
{
    QMessageBox *box = nullptr;
    std::vector<std::function<void()>> dismissed;
};

// The boxes on screen, by their text.
std::map<std::string, OpenBox> &OpenBoxes()
{
    static std::map<std::string, OpenBox> boxes;
    return boxes;
}

void ShowMessageBox(const std::string &text, std::function<void()> dismissed)
{
    auto &boxes = OpenBoxes();
    if (auto it = boxes.find(text); it != boxes.end()) {
        if (dismissed)
            it->second.dismissed.push_back(std::move(dismissed));
        it->second.box->raise();
        return;
    }
    auto *box = new QMessageBox(
        QMessageBox::Critical, QApplication::applicationName(), L1(text), QMessageBox::Ok);
    // A modal box would leave the bar dead with nothing saying why, and one below the user's
    // window (where a window manager may put a box it does not focus) would not be seen.
    box->setWindowModality(Qt::NonModal);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->setAttribute(Qt::WA_DeleteOnClose);
    OpenBox &entry = boxes[text];
    entry.box = box;
    if (dismissed)
        entry.dismissed.push_back(std::move(dismissed));
    QObject::connect(box, &QDialog::finished, [text] {
        auto node = OpenBoxes().extract(text);
        if (node)
            for (const auto &f : node.mapped().dismissed)
                f();
    });
    QObject::connect(box, &QObject::destroyed, [text, box] {
        auto &open = OpenBoxes();
        if (auto it = open.find(text); it != open.end() && it->second.box == box)
            open.erase(it);
    });
    box->show();
}

ErrorReporter &Recorder()
{
    static ErrorReporter recorder;
    return recorder;
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
    Recorder() = std::move(reporter);
}

void ReportError(const std::string &message, std::function<void()> dismissed)
{
    const std::string text = ErrorReportText(message);
    if (const ErrorReporter &recorder = Recorder()) {
        recorder(text);
        if (dismissed)
            dismissed();
        return;
    }
    ShowMessageBox(text, std::move(dismissed));
}

void Guarded(const std::function<void()> &action, std::function<void()> then)
{
    try {
        action();
    } catch (const std::exception &e) {
        ReportError(e.what(), std::move(then));
        return;
    }
    if (then)
        then();
}

} // namespace quorvane
