#include "pe_image.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace pe {

namespace {

class Reader {
  public:
    explicit Reader(const std::string& bytes) : m_bytes(bytes) {}
    bool u16(std::size_t at, std::uint16_t& value) const { return read(at, &value, 2); }
    bool u32(std::size_t at, std::uint32_t& value) const { return read(at, &value, 4); }
    bool text(std::size_t at, std::string& value) const {
        if (at >= m_bytes.size()) return false;
        const std::size_t end = m_bytes.find('\0', at);
        if (end == std::string::npos) return false;
        value = m_bytes.substr(at, end - at);
        return true;
    }

  private:
    // Little-endian fields, as the format and both supported processors have them.
    bool read(std::size_t at, void* value, std::size_t size) const {
        if (at > m_bytes.size() || m_bytes.size() - at < size) return false;
        std::memcpy(value, m_bytes.data() + at, size);
        return true;
    }
    const std::string& m_bytes;
};

struct Section {
    std::uint32_t virtual_address, virtual_size, raw_size, raw_offset;
};

// Past every file: where an address in no section lies, so that reading it fails.
constexpr std::size_t kNowhere = static_cast<std::size_t>(-1);

// Where in the file a relative virtual address lies.
std::size_t file_offset(const std::vector<Section>& sections, std::uint32_t rva) {
    for (const Section& s : sections)
        if (rva >= s.virtual_address && rva - s.virtual_address < s.virtual_size)
            return std::size_t(s.raw_offset) + (rva - s.virtual_address);
    return kNowhere;
}

bool read_exports(const Reader& in, const std::vector<Section>& sections, std::uint32_t rva,
                  std::vector<std::string>& names) {
    const std::size_t directory = file_offset(sections, rva);
    std::uint32_t count = 0, name_table = 0;
    if (directory == kNowhere || !in.u32(directory + 24, count) ||
        !in.u32(directory + 32, name_table))
        return false;
    const std::size_t table = file_offset(sections, name_table);
    if (count > 65536 || (count != 0 && table == kNowhere)) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t name_rva = 0;
        std::string name;
        if (!in.u32(table + 4 * std::size_t(i), name_rva) ||
            !in.text(file_offset(sections, name_rva), name))
            return false;
        names.push_back(name);
    }
    return true;
}

constexpr std::uint32_t kVersionResource = 16;
constexpr std::uint32_t kSubdirectory = 0x80000000;
constexpr int kDeepestBlock = 8;

// The offset (from the start of the resources) that an entry of the directory
// at `directory` leads to: the one with that type, or the first one.
bool resource_entry(const Reader& in, std::size_t resources, std::uint32_t directory,
                    const std::uint32_t* type, std::uint32_t& target) {
    std::uint16_t named = 0, numbered = 0;
    const std::size_t at = resources + directory;
    if (!in.u16(at + 12, named) || !in.u16(at + 14, numbered)) return false;
    for (std::size_t i = 0; i < std::size_t(named) + numbered; ++i) {
        std::uint32_t name = 0;
        if (!in.u32(at + 16 + 8 * i, name) || !in.u32(at + 20 + 8 * i, target)) return false;
        if (type == nullptr || name == *type) return true;
    }
    return false;
}

std::size_t aligned(std::size_t offset) {
    return (offset + 3) & ~std::size_t(3);
}

