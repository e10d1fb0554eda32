#include "platform/cp932.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <iconv.h>

#include "platform/file.h"
#include "platform/file_error.h"

namespace veskari {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

constexpr const char* kModuleName = "iconv CP932";
const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

std::atomic<bool> conversionMissing{false};

iconv_t OpenConversion()
{
    // The test hook stands for a system without the module.
    if (FaultHookRefuses(FileOperation::open, kModuleName)) {
        errno = EINVAL;
        return kNoDescriptor;
    }
    return ::iconv_open("UTF-8", "CP932");
}

// One conversion descriptor per thread, opened on first use.
class Cp932Converter {
public:
    Cp932Converter() : descriptor_(OpenConversion())
    {
        // Opening loads the conversion module, which needs a descriptor:
        // refused, it is a file error like any other. A system without the
        // module (EINVAL) only leaves names unconverted.
        if (descriptor_ == kNoDescriptor && errno != EINVAL) {
            throw FileError::FromErrno(FileOperation::open, errno, kModuleName);
        }
    }
    ~Cp932Converter()
    {
        if (descriptor_ != kNoDescriptor) {
            ::iconv_close(descriptor_);
        }
    }
    Cp932Converter(const Cp932Converter&) = delete;
    Cp932Converter& operator=(const Cp932Converter&) = delete;

    std::string Convert(std::string_view text)
    {
        if (descriptor_ == kNoDescriptor) {
            if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
                conversionMissing = true;
            }
            return std::string(text);
        }
        std::string out;
        out.reserve(text.size() * 3);
        ::iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(text.data());  // iconv's interface is not const-correct
        std::size_t inLeft = text.size();
        char chunk[256];
        while (inLeft > 0) {
            char* outPtr = chunk;
            std::size_t outLeft = sizeof chunk;
            const std::size_t result = ::iconv(descriptor_, &in, &inLeft, &outPtr, &outLeft);
            out.append(chunk, static_cast<std::size_t>(outPtr - chunk));
            if (result != static_cast<std::size_t>(-1)) {
                continue;
            }
            if (errno == E2BIG) {
                continue;
            }
            // An invalid or incomplete sequence: replace one byte and go on.
            out.append(kReplacement);
            ++in;
            --inLeft;
            ::iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t descriptor_;
};

Cp932Converter& ThreadConverter()
{
    thread_local Cp932Converter converter;
    return converter;
}

}  // namespace

void PrepareCp932Conversion()
{
    (void)ThreadConverter();
}

std::string Cp932ToUtf8(std::string_view text)
{
    return ThreadConverter().Convert(text);
}

bool Cp932ConversionMissing() noexcept
{
    return conversionMissing;
}

}  // namespace veskari
