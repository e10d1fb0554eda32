#include "platform/console.h"

namespace veskari {

void PrepareStandardStreams()
{
}

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace veskari
