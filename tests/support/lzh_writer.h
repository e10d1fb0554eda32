#pragma once

// Builders of LZH members for the tests: headers of levels 0, 1 and 2 and a
// small static-Huffman encoder that writes the exact streams a test needs.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/bytes.h"

namespace veskari::test {

/// CRC-16/ARC of the bytes, computed bit by bit apart from the production
/// code, so that a fault in the decoder's CRC fails the tests.
[[nodiscard]] std::uint16_t Crc16(const Bytes& bytes);

struct ExtendedHeader {
    std::uint8_t type = 1;
    Bytes data;
};

struct LzhMemberFields {
    int level = 0;
    std::string method = "-lh0-";
    std::string name = "m.bin";        ///< raw code page 932 bytes; ignored at level 2
    Bytes data;                        ///< the member's (compressed) data
    std::uint32_t decodedSize = 0;     ///< size after decoding
    std::uint16_t crc = 0;             ///< CRC-16 of the decoded bytes
    std::vector<ExtendedHeader> extended;  ///< levels 1 and 2
};

/// A member: header followed by its data, with a correct header checksum.
[[nodiscard]] Bytes MakeLzhMember(const LzhMemberFields& fields);

/// A stored (-lh0-) member of these bytes.
[[nodiscard]] Bytes MakeStoredMember(const std::string& name, const Bytes& content, int level = 0);

/// An archive of `members` stored members in which each announces no data
/// of its own but decodes to all the members after it: each member holds
/// the rest, so without a bound on the work per file its analysis visits
/// 2^members members. `innermost` ends the archive, so that every member's
/// decoded bytes end with it; names of `nameSize` bytes (level-2 headers;
/// 0: short names) make every member's chain long.
[[nodiscard]] Bytes MakeSelfSimilarArchive(int members, const Bytes& innermost = {}, std::size_t nameSize = 0);

/// An lh5 member of these bytes, encoded as literals and repeats of runs.
[[nodiscard]] Bytes MakeLh5Member(const std::string& name, const Bytes& content, int level = 1);

/// Writes bits most significant first.
class BitWriter {
public:
    void Put(std::uint32_t value, int bits);
    [[nodiscard]] Bytes Finish();

private:
    Bytes bytes_;
    std::uint32_t pending_ = 0;
    int pendingBits_ = 0;
};

/// One token of a compressed stream: a literal byte, or a match of
/// `length` bytes `distance` bytes back.
struct Token {
    int literal = -1;
    int length = 0;
    int distance = 0;
};
[[nodiscard]] inline Token Literal(int byte) { return Token{byte, 0, 0}; }
[[nodiscard]] inline Token Match(int length, int distance) { return Token{-1, length, distance}; }

/// Code lengths of one block: 510 literal/length lengths and np position
/// lengths. The defaults are complete codes in which every symbol occurs.
struct BlockCodes {
    std::vector<int> cLen;
    std::vector<int> pLen;
};
[[nodiscard]] BlockCodes FullCodes(int np);

/// Encodes blocks of tokens for methods lh4 to lh7 (np 14 or 17). Each
/// block's size field is the token count unless `blockSizeField` says otherwise.
class LzhEncoder {
public:
    explicit LzhEncoder(int np);
    void Block(const std::vector<Token>& tokens, const BlockCodes& codes,
               std::optional<std::uint32_t> blockSizeField = std::nullopt);
    void Block(const std::vector<Token>& tokens) { Block(tokens, FullCodes(np_)); }
    /// Tokens only, with the codes of the previous block (after a block size of 0).
    void Tokens(const std::vector<Token>& tokens, const BlockCodes& codes);
    [[nodiscard]] Bytes Finish() { return writer_.Finish(); }
    BitWriter& Writer() { return writer_; }

private:
    void WriteLengths(const std::vector<int>& lengths, int countBits, int specialIndex);
    void WriteSymbol(const std::vector<int>& lengths, const std::vector<std::uint32_t>& codes, int symbol);

    int np_;
    int pbit_;
    BitWriter writer_;
};

/// Expands tokens into the bytes they stand for.
[[nodiscard]] Bytes Expand(const std::vector<Token>& tokens);

}  // namespace veskari::test
