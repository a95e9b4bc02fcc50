// SPDX-License-Identifier: GPL-3.0-or-later
// A pool of worker threads that run tasks in the order given. Each task is
// handed the pool's stop flag, which it checks as it goes; Stop sets it,
// drops the tasks not yet begun and waits for the running ones to return.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace moduleaudio {

class WorkerPool {
public:
    using Task = std::function<void(const std::atomic<bool>& stop)>;

    // workers threads, started with the first task.
    explicit WorkerPool(int workers);
    ~WorkerPool() { Stop(); }
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void Submit(Task task);
    // Sets the stop flag, drops the waiting tasks and joins the workers.
    void Stop();

    // One worker per core the system reports (at least one).
    static int CoreCount();

private:
    void Work();

    int workers_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Task> tasks_;
    bool closing_ = false;
    std::atomic<bool> stop_ {false};
};

}  // namespace moduleaudio
