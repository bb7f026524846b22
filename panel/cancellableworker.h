// CCancellableWorker: one background job at a time on a thread of its own, with a
// cancel flag the job polls.
#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <utility>

namespace vyn {

// Owns the thread of the job it last started. Start, Stop, Join and Running are called
// from one thread, the owner's; the job runs on the worker thread and sees only its
// token. A job that throws ends as if cancelled. Destruction stops the job and waits.
class CCancellableWorker {
public:
    // What a job asks whether to go on. Copies share the flag.
    class CToken {
    public:
        bool Cancelled() const { return m_flag->load(); }

    private:
        friend class CCancellableWorker;
        explicit CToken(std::shared_ptr<std::atomic<bool>> flag) : m_flag(std::move(flag)) {}
        std::shared_ptr<std::atomic<bool>> m_flag;
    };

    CCancellableWorker() = default;
    CCancellableWorker(const CCancellableWorker&) = delete;
    CCancellableWorker& operator=(const CCancellableWorker&) = delete;
    ~CCancellableWorker() { Stop(); }

    // Stops the running job, if any, then runs job(token) on a new thread. job is
    // moved there; it may hold what cannot be copied.
    template <class Job>
    void Start(Job job) {
        Stop();
        auto flag = std::make_shared<std::atomic<bool>>(false);
        m_cancel = flag;
        m_thread = std::thread([job = std::move(job), token = CToken(std::move(flag))]() mutable {
            try {
                job(static_cast<const CToken&>(token));
            } catch (...) {
            }
        });
    }

    // Cancels the job and waits for its thread. Nothing happens without a job.
    void Stop() {
        if (m_cancel) *m_cancel = true;
        Join();
    }

    // Waits for the job to end without cancelling it; for a job that has told the
    // owner it is done.
    void Join() {
        if (m_thread.joinable()) m_thread.join();
        m_cancel.reset();
    }

    // True from Start until the job's thread is joined (the job may have ended).
    bool Running() const { return m_thread.joinable(); }

private:
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::thread m_thread;
};

}  // namespace vyn
