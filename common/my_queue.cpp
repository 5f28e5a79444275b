#include "my_queue.h"

#include "framing.h"

#include <algorithm>
#include <cstring>

CMyQueue::CMyQueue(std::size_t capacity)
    : capacity_(capacity), buffer_(std::make_unique_for_overwrite<char[]>(capacity))
{
}

char CMyQueue::At(std::size_t offset) const
{
    const std::size_t index = head_ + offset;
    return buffer_[index < capacity_ ? index : index - capacity_];
}

bool CMyQueue::EndsTerminator(std::size_t offset) const
{
    return At(offset) == kPacketTerminator[2] && At(offset - 1) == kPacketTerminator[1]
           && At(offset - 2) == kPacketTerminator[0];
}

void CMyQueue::CopyOut(std::size_t count, char* out) const
{
    const std::size_t first = std::min(count, capacity_ - head_);
    std::memcpy(out, buffer_.get() + head_, first);
    std::memcpy(out + first, buffer_.get(), count - first);
}

void CMyQueue::Append(const char* bytes, std::size_t count)
{
    std::lock_guard lock(lock_);
    if (count > capacity_) {
        bytes += count - capacity_;
        count = capacity_;
    }
    if (used_ + count > capacity_) {
        head_ = 0;
        used_ = 0;
        searched_ = 0;
    }
    const std::size_t tail = (head_ + used_) % capacity_;
    const std::size_t first = std::min(count, capacity_ - tail);
    std::memcpy(buffer_.get() + tail, bytes, first);
    std::memcpy(buffer_.get(), bytes + first, count - first);
    used_ += count;
}

std::optional<std::string> CMyQueue::Pop()
{
    std::lock_guard lock(lock_);
    // A terminator ends at offset 2 at the earliest. Look for its zero byte with memchr over
    // each contiguous run of the ring and check the two bytes before it.
    std::size_t offset = std::max<std::size_t>(2, searched_);
    while (offset < used_) {
        const std::size_t index = (head_ + offset) % capacity_;
        const std::size_t run = std::min(used_ - offset, capacity_ - index);
        const char* start = buffer_.get() + index;
        const auto* zero = static_cast<const char*>(std::memchr(start, 0, run));
        if (!zero) {
            offset += run;
            continue;
        }
        offset += static_cast<std::size_t>(zero - start);
        if (EndsTerminator(offset)) {
            std::string packet(offset - 2, '\0');
            CopyOut(packet.size(), packet.data());
            head_ = (head_ + offset + 1) % capacity_;
            used_ -= offset + 1;
            searched_ = 0;
            return packet;
        }
        ++offset;
    }
    searched_ = used_;
    return std::nullopt;
}

void CMyQueue::Clear()
{
    std::lock_guard lock(lock_);
    head_ = 0;
    used_ = 0;
    searched_ = 0;
}

void CMyQueue::DropIncomplete()
{
    std::lock_guard lock(lock_);
    // The three terminator bytes are all different, so no two terminators overlap and every
    // 0D 0A 00 in the queue ends a packet: the last one ends the last complete packet.
    for (std::size_t offset = used_; offset-- > 2;) {
        if (EndsTerminator(offset)) {
            used_ = offset + 1;
            searched_ = std::min(searched_, used_);
            return;
        }
    }
    head_ = 0;
    used_ = 0;
    searched_ = 0;
}

std::size_t CMyQueue::Used() const
{
    std::lock_guard lock(lock_);
    return used_;
}
