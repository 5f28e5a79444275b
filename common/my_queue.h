#pragma once
// The receive queue of the Tacklet push connection: the socket event thread appends the bytes it
// reads, the GUI thread pops them one complete packet (up to the terminator 0D 0A 00) at a time.
//
// The bytes live in a ring of fixed capacity, allocated once, so a pop copies out only the packet
// it returns and never moves the bytes behind it; and a pop remembers how far it searched, so
// waiting for a long packet's end does not search its beginning again and again. Every operation
// holds the queue's one lock for its whole work.

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class CMyQueue {
public:
    static constexpr std::size_t kCapacity = 4096000;

    // `capacity` is at least 3, the size of a terminator.
    explicit CMyQueue(std::size_t capacity = kCapacity);
    CMyQueue(const CMyQueue&) = delete;
    CMyQueue& operator=(const CMyQueue&) = delete;

    // Socket event thread: adds `count` bytes behind the buffered ones. When they would not fit,
    // every buffered byte is discarded first, complete packets included; of more bytes than the
    // whole capacity only the last `capacity` are kept.
    void Append(const char* bytes, std::size_t count);

    // GUI thread: the oldest complete packet without its terminator (it may be empty), or nothing
    // while no terminator is buffered. A terminator is the first 0D 0A 00 in the buffered bytes,
    // so 0D 0A alone, or 00 alone, is part of a packet's text.
    std::optional<std::string> Pop();

    // Either thread: discards every buffered byte.
    void Clear();

    // Either thread, when a connection ends: discards the bytes behind the last terminator, the
    // start of a packet whose end will never come, and keeps the complete packets for popping.
    void DropIncomplete();

    std::size_t Used() const;
    std::size_t Capacity() const { return capacity_; }

private:
    char At(std::size_t offset) const;   // the byte `offset` places behind the oldest
    bool EndsTerminator(std::size_t offset) const;
    void CopyOut(std::size_t count, char* out) const;

    mutable std::mutex lock_;
    const std::size_t capacity_;
    const std::unique_ptr<char[]> buffer_;
    std::size_t head_ = 0;      // index of the oldest byte in buffer_
    std::size_t used_ = 0;
    // Offsets below this have been searched already and end no terminator.
    std::size_t searched_ = 0;
};
