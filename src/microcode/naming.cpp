#include "microcode/naming.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>
#include <string_view>

#include "microcode/processor_table.h"

namespace veskari {
namespace {

struct PackageRow {
    std::uint32_t platformFlags;
    std::string_view packageText;
};

// Package by the exact value of the platform flags; any other value names none.
constexpr std::array kPackages{
    PackageRow{0x00, "PGA"},
    PackageRow{0x01, "SECC/SECC2"},
    PackageRow{0x02, "Mini-Cart"},
    PackageRow{0x04, "SECC"},
    PackageRow{0x08, "MMC1/MMC2"},
    PackageRow{0x10, "FC-PGA"},
    PackageRow{0x20, "Micro-PGA1/Micro-PGA2"},
};

constexpr std::uint32_t kAnyFlags = 0xFFFFFFFF;

// One choice of a processor row: for these flags (or any other), this
// name, and a package that overrides the flags' one when it is not null.
struct NameRule {
    std::uint32_t platformFlags;
    std::string_view name;
    const char* package;  // nullptr: the package comes from the flags
};

constexpr NameRule kPentiumPro[]{{kAnyFlags, "Pentium Pro Processor", nullptr}};
constexpr NameRule kPentiumII[]{
    {0x04, "Pentium II Xeon Processor", nullptr},
    {kAnyFlags, "Pentium II Processor", nullptr},
};
constexpr NameRule kPentiumIIOrCeleron[]{
    {0x01, "Pentium II Processor/Celeron Processor", "SECC/SEPP"},
    {0x10, "Celeron Processor", "PPGA"},
    {kAnyFlags, "Pentium II Processor", nullptr},
};
constexpr NameRule kCeleronOnDie[]{
    {0x10, "Celeron Processor(Ondie-Cache)", "PPGA"},
    {kAnyFlags, "Celeron Processor(Ondie-Cache)", "SEPP"},
};
constexpr NameRule kMobilePentiumIIOrCeleron[]{
    {kAnyFlags, "Mobile Pentium II Processor/Celeron Processor", nullptr},
};
constexpr NameRule kMobilePentiumII[]{{kAnyFlags, "Mobile Pentium II Processor", nullptr}};
constexpr NameRule kPentiumIII[]{
    {0x04, "Pentium III Xeon Processor", nullptr},
    {0x08, "Mobile Pentium III Processor", nullptr},
    {0x20, "Mobile Pentium III Processor", nullptr},
    {kAnyFlags, "Pentium III Processor", nullptr},
};
constexpr NameRule kOverDrive[]{{kAnyFlags, "Pentium II OverDrive Processor", nullptr}};
constexpr NameRule kUnknown[]{{kAnyFlags, "Unknown CPU", nullptr}};

struct ProcessorRow {
    std::uint32_t signature;
    std::span<const NameRule> rules;
    std::string_view suffix;  // appended to the chosen name without a space
};

// Processor by the exact value of the whole signature.
constexpr std::array kProcessors{
    ProcessorRow{0x612, kPentiumPro, ""},
    ProcessorRow{0x616, kPentiumPro, ""},
    ProcessorRow{0x617, kPentiumPro, ""},
    ProcessorRow{0x619, kPentiumPro, ""},
    ProcessorRow{0x630, kPentiumII, ""},
    ProcessorRow{0x632, kPentiumII, ""},
    ProcessorRow{0x633, kPentiumII, ""},
    ProcessorRow{0x634, kPentiumII, ""},
    ProcessorRow{0x650, kPentiumIIOrCeleron, ""},
    ProcessorRow{0x651, kPentiumIIOrCeleron, ""},
    ProcessorRow{0x652, kPentiumII, ""},
    ProcessorRow{0x653, kPentiumII, ""},
    ProcessorRow{0x660, kCeleronOnDie, ""},
    ProcessorRow{0x665, kCeleronOnDie, ""},
    ProcessorRow{0x66A, kMobilePentiumIIOrCeleron, ""},
    ProcessorRow{0x66D, kMobilePentiumII, ""},
    ProcessorRow{0x670, kPentiumIII, ""},
    ProcessorRow{0x671, kPentiumIII, ""},
    ProcessorRow{0x672, kPentiumIII, ""},
    ProcessorRow{0x673, kPentiumIII, ""},
    ProcessorRow{0x680, kPentiumIII, "(Coppermine)"},
    ProcessorRow{0x681, kPentiumIII, "(Coppermine)"},
    ProcessorRow{0x683, kPentiumIII, "(Coppermine)"},
    ProcessorRow{0x686, kPentiumIII, "(Coppermine)"},
    ProcessorRow{0x1632, kOverDrive, ""},
};

constexpr ProcessorRow kUnknownProcessor{0, kUnknown, ""};

const ProcessorRow& FindProcessor(std::uint32_t signature)
{
    for (const ProcessorRow& row : kProcessors) {
        if (row.signature == signature) {
            return row;
        }
    }
    return kUnknownProcessor;
}

const NameRule& ChooseRule(std::span<const NameRule> rules, std::uint32_t platformFlags)
{
    for (const NameRule& rule : rules) {
        if (rule.platformFlags == platformFlags || rule.platformFlags == kAnyFlags) {
            return rule;
        }
    }
    return rules.back();
}

// The processor's row for this exact mask, else its row for every mask.
const LaterProcessorRow* FindLaterProcessor(std::uint32_t signature, std::uint32_t platformMask)
{
    for (const std::uint32_t mask : {platformMask, kAnyPlatformMask}) {
        const auto row = std::lower_bound(
            kLaterProcessors.begin(), kLaterProcessors.end(), std::pair{signature, mask},
            [](const LaterProcessorRow& r, const std::pair<std::uint32_t, std::uint32_t>& key) {
                return std::pair{r.signature, r.platformMask} < key;
            });
        if (row != kLaterProcessors.end() && row->signature == signature && row->platformMask == mask) {
            return &*row;
        }
    }
    return nullptr;
}

// Family and model as the processor's documentation writes them: the
// extended family adds to family 15, the extended model extends families 6
// and 15.
std::string GenericProcessorName(std::uint32_t signature)
{
    const std::uint32_t baseFamily = (signature >> 8) & 0xF;
    const std::uint32_t family = baseFamily == 0xF ? baseFamily + ((signature >> 20) & 0xFF) : baseFamily;
    std::uint32_t model = (signature >> 4) & 0xF;
    if (baseFamily == 0x6 || baseFamily == 0xF) {
        model |= ((signature >> 16) & 0xF) << 4;
    }
    char text[96];
    std::snprintf(text, sizeof text, "Unknown CPU (family 0x%X, model 0x%X, stepping 0x%X)", family, model,
                  signature & 0xF);
    return text;
}

// Bit n of a platform-ID mask stands for platform ID n (0 to 7). A mask
// of 0 is what updates for processors without a platform ID carry (the
// Pentium Pro): the loader compares nothing, so the update serves every
// processor of its signature.
std::string PlatformText(std::uint32_t platformMask)
{
    std::string ids;
    for (std::uint32_t id = 0; id < 8; ++id) {
        if ((platformMask >> id) & 1U) {
            ids += ids.empty() ? "" : ",";
            ids += static_cast<char>('0' + id);
        }
    }
    if (ids.empty()) {
        return "Any platform (no platform ID)";
    }
    return (ids.size() == 1 ? "Platform " : "Platforms ") + ids;
}

}  // namespace

void NameLaterProcessor(std::uint32_t signature, std::uint32_t platformMask, std::string& packageText,
                        std::string& processorName)
{
    packageText = PlatformText(platformMask);
    const LaterProcessorRow* row = FindLaterProcessor(signature, platformMask);
    processorName = row != nullptr ? std::string(row->name) : GenericProcessorName(signature);
}

void NameProcessor(std::uint32_t signature, std::uint32_t platformFlags, std::string& packageText,
                   std::string& processorName)
{
    packageText.clear();
    for (const PackageRow& row : kPackages) {
        if (row.platformFlags == platformFlags) {
            packageText = row.packageText;
            break;
        }
    }
    const ProcessorRow& processor = FindProcessor(signature);
    const NameRule& rule = ChooseRule(processor.rules, platformFlags);
    processorName = rule.name;
    processorName += processor.suffix;
    if (rule.package != nullptr) {
        packageText = rule.package;
    }
}

}  // namespace veskari
