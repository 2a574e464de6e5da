#include "prallwerk/world/worker_pool.h"

namespace prallwerk {

bool WorkerPool::threadsAvailable() {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
    return false;
#else
    return true;
#endif
}

WorkerPool::WorkerPool(int count) {
    if (!threadsAvailable()) return;
    for (int w = 1; w < count; ++w) threads_.emplace_back([this, w] { serve(w); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void WorkerPool::runJob(JobFunction function, void* job) {
    if (threads_.empty()) {
        function(job, 0);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        function_ = function;
        job_ = job;
        busy_ = static_cast<int>(threads_.size());
        ++round_;
    }
    wake_.notify_all();
    function(job, 0);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return busy_ == 0; });
    function_ = nullptr;
    job_ = nullptr;
}

void WorkerPool::serve(int worker) {
    unsigned long seen = 0;
    for (;;) {
        JobFunction function;
        void* job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || round_ != seen; });
            if (stopping_) return;
            seen = round_;
            function = function_;
            job = job_;
        }
        function(job, worker);
        std::lock_guard<std::mutex> lock(mutex_);
        if (--busy_ == 0) done_.notify_one();
    }
}

}  // namespace prallwerk
