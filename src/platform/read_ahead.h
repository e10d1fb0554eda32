#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

namespace veskari {

/// Marks a processor kept busy by the thread that creates it, for as long
/// as it lives: each thread of a run while it analyses a unit, and each
/// read-ahead's own thread. Reading ahead pays only where a processor is
/// left for its thread; where all are busy it only adds work.
class ProcessorInUse {
public:
    ProcessorInUse() noexcept;
    ~ProcessorInUse();
    ProcessorInUse(const ProcessorInUse&) = delete;
    ProcessorInUse& operator=(const ProcessorInUse&) = delete;

    /// How many processors the threads of this process keep busy now.
    [[nodiscard]] static unsigned Count() noexcept;
};

/// Reads the next blocks of a file on a thread of its own while the
/// analysing thread searches the block before, so that the system's copy of
/// the bytes and the search overlap on two processors. It holds a fixed ring
/// of slots: one is the analysing thread's window, the others hold blocks
/// read ahead, whole blocks one after the other from where the stream was
/// started. The analysing thread takes them in file order; while it waits
/// for the block it needs, it reads a later block itself, so that neither
/// thread idles while the other has work. While other threads of the
/// process keep all processors busy, the thread reads nothing, and when a
/// block it reads is late (other work has taken its processor), it reads
/// nothing for a while: the analysing thread reads for itself meanwhile.
///
/// The read-ahead is only ever a guess at the next reads: the analysing
/// thread takes a block only when the position it needs is the block's,
/// and reads for itself otherwise. A read that cannot be finished (an
/// error, the file's end) ends the stream without telling anyone: the
/// analysing thread reads that block itself when it gets there, and meets
/// the same bytes, end or error as a file read without reading ahead.
class ReadAhead {
public:
    /// The bytes of one block, handed over at a time.
    static constexpr std::size_t kBlockSize = 256 * 1024;
    /// Room before each block for the bytes that a window keeps from the
    /// block before it, so that a block becomes the window where it is.
    static constexpr std::size_t kRoomBefore = 16 * 1024;
    /// The bytes of each slot.
    static constexpr std::size_t kSlotSize = kRoomBefore + kBlockSize;

    /// Starts the thread over `descriptor`, which must stay open until this
    /// object is destroyed. Throws std::system_error when no thread can be
    /// started (std::bad_alloc without memory for the slots).
    explicit ReadAhead(int descriptor);
    /// Stops the thread and waits for it: at most the read it is doing.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    /// The slot that the analysing thread holds: its window, and where it
    /// reads for itself (kSlotSize bytes, never touched by the thread).
    [[nodiscard]] std::uint8_t* Held() const noexcept { return slots_[held_].bytes.get(); }

    /// When the stream's next block starts at `offset`, waits for it,
    /// copies `kept` (at most kRoomBefore bytes, which may lie in the held
    /// slot) right before it and holds its slot instead of the slot held
    /// before; returns the block's first byte. Returns nullptr when the
    /// caller is to read that block into the held slot itself: the stream
    /// reads elsewhere, not at all, could not read it, or is late with it;
    /// the stream is then dropped.
    [[nodiscard]] std::uint8_t* Take(std::uint64_t offset, std::span<const std::uint8_t> kept);

    /// Forgets the blocks read ahead, and stops reading ahead: the caller
    /// reads its next bytes into the held slot for itself.
    void Drop();
    /// Reads ahead again from `offset`, where the caller's own read ended,
    /// when a processor is left for the thread and no late block has
    /// paused it.
    void ReadOnFrom(std::uint64_t offset);

private:
    static constexpr std::size_t kSlots = 4;

    enum class State : std::uint8_t { free, reading, ready, held };
    struct Slot {
        std::unique_ptr<std::uint8_t[]> bytes;
        State state = State::free;
        std::uint64_t offset = 0;      ///< of the block read or being read
        std::uint64_t generation = 0;  ///< of the stream it was read for
    };

    void Run();
    void DropLocked() noexcept;
    // Whether the processors are not all kept busy by others than the thread.
    [[nodiscard]] bool ProcessorLeft() const noexcept { return ProcessorInUse::Count() <= processors_; }
    // Under the mutex: the next block of the stream, claimed for reading
    // into a free slot; kSlots when there is none to claim.
    std::size_t Claim() noexcept;
    // Reads the block of a claimed slot, without the mutex that `lock` holds.
    void ReadClaimed(std::size_t slot, std::unique_lock<std::mutex>& lock);
    // Under the mutex: the slot whose block of the current stream starts at
    // `offset` and is in `state`, or kSlots.
    [[nodiscard]] std::size_t Find(State state, std::uint64_t offset) const noexcept;
    // Waits on the processor a while for a read to end; false when none did.
    [[nodiscard]] bool WaitForRead(std::unique_lock<std::mutex>& lock);

    int descriptor_;
    const ProcessorInUse busy_;  // the thread's processor
    const unsigned processors_;
    std::array<Slot, kSlots> slots_;
    std::size_t held_ = 0;  ///< only the analysing thread changes it

    std::mutex mutex_;
    std::condition_variable wanted_;  ///< the thread waits for a free slot, or a stream to read
    // Under the mutex, with the slots' states.
    bool reading_ = false;          ///< whether the stream goes on
    std::uint64_t expected_ = 0;    ///< where the next block taken starts
    std::uint64_t next_ = 0;        ///< where the next block claimed starts
    std::uint64_t generation_ = 0;  ///< counts the streams: a block read for an earlier one is forgotten
    std::uint64_t pausedUntil_ = 0;  ///< no stream starts before this offset
    bool stop_ = false;
    // Counts the reads ended, so that the analysing thread can wait for the
    // next without the mutex.
    std::atomic<std::uint64_t> readsEnded_{0};

    std::thread thread_;  // last: started once everything above is set
};

}  // namespace veskari
