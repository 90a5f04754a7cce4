#pragma once
// Builds UI package images by hand, including damaged ones.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct RawRecord {
    uint32_t nameOffset, nameLength, dataOffset, dataLength;
};

inline void PutU32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A well-formed image of the given (name, data) files, in order.
inline std::string BuildPackage(const std::vector<std::pair<std::string, std::string>>& files)
{
    std::string index, body;
    uint32_t offset = 4 + 16 * static_cast<uint32_t>(files.size());
    PutU32(index, static_cast<uint32_t>(files.size()));
    for (const auto& f : files) {
        PutU32(index, offset);
        PutU32(index, static_cast<uint32_t>(f.first.size()));
        PutU32(index, offset + static_cast<uint32_t>(f.first.size()));
        PutU32(index, static_cast<uint32_t>(f.second.size()));
        body += f.first + f.second;
        offset += static_cast<uint32_t>(f.first.size() + f.second.size());
    }
    return index + body;
}

// An image with a count and records as given, followed by `tail`.
inline std::string RawPackage(uint32_t count, const std::vector<RawRecord>& records, const std::string& tail)
{
    std::string out;
    PutU32(out, count);
    for (const auto& r : records) {
        PutU32(out, r.nameOffset);
        PutU32(out, r.nameLength);
        PutU32(out, r.dataOffset);
        PutU32(out, r.dataLength);
    }
    return out + tail;
}
