#pragma once
// A value written by one thread and read by any other without a lock: the writer bumps a
// sequence number around the copy, a reader retries until it has read a copy no write overlapped.
// Readers never block the writer; a reader sees either the old or the new value whole.

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <type_traits>

namespace marevo {

template <class T>
class TSeqLock {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    TSeqLock() { Store(T{}); }
    TSeqLock(const TSeqLock&) = delete;
    TSeqLock& operator=(const TSeqLock&) = delete;

    // One writer at a time.
    void Store(const T& value) noexcept {
        Words words{};
        std::memcpy(words.data(), &value, sizeof(T));
        const std::uint32_t s = sequence_.load(std::memory_order_relaxed);
        sequence_.store(s + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        for (std::size_t i = 0; i < WordCount; ++i)
            words_[i].store(words[i], std::memory_order_relaxed);
        sequence_.store(s + 2, std::memory_order_release);
    }

    // Any thread.
    T Load() const noexcept {
        Words words{};
        for (;;) {
            const std::uint32_t before = sequence_.load(std::memory_order_acquire);
            if (before & 1u) {
                std::this_thread::yield();
                continue;
            }
            for (std::size_t i = 0; i < WordCount; ++i)
                words[i] = words_[i].load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if (sequence_.load(std::memory_order_relaxed) == before)
                break;
        }
        T value{};
        std::memcpy(static_cast<void*>(&value), words.data(), sizeof(T));
        return value;
    }

private:
    static constexpr std::size_t WordCount = (sizeof(T) + 7) / 8;
    using Words = std::array<std::uint64_t, WordCount>;
    std::atomic<std::uint32_t> sequence_{0};
    std::array<std::atomic<std::uint64_t>, WordCount> words_{};
};

} // namespace marevo
