#include "platform/read_ahead.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/descriptor_io.h"
#include "platform/processors.h"

namespace veskari {
namespace {

// How long the analysing thread waits on the processor for a block being
// read: some times one block's read. Being put to sleep and woken costs
// more than that (a wake-up on another processor is slow in a virtual
// machine); a block later than that is late because its thread lost its
// processor, and is read again.
constexpr std::chrono::microseconds kSpinFor{100};
// How far the analysing thread reads for itself after a late block.
constexpr std::uint64_t kPauseWhenLate = 16 * 1024 * 1024;

void Pause() noexcept
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Reads a whole block at `offset`; false when the system gives fewer bytes
// (the file's end) or refuses them. The reason is not kept: the analysing
// thread reads that block again and meets it itself.
bool ReadBlock(int descriptor, std::uint8_t* block, std::uint64_t offset) noexcept
{
    std::size_t done = 0;
    while (done < ReadAhead::kBlockSize) {
        if (offset + done > io::kMaxOffset) {
            return false;
        }
        const std::int64_t got = io::ReadAt(descriptor, block + done, ReadAhead::kBlockSize - done, offset + done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

std::atomic<unsigned> gProcessorsInUse{0};

}  // namespace

ProcessorInUse::ProcessorInUse() noexcept
{
    gProcessorsInUse.fetch_add(1, std::memory_order_relaxed);
}

ProcessorInUse::~ProcessorInUse()
{
    gProcessorsInUse.fetch_sub(1, std::memory_order_relaxed);
}

unsigned ProcessorInUse::Count() noexcept
{
    return gProcessorsInUse.load(std::memory_order_relaxed);
}

ReadAhead::ReadAhead(int descriptor) : descriptor_(descriptor), processors_(UsableProcessorCount())
{
    // Their bytes need no clearing: a slot is read before it is looked at.
    for (Slot& slot : slots_) {
        slot.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(kSlotSize);
    }
    slots_[held_].state = State::held;
    thread_ = std::thread([this] { Run(); });
}

ReadAhead::~ReadAhead()
{
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wanted_.notify_one();
    thread_.join();
}

std::size_t ReadAhead::Claim() noexcept
{
    if (!reading_) {
        return kSlots;
    }
    for (std::size_t k = 0; k < kSlots; ++k) {
        if (Slot& slot = slots_[k]; slot.state == State::free) {
            slot.state = State::reading;
            slot.offset = next_;
            slot.generation = generation_;
            next_ += kBlockSize;
            return k;
        }
    }
    return kSlots;
}

void ReadAhead::ReadClaimed(std::size_t k, std::unique_lock<std::mutex>& lock)
{
    Slot& slot = slots_[k];
    const std::uint64_t offset = slot.offset;
    lock.unlock();
    const bool whole = ReadBlock(descriptor_, slot.bytes.get() + kRoomBefore, offset);
    lock.lock();
    if (slot.generation != generation_) {
        slot.state = State::free;  // read for a stream since dropped
    } else if (whole) {
        slot.state = State::ready;
    } else {
        // The stream ends here; the analysing thread reads this block
        // itself when it needs it.
        slot.state = State::free;
        reading_ = false;
    }
    readsEnded_.fetch_add(1, std::memory_order_release);
}

void ReadAhead::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        std::size_t slot = kSlots;
        wanted_.wait(lock, [&] { return stop_ || (slot = Claim()) != kSlots; });
        if (!stop_ && !ProcessorLeft()) {
            // Other threads need the processors: the analysing thread reads
            // on for itself, and starts the stream again when one is left.
            slots_[slot].state = State::free;
            next_ -= kBlockSize;
            reading_ = false;
            continue;
        }
        if (stop_) {
            return;
        }
        ReadClaimed(slot, lock);
    }
}

std::size_t ReadAhead::Find(State state, std::uint64_t offset) const noexcept
{
    for (std::size_t k = 0; k < kSlots; ++k) {
        const Slot& slot = slots_[k];
        if (slot.state == state && slot.offset == offset && slot.generation == generation_) {
            return k;
        }
    }
    return kSlots;
}

bool ReadAhead::WaitForRead(std::unique_lock<std::mutex>& lock)
{
    const std::uint64_t before = readsEnded_.load(std::memory_order_relaxed);
    const auto ended = [&] { return readsEnded_.load(std::memory_order_acquire) != before; };
    lock.unlock();
    const auto until = std::chrono::steady_clock::now() + kSpinFor;
    do {
        for (int k = 0; k < 64 && !ended(); ++k) {
            Pause();
        }
    } while (!ended() && std::chrono::steady_clock::now() < until);
    lock.lock();
    return ended();
}

std::uint8_t* ReadAhead::Take(std::uint64_t offset, std::span<const std::uint8_t> kept)
{
    std::unique_lock lock(mutex_);
    if (offset != expected_) {
        DropLocked();
        return nullptr;
    }
    std::size_t slot = kSlots;
    while ((slot = Find(State::ready, offset)) == kSlots) {
        if (Find(State::reading, offset) == kSlots) {
            // Not read, and not being read: the stream has ended before it,
            // or has not come to it yet.
            if (next_ != offset || (slot = Claim()) == kSlots) {
                DropLocked();
                return nullptr;
            }
            ReadClaimed(slot, lock);
        } else if (const std::size_t later = Claim(); later != kSlots) {
            // The thread reads this block: read a later one meanwhile.
            ReadClaimed(later, lock);
        } else if (!WaitForRead(lock)) {
            // The thread has lost its processor to other work: the caller
            // reads on for itself for a while.
            pausedUntil_ = offset + kPauseWhenLate;
            DropLocked();
            return nullptr;
        }
    }
    expected_ += kBlockSize;
    slots_[slot].state = State::held;
    lock.unlock();
    // The kept bytes may lie in the slot held until now, which the thread
    // may fill again once it is given back.
    std::uint8_t* block = slots_[slot].bytes.get() + kRoomBefore;
    if (!kept.empty()) {
        std::memcpy(block - kept.size(), kept.data(), kept.size());
    }
    lock.lock();
    slots_[std::exchange(held_, slot)].state = State::free;
    lock.unlock();
    wanted_.notify_one();
    return block;
}

void ReadAhead::Drop()
{
    const std::lock_guard lock(mutex_);
    DropLocked();
}

void ReadAhead::DropLocked() noexcept
{
    ++generation_;
    reading_ = false;
    for (Slot& slot : slots_) {
        if (slot.state == State::ready) {
            slot.state = State::free;
        }
    }
}

void ReadAhead::ReadOnFrom(std::uint64_t offset)
{
    {
        const std::lock_guard lock(mutex_);
        if (offset < pausedUntil_ || !ProcessorLeft()) {
            return;
        }
        ++generation_;
        reading_ = true;
        expected_ = offset;
        next_ = offset;
    }
    wanted_.notify_one();
}

}  // namespace veskari
