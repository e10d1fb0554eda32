#include "records/file_source.h"

namespace veskari {

bool FileSource::Open(const std::string& path)
{
    return file.Open(path);
}

void FileSource::Close()
{
    file.Close();
}

bool FileSource::Collect(std::vector<std::string>& /*list*/)
{
    return true;
}

}  // namespace veskari
