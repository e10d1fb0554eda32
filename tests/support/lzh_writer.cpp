#include "support/lzh_writer.h"

#include <algorithm>
#include <stdexcept>

namespace veskari::test {

std::uint16_t Crc16(const Bytes& bytes)
{
    // CRC-16/ARC one bit at a time, without tables: an account of the
    // check value written apart from the decoder's table-driven one.
    std::uint16_t crc = 0;
    for (const std::uint8_t byte : bytes) {
        crc = static_cast<std::uint16_t>(crc ^ byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 1U) != 0 ? (crc >> 1) ^ 0xA001U : crc >> 1);
        }
    }
    return crc;
}

Bytes MakeLzhMember(const LzhMemberFields& fields)
{
    // Sized at construction: GCC 12 warns wrongly about resizing an empty vector.
    Bytes header(fields.level < 2 ? 22 : 26, 0);
    const auto putChain = [&](Bytes& out) {
        for (const ExtendedHeader& extended : fields.extended) {
            const std::size_t at = out.size();
            PutLe16(out, at, static_cast<std::uint32_t>(extended.data.size() + 3));
            out.push_back(extended.type);
            Append(out, extended.data);
        }
        PutLe16(out, out.size(), 0);
    };
    std::uint32_t extendedTotal = 0;
    for (const ExtendedHeader& extended : fields.extended) {
        extendedTotal += static_cast<std::uint32_t>(extended.data.size() + 3);
    }

    if (fields.level < 2) {
        Append(header, fields.name);
        header[21] = static_cast<std::uint8_t>(fields.name.size());
        PutLe16(header, header.size(), fields.crc);
        if (fields.level == 1) {
            header.push_back('U');  // the operating system byte
            PutLe16(header, header.size(), fields.extended.empty() ? 0 : static_cast<std::uint32_t>(fields.extended.front().data.size() + 3));
        }
        header[0] = static_cast<std::uint8_t>(header.size() - 2);
    } else {
        PutLe16(header, 21, fields.crc);
        header[23] = 'U';
    }
    std::copy(fields.method.begin(), fields.method.end(), header.begin() + 2);
    const std::uint32_t storedSize = static_cast<std::uint32_t>(fields.data.size()) + (fields.level == 1 ? extendedTotal : 0);
    PutLe32(header, 7, storedSize);
    PutLe32(header, 11, fields.decodedSize);
    header[20] = static_cast<std::uint8_t>(fields.level);

    if (fields.level == 1) {
        // The first size field ends the base header; the rest of the chain follows it.
        Bytes chain;
        putChain(chain);
        Append(header, Bytes(chain.begin() + 2, chain.end()));
    } else if (fields.level == 2) {
        Bytes chain;
        putChain(chain);
        header.resize(24);
        Append(header, chain);
        PutLe16(header, 0, static_cast<std::uint32_t>(header.size()));
    }
    if (fields.level < 2) {
        std::uint32_t sum = 0;
        for (std::size_t i = 2; i < static_cast<std::size_t>(header[0]) + 2; ++i) {
            sum += header[i];
        }
        header[1] = static_cast<std::uint8_t>(sum);
    }
    Append(header, fields.data);
    return header;
}

Bytes MakeSelfSimilarArchive(int members, const Bytes& innermost, std::size_t nameSize)
{
    Bytes rest = innermost;
    for (int i = members; i > 0; --i) {
        LzhMemberFields fields;
        fields.name = "m" + std::to_string(i);
        if (nameSize != 0) {
            fields.level = 2;
            fields.name.resize(nameSize, 'n');
            fields.extended.push_back({1, Bytes(fields.name.begin(), fields.name.end())});
        }
        fields.decodedSize = static_cast<std::uint32_t>(rest.size());
        fields.crc = Crc16(rest);
        Bytes member = MakeLzhMember(fields);  // no data: a stored member reads the bytes after its header
        Append(member, rest);
        rest = std::move(member);
    }
    return rest;
}

Bytes MakeStoredMember(const std::string& name, const Bytes& content, int level)
{
    LzhMemberFields fields;
    fields.level = level;
    fields.name = name;
    fields.data = content;
    fields.decodedSize = static_cast<std::uint32_t>(content.size());
    fields.crc = Crc16(content);
    if (level == 2) {
        fields.extended.push_back({1, Bytes(name.begin(), name.end())});
    }
    return MakeLzhMember(fields);
}

Bytes MakeLh5Member(const std::string& name, const Bytes& content, int level)
{
    std::vector<Token> tokens;
    for (std::size_t i = 0; i < content.size();) {
        std::size_t run = 1;
        while (i + run < content.size() && content[i + run] == content[i] && run < 256) {
            ++run;
        }
        tokens.push_back(Literal(content[i]));
        if (run >= 4) {
            tokens.push_back(Match(static_cast<int>(run - 1), 1));
            i += run;
        } else {
            ++i;
        }
    }
    LzhEncoder encoder(14);
    for (std::size_t at = 0; at < tokens.size(); at += 30000) {
        encoder.Block(std::vector<Token>(tokens.begin() + static_cast<std::ptrdiff_t>(at),
                                         tokens.begin() + static_cast<std::ptrdiff_t>(std::min(at + 30000, tokens.size()))));
    }
    LzhMemberFields fields;
    fields.level = level;
    fields.method = "-lh5-";
    fields.name = name;
    fields.data = encoder.Finish();
    fields.decodedSize = static_cast<std::uint32_t>(content.size());
    fields.crc = Crc16(content);
    if (level == 2) {
        fields.extended.push_back({1, Bytes(name.begin(), name.end())});
    }
    return MakeLzhMember(fields);
}

