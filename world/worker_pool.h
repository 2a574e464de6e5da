#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace prallwerk {

// Threads that run one job together and wait for the next: the caller's own
// thread and count - 1 more, started at construction and kept until the
// pool goes. run(job) calls job(worker) once on each of them, worker 0 on the
// caller's thread, and returns when all have returned. The job shares out
// its work itself. Where the build has no threads (WebAssembly without
// shared memory), a pool of any count runs on the caller's thread alone.
class WorkerPool {
public:
    explicit WorkerPool(int count);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // The threads a job runs on, the caller's included.
    int count() const { return static_cast<int>(threads_.size()) + 1; }

    // job(worker) on every thread; job is called as job(int).
    template <class Job>
    void run(Job& job) {
        runJob([](void* j, int worker) { (*static_cast<Job*>(j))(worker); }, &job);
    }

    // Whether this build can start threads at all.
    static bool threadsAvailable();

private:
    // A job without an allocation: a function and what it works on.
    using JobFunction = void (*)(void* job, int worker);
    void runJob(JobFunction function, void* job);
    void serve(int worker);

    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    JobFunction function_ = nullptr;
    void* job_ = nullptr;
    unsigned long round_ = 0;  // jobs handed out so far
    int busy_ = 0;             // threads still in the current job
    bool stopping_ = false;
};

}  // namespace prallwerk
