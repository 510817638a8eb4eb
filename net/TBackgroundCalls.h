#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace quorvane {

// Runs blocking network work on a thread of its own and hands the result to the thread that owns
// this object, through its event queue. The threads are never waited for: a name lookup that
// never answers cannot hold up a close. Once this object is gone, late results are dropped and
// the work is told so through the flag it is given, so a download can stop early.
class TBackgroundCalls : public QObject
{
public:
    // Runs each delivery, so what escapes it reaches the program's error report.
    using Guard = std::function<void(const std::function<void()> &)>;

    explicit TBackgroundCalls(QObject *parent = nullptr)
        : QObject(parent)
        , FMailbox(std::make_shared<Mailbox>())
    {
        FMailbox->target = this;
    }
    ~TBackgroundCalls() override
    {
        FMailbox->gone = true;
        const std::lock_guard<std::mutex> lock(FMailbox->mutex);
        FMailbox->target = nullptr;
    }

    void SetGuard(Guard guard) { FGuard = std::move(guard); }

    template<class Result>
    void Run(std::function<Result(const std::atomic<bool> &gone)> work,
        std::function<void(const Result &)> done)
    {
        std::thread([mailbox = FMailbox, work = std::move(work), done = std::move(done)]() {
            Result result = work(mailbox->gone);
            const std::lock_guard<std::mutex> lock(mailbox->mutex);
            if (mailbox->target)
                QMetaObject::invokeMethod(
                    mailbox->target,
                    [target = mailbox->target, done, result = std::move(result)] {
                        target->Deliver([&] { done(result); });
                    },
                    Qt::QueuedConnection);
        }).detach();
    }

private:
    struct Mailbox
    {
        std::mutex mutex;
        TBackgroundCalls *target = nullptr;
        std::atomic<bool> gone {false};
    };

    void Deliver(const std::function<void()> &delivery)
    {
        if (FGuard)
            FGuard(delivery);
        else
            delivery();
    }

    std::shared_ptr<Mailbox> FMailbox;
    Guard FGuard;
};

} // namespace quorvane
