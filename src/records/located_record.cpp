#include "records/located_record.h"

namespace veskari {

bool LocatedRecord::Read(CFile& /*file*/)
{
    error = false;
    message.clear();
    return true;
}

bool LocatedRecord::FindNext(CFile& file)
{
    return Read(file);
}

void LocatedRecord::SkipPast(CFile& file)
{
    file.Seek(start + 1);
}

void LocatedRecord::EndScan()
{
    if (!message.empty()) {
        message += "\r\n";
    }
    message += kNoMoreHeadersNotice;
}

}  // namespace veskari
