#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
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
        // Undelivered results die here, on the owner's thread, not on the worker that may hold
        // the mailbox last.
        FMailbox->pending.clear();
    }

    void SetGuard(Guard guard) { FGuard = std::move(guard); }

    template<class Result>
    void Run(std::function<Result(const std::atomic<bool> &gone)> work,
        std::function<void(const Result &)> done)
    {
        Start([mailbox = FMailbox, work = std::move(work), done = std::move(done)]() mutable {
            // Everything the worker holds goes before it is counted out.
            auto box = std::move(mailbox);
            auto job = std::move(work);
            auto doneHere = std::move(done);
            Result result = job(box->gone);
            const std::lock_guard<std::mutex> lock(box->mutex);
            if (box->target) {
                box->pending.push_back(
                    [doneHere, result = std::move(result)] { doneHere(result); });
                // Posted under the lock: the owner takes the lock before it touches the event
                // or the result, which makes the hand-over one a thread checker can see through
                // an uninstrumented Qt.
                QCoreApplication::postEvent(box->target, new QEvent(QEvent::User));
            }
        });
    }

    // For the end of the program: joins every worker when none is still at work, so none is
    // left ending its thread while the process tears down the statics it may reach (the socket
    // stack, the resolver hook, libcurl's and Qt's globals, thread-key destructors); false,
    // joining nothing, while one is at work.
    static bool JoinAllIfDone();

protected:
    // One user event per result, posted by the worker; the event itself carries nothing.
    void customEvent(QEvent *) override
    {
        std::function<void()> delivery;
        {
            const std::lock_guard<std::mutex> lock(FMailbox->mutex);
            if (FMailbox->pending.empty())
                return;
            delivery = std::move(FMailbox->pending.front());
            FMailbox->pending.pop_front();
        }
        if (FGuard)
            FGuard(delivery);
        else
            delivery();
    }

private:
    // Runs job on a thread of its own, kept joinable until a later start or the exit finds it
    // done; a worker blocked in a lookup is never waited for.
    static void Start(std::function<void()> job);

    struct Mailbox
    {
        std::mutex mutex;
        TBackgroundCalls *target = nullptr;
        std::deque<std::function<void()>> pending;
        std::atomic<bool> gone {false};
    };

    std::shared_ptr<Mailbox> FMailbox;
    Guard FGuard;
};

} // namespace quorvane
