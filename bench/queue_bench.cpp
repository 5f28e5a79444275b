// Popping from the receive queue with a full backlog: 4,000 packets of 1 KiB (4,096,000 bytes,
// the queue's capacity) waiting behind the one popped. Each iteration pops one packet and
// appends one, so the backlog stays full.
//
// The baseline is the plain layout: the valid bytes always at the start of the buffer, and
// every pop moves the whole backlog behind the packet to the front. The ratio of the two times
// is what the ring saves.

#include "framing.h"
#include "my_queue.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace {

// The same contract as CMyQueue, in the layout that keeps the bytes at the buffer's start.
class MovingQueue {
public:
    MovingQueue() : buffer_(std::make_unique_for_overwrite<char[]>(CMyQueue::kCapacity)) {}

    void Append(const char* bytes, std::size_t count)
    {
        std::lock_guard lock(lock_);
        if (used_ + count > CMyQueue::kCapacity)
            used_ = 0;
        std::memcpy(buffer_.get() + used_, bytes, count);
        used_ += count;
    }

    std::optional<std::string> Pop()
    {
        std::lock_guard lock(lock_);
        for (std::size_t i = 2; i < used_; ++i) {
            if (buffer_[i] == 0 && buffer_[i - 1] == '\n' && buffer_[i - 2] == '\r') {
                std::string packet(buffer_.get(), i - 2);
                std::memmove(buffer_.get(), buffer_.get() + i + 1, used_ - i - 1);
                used_ -= i + 1;
                return packet;
            }
        }
        return std::nullopt;
    }

    std::size_t Used()
    {
        std::lock_guard lock(lock_);
        return used_;
    }

private:
    std::mutex lock_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

// A note packet whose frame, terminator included, is exactly 1,024 bytes.
const std::string& packetFrame()
{
    static const std::string frame = [] {
        const std::string head = "<PKT><GBN>3</GBN><M>", tail = "</M></PKT>";
        return EncodeFrame(head + std::string(1024 - kPacketTerminator.size() - head.size() - tail.size(), 'x') + tail);
    }();
    return frame;
}

template <class Queue>
void popWithFullBacklog(benchmark::State& state)
{
    const std::string& frame = packetFrame();
    if (frame.size() != 1024 || CMyQueue::kCapacity % frame.size() != 0) {
        state.SkipWithError("the packets do not fill the queue exactly");
        return;
    }
    auto queue = std::make_unique<Queue>();
    for (std::size_t i = 0; i < CMyQueue::kCapacity / frame.size(); ++i)
        queue->Append(frame.data(), frame.size());
    for (auto _ : state) {
        std::optional<std::string> packet = queue->Pop();
        benchmark::DoNotOptimize(packet);
        queue->Append(frame.data(), frame.size());
    }
    if (queue->Used() != CMyQueue::kCapacity)
        state.SkipWithError("the backlog did not stay full");
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(frame.size()));
}

void BM_PopRing(benchmark::State& state) { popWithFullBacklog<CMyQueue>(state); }
void BM_PopMovingBaseline(benchmark::State& state) { popWithFullBacklog<MovingQueue>(state); }

BENCHMARK(BM_PopRing);
BENCHMARK(BM_PopMovingBaseline);

} // namespace

BENCHMARK_MAIN();
