#pragma once

#include "Struts.h"

#include <QByteArray>
#include <QObject>
#include <QRect>

#include <functional>
#include <optional>

namespace quorvane {

// The edges Plasma's own panels reserve where they are Wayland surfaces, which X clients
// cannot see: asked of the Plasma shell, on a connection of its own that lasts only until the
// answer came, and kept until asked again.
class TPlasmaPanels
{
public:
    // `answered` runs on the toolkit's thread once an answer differs from the last.
    explicit TPlasmaPanels(std::function<void()> answered);
    ~TPlasmaPanels();
    TPlasmaPanels(const TPlasmaPanels &) = delete;
    TPlasmaPanels &operator=(const TPlasmaPanels &) = delete;

    // Asks again without waiting; a question asked while one is open is asked once it closes.
    void Ask();
    // The last answer; empty before the first or when the shell gave none.
    const QByteArray &Answer() const { return FAnswer; }

    // The panels' reserved edges as struts on an X screen of `screen` device pixels. None when
    // the answer does not account for the one work area the window manager publishes
    // (`workArea`): stale, in other coordinates, or another dock reserves rows too.
    static std::optional<std::vector<TStrut>> Struts(
        const QByteArray &answer, QSize screen, const QRect &workArea);

private:
    void Answered(const QByteArray &answer);

    QObject FContext;
    std::function<void()> FOnAnswered;
    QByteArray FAnswer;
    bool FAsking = false, FAgain = false;
};

} // namespace quorvane
