#pragma once
// The index of a UI package image: a private copy of the image and a map from
// the lower-cased name of each file to its index record.
//
// Layout (little-endian, offsets from the start of the image): a 32-bit count,
// then one 16-byte record per file (name offset, name length, data offset,
// data length), then each file's name bytes followed by its data bytes.
//
// A hostile image is never read outside its bounds: when the count claims more
// records than fit in the image, or any record's name or data range lies
// outside the image, the whole image is refused and the index stays empty. A
// damaged package is a build fault; serving part of it would hide that.
#include <cstdint>
#include <map>
#include <string>

struct PackageEntry {
    uint32_t nameOffset;
    uint32_t nameLength;
    uint32_t dataOffset;
    uint32_t dataLength;
};

class MemFiles {
public:
    MemFiles() = default;
    virtual ~MemFiles() = default;

    // Indexes the image; false (and an empty index) when it is refused.
    bool Parse(const std::string& image);
    // A copy of the named file's bytes (name already lower-cased); "" when absent.
    std::string GetFile(const std::string& name) const;
    size_t Count() const { return m_index.size(); }

private:
    std::string m_image;
    std::map<std::string, PackageEntry> m_index;
};
