#include "platform/cp932.h"

#include <cerrno>
#include <iconv.h>

#include "platform/file_error.h"

namespace veskari {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// One conversion descriptor per thread, opened on first use.
class Cp932Converter {
public:
    Cp932Converter() : descriptor_(::iconv_open("UTF-8", "CP932"))
    {
        // Opening loads the conversion module, which needs a descriptor:
        // refused, it is a file error like any other.
        if (descriptor_ == reinterpret_cast<iconv_t>(-1)) {
            throw FileError::FromErrno(FileOperation::open, errno, "iconv CP932");
        }
    }
    ~Cp932Converter() { ::iconv_close(descriptor_); }
    Cp932Converter(const Cp932Converter&) = delete;
    Cp932Converter& operator=(const Cp932Converter&) = delete;

    std::string Convert(std::string_view text)
    {
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

}  // namespace veskari
