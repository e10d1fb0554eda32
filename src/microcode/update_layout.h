#pragma once

// The layout of an update header and the helpers that both sets of rules
// use: shared by the classic and the later rules of MicrocodeHeader only.

#include <cstdint>
#include <span>
#include <string>

#include "records/little_endian.h"
#include "records/located_record.h"
#include "records/record_text.h"

namespace veskari::update_layout {

// Field offsets of the update header.
inline constexpr std::size_t kHeaderVersionOffset = 0;
inline constexpr std::size_t kRevisionOffset = 4;
inline constexpr std::size_t kDateOffset = 8;
inline constexpr std::size_t kSignatureOffset = 12;
inline constexpr std::size_t kChecksumOffset = 16;
inline constexpr std::size_t kLoaderOffset = 20;
inline constexpr std::size_t kFlagsOffset = 24;
inline constexpr std::size_t kReservedOffset = 28;
inline constexpr std::size_t kReservedSize = 20;
// In the published layout the first reserved bytes hold the sizes; the 12
// after them are not checked: current updates keep a minimum revision there.
inline constexpr std::size_t kDataSizeOffset = 28;
inline constexpr std::size_t kTotalSizeOffset = 32;

// Stored sizes of zero stand for the classic 2000 data bytes in 2048.
inline constexpr std::uint32_t kDefaultDataSize = 2000;
inline constexpr std::uint32_t kDataSizeUnit = 4;
inline constexpr std::uint32_t kTotalSizeUnit = 1024;
inline constexpr std::uint32_t kMaxPlatformMask = 0xFF;

// The extended signature table: count, checksum and 12 reserved bytes,
// then entries of signature, platform-ID mask and checksum.
inline constexpr std::size_t kExtendedHeaderSize = 20;
inline constexpr std::size_t kExtendedEntrySize = 12;

// The loader revision of every classic update is 1. The first updates of
// the published layout (1995) carry 0 there; with their whole-update
// checksum they are as certain as any later one, so the later rules take
// both.
inline constexpr std::uint32_t kClassicLoader = 1;
inline constexpr std::uint32_t kMaxLaterLoader = 1;

inline constexpr std::uint32_t kMaxRevision = 0xFF;
inline constexpr std::uint32_t kMaxPlatformFlags = 0x80;
inline constexpr std::uint32_t kFamilyMask = 0xF00;
inline constexpr std::uint32_t kFamily6 = 0x600;


// Year/month/day, the digits as stored.
inline std::string DateText(std::uint32_t date)
{
    std::string text;
    AppendHex(text, date & 0xFFFF, 4);
    text += '/';
    AppendHex(text, date >> 24, 2);
    text += '/';
    AppendHex(text, (date >> 16) & 0xFF, 2);
    return text;
}

// The range of each part of an update's date field: year low and high
// byte, day, month. The digits read as a decimal date, but the bounds are
// plain numbers.
inline constexpr std::uint32_t kFirstYear = 0x1990;
inline constexpr std::uint32_t kLastYear = 0x2100;
inline constexpr std::uint32_t kLastMonth = 0x12;
inline constexpr std::uint32_t kLastDay = 0x31;

// The diagnostic of a date out of range, or an empty text.
inline std::string DateProblem(std::uint32_t date)
{
    const std::uint32_t year = date & 0xFFFF;
    const std::uint32_t day = (date >> 16) & 0xFF;
    const std::uint32_t month = date >> 24;
    if (year < kFirstYear || year > kLastYear) {
        return FormatField("変な年 %d", year);
    }
    if (month < 0x01 || month > kLastMonth) {
        return FormatField("変な月 %d", month);
    }
    if (day < 0x01 || day > kLastDay) {
        return FormatField("変な日 %d", day);
    }
    return {};
}

// Whether the date field passes DateProblem, without its diagnostic.
inline bool DateInRange(std::uint32_t date) noexcept
{
    const std::uint32_t year = date & 0xFFFF;
    const std::uint32_t day = (date >> 16) & 0xFF;
    const std::uint32_t month = date >> 24;
    return year >= kFirstYear && year <= kLastYear && month >= 0x01 && month <= kLastMonth && day >= 0x01 &&
           day <= kLastDay;
}

// The 32-bit sum of the little-endian dwords of `bytes` (a multiple of 4 long).
inline std::uint32_t SumOfDwords(std::span<const std::uint8_t> bytes) noexcept
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        sum += ReadLe32(bytes, i);
    }
    return sum;
}

}  // namespace veskari::update_layout
