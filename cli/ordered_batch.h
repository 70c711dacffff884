// Runs one job per item on a number of threads and hands the results over in
// the order of the items, each as soon as it and all before it are done.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace ternwick {

// The number of threads for -j: jobs itself, or one a core for 0; never more than the items.
inline unsigned threadCount(unsigned jobs, std::size_t items) {
    unsigned threads = jobs != 0 ? jobs : std::max(1u, std::thread::hardware_concurrency());
    if (items < threads) threads = static_cast<unsigned>(std::max<std::size_t>(items, 1));
    return threads;
}

// work(i) runs on one of the threads and must not throw; emit(i, result)
// runs on the calling thread in the order of i; progress(done) runs there
// too, whenever some job has finished.
template <typename Result>
void runOrdered(std::size_t items, unsigned threads, const std::function<Result(std::size_t)>& work,
                const std::function<void(std::size_t, Result&)>& emit,
                const std::function<void(std::size_t)>& progress) {
    std::vector<std::optional<Result>> results(items);
    std::mutex lock;
    std::condition_variable finished;
    std::atomic<std::size_t> next{0};
    std::size_t done = 0;

    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (std::size_t i = next++; i < items; i = next++) {
                Result result = work(i);
                std::lock_guard<std::mutex> guard(lock);
                results[i] = std::move(result);
                ++done;
                finished.notify_one();
            }
        });
    }
    std::size_t emitted = 0;
    std::size_t reported = 0;
    while (emitted < items) {
        std::unique_lock<std::mutex> guard(lock);
        finished.wait(guard, [&] { return results[emitted].has_value() || done != reported; });
        reported = done;
        std::size_t ready = emitted;
        while (ready < items && results[ready].has_value()) ++ready;
        guard.unlock();
        // Results before `ready` are no longer touched by the workers.
        for (; emitted < ready; ++emitted) {
            emit(emitted, *results[emitted]);
            results[emitted].reset();
        }
        progress(reported);
    }
    for (std::thread& worker : workers) worker.join();
}

}  // namespace ternwick
