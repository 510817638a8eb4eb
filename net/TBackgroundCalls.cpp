#include "TBackgroundCalls.h"

#include <list>
#include <thread>

namespace quorvane {

namespace {

struct Worker
{
    std::thread Thread;
    std::atomic<bool> Done {false};
};

// Never destroyed: a worker may still be at work when the process ends, and a joinable thread
// destroyed with its list would end the process then.
struct Workers
{
    std::mutex Lock;
    std::list<Worker> List;
    std::atomic<int> AtWork {0};
};

Workers &TheWorkers()
{
    static auto *workers = new Workers;
    return *workers;
}

// A program that ends without JoinAllIfDone (a test, say) joins the workers that are done and
// lets the others go, so it leaves no joinable thread behind.
struct Reaper
{
    ~Reaper()
    {
        Workers &w = TheWorkers();
        const std::lock_guard<std::mutex> lock(w.Lock);
        // The entries stay: a worker let go still marks itself done in its own.
        for (Worker &worker : w.List) {
            if (worker.Done && worker.Thread.joinable())
                worker.Thread.join();
            else if (worker.Thread.joinable())
                worker.Thread.detach();
        }
    }
} gReaper;

} // namespace

void TBackgroundCalls::Start(std::function<void()> job)
{
    Workers &w = TheWorkers();
    const std::lock_guard<std::mutex> lock(w.Lock);
    // Those done by now end their threads in a moment: joining them keeps the list short.
    for (auto it = w.List.begin(); it != w.List.end();) {
        if (it->Done) {
            if (it->Thread.joinable())
                it->Thread.join();
            it = w.List.erase(it);
        } else {
            ++it;
        }
    }
    Worker &worker = w.List.emplace_back();
    w.AtWork.fetch_add(1);
    try {
        worker.Thread = std::thread([&w, &worker, job = std::move(job)]() mutable {
            job();
            job = nullptr;
            w.AtWork.fetch_sub(1);
            worker.Done = true;
        });
    } catch (...) {
        w.AtWork.fetch_sub(1);
        w.List.pop_back();
        throw;
    }
}

bool TBackgroundCalls::JoinAllIfDone()
{
    Workers &w = TheWorkers();
    const std::lock_guard<std::mutex> lock(w.Lock);
    if (w.AtWork.load() > 0)
        return false;
    for (Worker &worker : w.List) {
        if (worker.Thread.joinable())
            worker.Thread.join();
    }
    w.List.clear();
    return true;
}

} // namespace quorvane