// A UTF-16 text of at most `limit` characters ending at a zero; where it ends.
std::size_t read_text16(const Reader& in, std::size_t at, std::size_t limit, std::string& text) {
    for (std::uint16_t c = 0; limit-- > 0 && in.u16(at, c); at += 2) {
        if (c == 0) return at + 2;
        text += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return kNowhere;
}

// One block of the version resource (key, value, children), its string values
// recorded by key.
void read_version_block(const Reader& in, std::size_t at, std::size_t end, int depth,
                        std::map<std::string, std::string>& strings) {
    std::uint16_t length = 0, value_length = 0, type = 0;
    if (depth > kDeepestBlock || !in.u16(at, length) || !in.u16(at + 2, value_length) ||
        !in.u16(at + 4, type) || length < 6 || end - at < length)
        return;
    const std::size_t block_end = at + length;
    std::string key;
    std::size_t next = read_text16(in, at + 6, (block_end - at - 6) / 2, key);
    if (next == kNowhere) return;
    next = aligned(next);
    if (type == 1 && value_length > 0) {
        std::string value;
        if (read_text16(in, next, value_length, value) != kNowhere) strings[key] = value;
        next += 2 * std::size_t(value_length);
    } else {
        next += value_length;
    }
    for (next = aligned(next); next + 6 <= block_end;) {
        std::uint16_t child = 0;
        if (!in.u16(next, child) || child < 6) return;
        read_version_block(in, next, block_end, depth + 1, strings);
        next = aligned(next + child);
    }
}

// The version resource: its type's directory, then the first name and the
// first language under it.
void read_version(const Reader& in, const std::vector<Section>& sections, std::uint32_t rva,
                  std::map<std::string, std::string>& strings) {
    const std::size_t resources = file_offset(sections, rva);
    std::uint32_t names = 0, languages = 0, leaf = 0, data_rva = 0, size = 0;
    if (resources == kNowhere || !resource_entry(in, resources, 0, &kVersionResource, names) ||
        !(names & kSubdirectory) ||
        !resource_entry(in, resources, names & ~kSubdirectory, nullptr, languages) ||
        !(languages & kSubdirectory) ||
        !resource_entry(in, resources, languages & ~kSubdirectory, nullptr, leaf) ||
        (leaf & kSubdirectory) || !in.u32(resources + leaf, data_rva) ||
        !in.u32(resources + leaf + 4, size))
        return;
    const std::size_t data = file_offset(sections, data_rva);
    if (data != kNowhere) read_version_block(in, data, data + size, 0, strings);
}

}  // namespace

bool read_image(const std::string& bytes, Image& image) {
    const Reader in(bytes);
    std::uint16_t mz = 0, sections_count = 0, optional_size = 0, magic = 0;
    std::uint32_t pe_at = 0, signature = 0;
    if (!in.u16(0, mz) || mz != 0x5A4D || !in.u32(0x3C, pe_at) || !in.u32(pe_at, signature) ||
        signature != 0x00004550)
        return false;
    const std::size_t header = std::size_t(pe_at) + 4;
    if (!in.u16(header, image.machine) || !in.u16(header + 2, sections_count) ||
        !in.u16(header + 16, optional_size))
        return false;
    const std::size_t optional = header + 20;
    if (!in.u16(optional, magic)) return false;
    // The data directories start later in the 64-bit optional header.
    const std::size_t directories = optional + (magic == 0x20b ? 112 : 96);
    std::uint32_t export_rva = 0, resource_rva = 0, certificates_size = 0;
    if (!in.u32(directories, export_rva) || !in.u32(directories + 16, resource_rva)) return false;
    // The certificate table, the fifth directory, holds the signatures.
    image.has_signature = in.u32(directories + 36, certificates_size) && certificates_size > 0;
    std::vector<Section> sections;
    const std::size_t table = optional + optional_size;
    for (std::uint16_t i = 0; i < sections_count; ++i) {
        Section s{};
        const std::size_t at = table + 40 * std::size_t(i);
        if (!in.u32(at + 8, s.virtual_size) || !in.u32(at + 12, s.virtual_address) ||
            !in.u32(at + 16, s.raw_size) || !in.u32(at + 20, s.raw_offset))
            return false;
        if (s.virtual_size == 0) s.virtual_size = s.raw_size;
        sections.push_back(s);
    }
    image.exports.clear();
    image.version_strings.clear();
    if (resource_rva != 0) read_version(in, sections, resource_rva, image.version_strings);
    return export_rva == 0 || read_exports(in, sections, export_rva, image.exports);
}

const char* bits_of(std::uint16_t machine) {
    if (machine == kMachineI386) return "32-bit";
    if (machine == kMachineAmd64) return "64-bit";
    return "unknown";
}

bool read_image_file(const std::string& path, Image& image) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return (in.good() || in.eof()) && read_image(bytes, image);
}

}  // namespace pe
