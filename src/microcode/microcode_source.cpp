#include "microcode/microcode_source.h"

namespace veskari {

bool MicrocodeSource::Collect(std::vector<std::string>& list)
{
    // A multimap keeps equal keys in insertion order, which is file order.
    std::multimap<EntryKey, std::string> entries;
    for (;;) {
        MicrocodeHeader header;
        if (!header.FindNext(file)) {
            break;
        }
        std::string line;
        header.ReportLine(line);
        entries.emplace(header.Key(), std::move(line));
        header.SkipPast(file);
    }
    for (auto& entry : entries) {
        list.push_back(std::move(entry.second));
    }
    return true;
}

}  // namespace veskari
