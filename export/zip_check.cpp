#include "export/zip_check.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <vector>

namespace quorvel::exporting {
namespace {

constexpr std::uint32_t end_signature = 0x06054b50;
constexpr std::uint32_t zip64_locator_signature = 0x07064b50;
constexpr std::uint32_t zip64_end_signature = 0x06064b50;
constexpr std::uint32_t directory_entry_signature = 0x02014b50;
constexpr std::size_t end_size = 22;
constexpr std::size_t zip64_locator_size = 20;
constexpr std::size_t max_comment = 0xFFFF;

std::uint64_t little_endian(const unsigned char* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

bool read_at(std::ifstream& file, std::uint64_t offset, unsigned char* out, std::size_t count) {
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
    return file && static_cast<std::size_t>(file.gcount()) == count;
}

}  // namespace

bool zip_is_whole(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file || !file.seekg(0, std::ios::end)) {
        return false;
    }
    const std::streamoff end = file.tellg();
    if (end < static_cast<std::streamoff>(end_size)) {
        return false;
    }
    const auto size = static_cast<std::uint64_t>(end);
    // The record is the last thing in the file, followed only by its comment.
    const std::uint64_t tail_size = std::min<std::uint64_t>(size, end_size + max_comment);
    std::vector<unsigned char> tail(tail_size);
    if (!read_at(file, size - tail_size, tail.data(), tail.size())) {
        return false;
    }
    for (std::size_t at = tail.size() - end_size + 1; at-- > 0;) {
        const unsigned char* record = tail.data() + at;
        if (little_endian(record, 4) != end_signature ||
            at + end_size + little_endian(record + 20, 2) != tail.size()) {
            continue;
        }
        const std::uint64_t record_offset = size - tail_size + at;
        std::uint64_t directory_size = little_endian(record + 12, 4);
        std::uint64_t directory_offset = little_endian(record + 16, 4);
        std::uint64_t directory_end = record_offset;
        if (directory_offset == 0xFFFFFFFF || directory_size == 0xFFFFFFFF) {
            // The zip64 record, found through its locator right before this one.
            unsigned char locator[zip64_locator_size];
            unsigned char zip64_end[56];
            if (record_offset < zip64_locator_size ||
                !read_at(file, record_offset - zip64_locator_size, locator, sizeof locator) ||
                little_endian(locator, 4) != zip64_locator_signature) {
                return false;
            }
            directory_end = little_endian(locator + 8, 8);
            if (!read_at(file, directory_end, zip64_end, sizeof zip64_end) ||
                little_endian(zip64_end, 4) != zip64_end_signature) {
                return false;
            }
            directory_size = little_endian(zip64_end + 40, 8);
            directory_offset = little_endian(zip64_end + 48, 8);
        }
        unsigned char first[4];
        return directory_size > 0 && directory_offset + directory_size == directory_end &&
               read_at(file, directory_offset, first, sizeof first) &&
               little_endian(first, 4) == directory_entry_signature;
    }
    return false;
}

}  // namespace quorvel::exporting
