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

}  // namespace veskari