void BitWriter::Put(std::uint32_t value, int bits)
{
    for (int i = bits - 1; i >= 0; --i) {
        pending_ = (pending_ << 1) | ((value >> i) & 1U);
        if (++pendingBits_ == 8) {
            bytes_.push_back(static_cast<std::uint8_t>(pending_));
            pending_ = 0;
            pendingBits_ = 0;
        }
    }
}

Bytes BitWriter::Finish()
{
    if (pendingBits_ > 0) {
        Put(0, 8 - pendingBits_);
    }
    return bytes_;
}

BlockCodes FullCodes(int np)
{
    BlockCodes codes;
    // 2 symbols of 8 bits and 508 of 9 bits: complete, every symbol present.
    codes.cLen.assign(510, 9);
    codes.cLen[0] = 8;
    codes.cLen[1] = 8;
    if (np == 14) {
        codes.pLen.assign(14, 4);  // 2 of 3 bits, 12 of 4 bits
        codes.pLen[0] = 3;
        codes.pLen[1] = 3;
    } else {
        codes.pLen.assign(17, 4);  // 15 of 4 bits, 2 of 5 bits
        codes.pLen[15] = 5;
        codes.pLen[16] = 5;
    }
    return codes;
}

LzhEncoder::LzhEncoder(int np) : np_(np), pbit_(np == 14 ? 4 : 5) {}

namespace {

// Canonical codes of all symbols: shorter codes first, equal lengths by symbol.
std::vector<std::uint32_t> CanonicalCodes(const std::vector<int>& lengths)
{
    std::vector<std::uint32_t> codes(lengths.size(), 0);
    std::uint32_t code = 0;
    for (int length = 1; length <= 16; ++length) {
        for (std::size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] == length) {
                codes[s] = code >> (16 - length);
                code += 1U << (16 - length);
            }
        }
    }
    return codes;
}

// The code-length code used for every block: 13 symbols of 4 bits and 6 of 5.
std::vector<int> CodeLengthCode()
{
    std::vector<int> lengths(19, 4);
    for (int s = 13; s < 19; ++s) {
        lengths[static_cast<std::size_t>(s)] = 5;
    }
    return lengths;
}

}  // namespace

void LzhEncoder::WriteSymbol(const std::vector<int>& lengths, const std::vector<std::uint32_t>& codes, int symbol)
{
    const int length = lengths[static_cast<std::size_t>(symbol)];
    if (length == 0) {
        throw std::logic_error("symbol without a code");
    }
    writer_.Put(codes[static_cast<std::size_t>(symbol)], length);
}

void LzhEncoder::WriteLengths(const std::vector<int>& lengths, int countBits, int specialIndex)
{
    writer_.Put(static_cast<std::uint32_t>(lengths.size()), countBits);
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        const int length = lengths[i];
        if (length < 7) {
            writer_.Put(static_cast<std::uint32_t>(length), 3);
        } else {
            writer_.Put(7, 3);
            for (int extra = 7; extra < length; ++extra) {
                writer_.Put(1, 1);
            }
            writer_.Put(0, 1);
        }
        if (static_cast<int>(i) + 1 == specialIndex) {
            writer_.Put(0, 2);
        }
    }
}

void LzhEncoder::Block(const std::vector<Token>& tokens, const BlockCodes& codes,
                       std::optional<std::uint32_t> blockSizeField)
{
    writer_.Put(blockSizeField.value_or(static_cast<std::uint32_t>(tokens.size())), 16);
    const std::vector<int> codeLengthCode = CodeLengthCode();
    const std::vector<std::uint32_t> codeLengthCodes = CanonicalCodes(codeLengthCode);
    WriteLengths(codeLengthCode, 5, 3);
    writer_.Put(static_cast<std::uint32_t>(codes.cLen.size()), 9);
    for (const int length : codes.cLen) {
        WriteSymbol(codeLengthCode, codeLengthCodes, length == 0 ? 0 : length + 2);
    }
    WriteLengths(codes.pLen, pbit_, -1);
    Tokens(tokens, codes);
}

void LzhEncoder::Tokens(const std::vector<Token>& tokens, const BlockCodes& codes)
{
    const std::vector<std::uint32_t> cCodes = CanonicalCodes(codes.cLen);
    const std::vector<std::uint32_t> pCodes = CanonicalCodes(codes.pLen);
    for (const Token& token : tokens) {
        if (token.literal >= 0) {
            WriteSymbol(codes.cLen, cCodes, token.literal);
            continue;
        }
        WriteSymbol(codes.cLen, cCodes, token.length + 253);
        const std::uint32_t position = static_cast<std::uint32_t>(token.distance - 1);
        int j = 0;
        while ((position >> j) > 1) {
            ++j;
        }
        // Position symbol j covers 2^(j-1) .. 2^j - 1 with j - 1 extra bits.
        const int symbol = position <= 1 ? static_cast<int>(position) : j + 1;
        WriteSymbol(codes.pLen, pCodes, symbol);
        if (symbol >= 2) {
            writer_.Put(position - (1U << (symbol - 1)), symbol - 1);
        }
    }
}

Bytes Expand(const std::vector<Token>& tokens)
{
    Bytes out;
    for (const Token& token : tokens) {
        if (token.literal >= 0) {
            out.push_back(static_cast<std::uint8_t>(token.literal));
            continue;
        }
        for (int i = 0; i < token.length; ++i) {
            out.push_back(out[out.size() - static_cast<std::size_t>(token.distance)]);
        }
    }
    return out;
}

}  // namespace veskari::test
