#pragma once

namespace veskari {

/// Asks the C library to keep freed memory for reuse instead of handing it
/// back to the system at once. The analysis allocates and frees the same
/// buffers (read buffers, decoders) for every file; returning them each
/// time makes the system flush the address translations of every thread,
/// which costs parallel runs most of their gain; growing lists are not
/// mapped anew at each step. A no-op where the C
/// library offers no such setting.
void KeepFreedMemoryForReuse() noexcept;

/// For a process that runs analysis after analysis, each on threads of its
/// own (the window): the C library keeps at most `heaps` heaps for all
/// threads. Without a limit, a new thread may take the heap that a small
/// helper thread of an earlier run left, and grow it page by page while a
/// large one filled by an earlier analysis thread stays unused: the second
/// run in a window page-faulted 2,000 times more than the third. A no-op
/// where the C library offers no such setting.
void LimitHeaps(unsigned heaps) noexcept;

}  // namespace veskari
