// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModuleAudio/WorkerPool.h"

#include <algorithm>

namespace moduleaudio {

WorkerPool::WorkerPool(int workers) : workers_(std::max(1, workers)) {}

int WorkerPool::CoreCount()
{
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

void WorkerPool::Submit(Task task)
{
    {
        std::lock_guard lock(mutex_);
        if (closing_)
            return;
        tasks_.push_back(std::move(task));
        if (threads_.empty())
            for (int i = 0; i < workers_; ++i)
                threads_.emplace_back([this] { Work(); });
    }
    ready_.notify_one();
}

void WorkerPool::Stop()
{
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        stop_ = true;
        tasks_.clear();
    }
    ready_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
    threads_.clear();
}

void WorkerPool::Work()
{
    for (;;) {
        Task task;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [this] { return closing_ || !tasks_.empty(); });
            if (closing_)
                return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task(stop_);
    }
}

}  // namespace moduleaudio
