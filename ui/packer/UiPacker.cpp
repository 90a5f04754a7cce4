// uipack: builds a UI package from a folder of pages, style sheets, scripts
// and pictures. Runs on the build machine.
//
//   uipack <source folder> <output file>
//
// Every regular file below the folder becomes one entry named "/" plus its
// path relative to the folder, with "/" as separator. Input that the engine
// could not serve is refused with a message and exit code 1, and no output
// is written: names that are not printable ASCII, two names that differ only
// in letter case (lookups ignore case), names holding a backslash (requests
// turn backslashes into "/"), and empty files.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string name;
    std::string data;
};

int Fail(const std::string& text)
{
    std::fprintf(stderr, "uipack: %s\n", text.c_str());
    return 1;
}

bool PrintableAscii(const std::string& name)
{
    return std::all_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x7F;
    });
}

std::string Lower(std::string text)
{
    for (auto& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

void PutU32(std::string& out, uint64_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return Fail("usage: uipack <source folder> <output file>");
    const fs::path source = argv[1];
    const fs::path output = argv[2];
    std::error_code ec;
    if (!fs::is_directory(source, ec))
        return Fail("not a folder: " + source.string());

    std::vector<Entry> entries;
    std::map<std::string, std::string> byLower;
    for (auto it = fs::recursive_directory_iterator(source, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_regular_file())
            continue;
        const std::string relative = fs::relative(it->path(), source).generic_string();
        const std::string name = "/" + relative;
        if (relative.find('\\') != std::string::npos)
            return Fail("file name holds a backslash (the separator is \"/\"): " + relative);
        if (!PrintableAscii(relative))
            return Fail("file name is not printable ASCII (the engine looks names up as ASCII): " + relative);
        auto seen = byLower.find(Lower(name));
        if (seen != byLower.end())
            return Fail("names differ only in letter case (lookups ignore case): " + seen->second + " and " + name);
        byLower[Lower(name)] = name;
        std::ifstream in(it->path(), std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof())
            return Fail("cannot read " + relative);
        if (data.empty())
            return Fail("empty file (a file of length 0 cannot be served): " + relative);
        entries.push_back(Entry {name, std::move(data)});
    }
    if (ec)
        return Fail("cannot list " + source.string() + ": " + ec.message());
    if (entries.empty())
        return Fail("no files in " + source.string());
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });

    uint64_t offset = 4 + 16ULL * entries.size();
    std::string index, body;
    PutU32(index, entries.size());
    for (const auto& e : entries) {
        PutU32(index, offset);
        PutU32(index, e.name.size());
        PutU32(index, offset + e.name.size());
        PutU32(index, e.data.size());
        body += e.name;
        body += e.data;
        offset += e.name.size() + e.data.size();
        if (offset > 0x7FFFFFFFULL)
            return Fail("package larger than 2 GiB");
    }
    const fs::path temp = output.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << index << body;
        if (!out.good())
            return Fail("cannot write " + temp.string());
    }
    fs::rename(temp, output, ec);
    if (ec)
        return Fail("cannot write " + output.string() + ": " + ec.message());
    std::printf("uipack: %zu files, %llu bytes -> %s\n", entries.size(), static_cast<unsigned long long>(offset),
                output.string().c_str());
    return 0;
}
