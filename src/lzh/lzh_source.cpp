#include "lzh/lzh_source.h"

namespace veskari {

bool LzhSource::Collect(std::vector<std::string>& list)
{
    while (header.FindNext(file)) {
        list.push_back(header.Name());
        header.SkipPast(file);
    }
    return !header.error;
}

bool LzhSource::FindMember(const std::string& name)
{
    while (header.FindNext(file)) {
        if (header.Name() == name) {
            header.SeekToData(file);
            return true;
        }
        header.SkipPast(file);
    }
    return false;
}

}  // namespace veskari
