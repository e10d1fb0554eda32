#pragma once

#include <string>
#include <vector>

#include "lzh/lzh_decoder.h"
#include "lzh/lzh_header.h"
#include "records/file_source.h"

namespace veskari {

/// An input file scanned for LZH members, with the one header record that
/// describes the member last read and the decoder for its members.
class LzhSource final : public FileSource {
public:
    /// Appends the name of every member from the current position to the
    /// end of the file, in file order; false when the last header tried
    /// was rejected as malformed.
    bool Collect(std::vector<std::string>& list) override;

    /// Searches forward for a member with exactly this (raw) name; on
    /// success the file stands at its data and `header` describes it.
    [[nodiscard]] bool FindMember(const std::string& name);

    LzhHeader header;
    LzhDecoder decoder;
};

}  // namespace veskari
