#include "ui/MemFiles.h"

#include <cstring>

namespace {

uint32_t ReadU32(const std::string& image, size_t offset)
{
    const auto* p = reinterpret_cast<const unsigned char*>(image.data()) + offset;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

bool InImage(uint64_t offset, uint64_t length, uint64_t size)
{
    return offset <= size && length <= size - offset;
}

}  // namespace

bool MemFiles::Parse(const std::string& image)
{
    m_image = image;
    m_index.clear();
    if (m_image.size() < 4)
        return false;
    const int32_t count = static_cast<int32_t>(ReadU32(m_image, 0));
    if (count <= 0)
        return false;
    const uint64_t size = m_image.size();
    if (4 + 16ULL * static_cast<uint64_t>(count) > size) {
        m_image.clear();
        return false;
    }
    std::map<std::string, PackageEntry> index;
    for (int32_t i = 0; i < count; ++i) {
        const size_t at = 4 + 16 * static_cast<size_t>(i);
        PackageEntry e {ReadU32(m_image, at), ReadU32(m_image, at + 4), ReadU32(m_image, at + 8),
                        ReadU32(m_image, at + 12)};
        if (!InImage(e.nameOffset, e.nameLength, size) || !InImage(e.dataOffset, e.dataLength, size)) {
            m_image.clear();
            return false;
        }
        std::string name = m_image.substr(e.nameOffset, e.nameLength);
        for (auto& c : name)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        index[name] = e;  // a later record of the same name replaces an earlier one
    }
    m_index.swap(index);
    return true;
}

std::string MemFiles::GetFile(const std::string& name) const
{
    auto it = m_index.find(name);
    if (it == m_index.end())
        return std::string();
    return m_image.substr(it->second.dataOffset, it->second.dataLength);
}
