#include "cli/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <unordered_set>

#include "export/export.h"
#include "export/export_order.h"
#include "platform/code_page.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;

std::string utf8(std::string_view code_page_text) {
    return platform::convert_code_page(code_page_text, platform::code_page_gbk,
                                       platform::code_page_utf8);
}

std::string lower_ascii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::optional<OutputFormat> format_named(std::string_view name) {
    if (name == "xlsx") {
        return OutputFormat::xlsx;
    }
    if (name == "csv") {
        return OutputFormat::csv;
    }
    if (name == "jsonl") {
        return OutputFormat::jsonl;
    }
    if (name == "text") {
        return OutputFormat::text;
    }
    return std::nullopt;
}

std::optional<OutputFormat> format_of_extension(const std::string& path) {
    const std::string extension = lower_ascii(fs::path(path).extension().string());
    if (extension == ".txt") {
        return OutputFormat::text;
    }
    return extension.size() > 1 ? format_named(extension.substr(1)) : std::nullopt;
}

fs::path folder_of(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

// A new file in `folder` under a random name, created exclusively with the
// mode new files get; its name and descriptor, or errno.
struct NewFile {
    std::string name;
    int fd = -1;
};
tl::expected<NewFile, int> new_file_in(const fs::path& folder, const std::string& stem) {
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name =
            (folder / (stem + ".partial-" + std::to_string(entropy()))).string();
        const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return NewFile{name, fd};
        }
        if (errno != EEXIST) {
            return tl::unexpected(errno);
        }
    }
    return tl::unexpected(EEXIST);
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The rows to write: every word, or with dedup only each word's first occurrence.
template <typename Visit>
void for_each_row(const harvest::HarvestStore& store, bool dedup, Visit&& visit) {
    std::unordered_set<std::string_view> seen;
    exporting::for_each_export_row(store, [&](std::string_view seed, const harvest::WordRow& row,
                                              harvest::KeywordSource source) {
        if (!dedup || seen.insert(row.word).second) {
            visit(seed, row, source);
        }
        return true;
    });
}

// The same rows as a store, for the spreadsheet writers.
harvest::HarvestStore deduplicated(const harvest::HarvestStore& store) {
    harvest::HarvestStore kept;
    for (const harvest::SeedRow& row : store.seed_rows()) {
        kept.add_seed_row(row);
    }
    // Kept rows go back per source in their export order, which within a
    // source is their recording order, so the export walks them the same way.
    for_each_row(store, true,
                 [&](std::string_view, const harvest::WordRow& row, harvest::KeywordSource source) {
                     kept.add_word(source, row.seed, row.word, row.count);
                 });
    return kept;
}

std::string lines_of(const harvest::HarvestStore& store, const OutputTarget& target,
                     const OutputOptions& options) {
    std::string out;
    for_each_row(
        store, options.dedup,
        [&](std::string_view seed, const harvest::WordRow& row, harvest::KeywordSource source) {
            const std::string_view kind = harvest::info(source).short_name;
            if (target.format == OutputFormat::text) {
                out += kind;
                out += '\t';
                out += text_field(utf8(seed));
                out += '\t';
                out += text_field(utf8(row.word));
                out += '\n';
                return;
            }
            nlohmann::ordered_json line;
            line["run"] = options.run_id ? nlohmann::ordered_json(*options.run_id)
                                         : nlohmann::ordered_json(nullptr);
            line["seed"] = utf8(seed);
            line["kind"] = kind;
            line["word"] = utf8(row.word);
            if (!row.count.empty()) {
                line["count"] = utf8(row.count);
            }
            out += line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
            out += '\n';
        });
    return out;
}

tl::expected<void, std::string> write_file(const std::string& path, std::string_view bytes) {
    const fs::path folder = folder_of(path);
    auto file = new_file_in(folder, fs::path(path).filename().string());
    if (!file) {
        return tl::unexpected("cannot write " + path + ": " + std::strerror(file.error()));
    }
    int error = write_all(file->fd, bytes) && ::fsync(file->fd) == 0 ? 0 : errno;
    if (::close(file->fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && std::rename(file->name.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(file->name.c_str());
        return tl::unexpected("cannot write " + path + ": " + std::strerror(error));
    }
    return {};
}

}  // namespace

std::string text_field(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
        }
    }
    return out;
}

tl::expected<OutputTarget, std::string> choose_output(const std::optional<std::string>& output,
                                                      const std::optional<std::string>& format) {
    OutputTarget target;
    if (output && *output != "-") {
        target.path = *output;
    }
    if (format) {
        const auto named = format_named(*format);
        if (!named) {
            return tl::unexpected("unknown format \"" + *format +
                                  "\" (formats: xlsx, csv, jsonl, text)");
        }
        target.format = *named;
    } else if (target.path) {
        const auto implied = format_of_extension(*target.path);
        if (!implied) {
            return tl::unexpected("cannot tell the format of " + *target.path +
                                  " from its name; give -f xlsx, csv, jsonl or text");
        }
        target.format = *implied;
    }
    if (!target.path && target.format == OutputFormat::xlsx) {
        return tl::unexpected(std::string("xlsx output needs a file: -o FILE"));
    }
    return target;
}

tl::expected<void, std::string> check_writable(const OutputTarget& target) {
    if (!target.path) {
        return {};
    }
    const std::string& path = *target.path;
    const fs::path folder = folder_of(path);
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return tl::unexpected("cannot write " + path + ": the folder " + folder.string() +
                              " does not exist");
    }
    if (fs::is_directory(path, error)) {
        return tl::unexpected("cannot write " + path + ": it is a folder");
    }
    auto probe = new_file_in(folder, ".quorvel-probe");
    if (!probe) {
        return tl::unexpected("cannot write " + path + ": " + std::strerror(probe.error()));
    }
    ::close(probe->fd);
    ::unlink(probe->name.c_str());
    return {};
}

tl::expected<void, std::string> write_output(const OutputTarget& target,
                                             const harvest::HarvestStore& store,
                                             const OutputOptions& options) {
    if (target.format == OutputFormat::xlsx || target.format == OutputFormat::csv) {
        const harvest::HarvestStore rows = options.dedup ? deduplicated(store) : store;
        if (!target.path) {
            // CSV to standard output: written to a temporary file by the
            // export itself, then copied, so the bytes are the export's own.
            char name[] = "/tmp/quorvel-cli-XXXXXX";
            const int fd = ::mkstemp(name);
            if (fd < 0) {
                return tl::unexpected(std::string("cannot write a temporary file: ") +
                                      std::strerror(errno));
            }
            ::close(fd);
            auto written = exporting::export_to_file(name, rows, {}, exporting::ExportFormat::csv);
            std::string bytes;
            if (written) {
                std::FILE* in = std::fopen(name, "rb");
                char buffer[65536];
                std::size_t n = 0;
                while (in != nullptr && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
                    bytes.append(buffer, n);
                }
                if (in != nullptr) {
                    std::fclose(in);
                }
            }
            ::unlink(name);
            if (!written) {
                return tl::unexpected("cannot write the table: " + utf8(written.error().reason));
            }
            return write_all(STDOUT_FILENO, bytes)
                       ? tl::expected<void, std::string>()
                       : tl::unexpected(std::string("cannot write to standard output: ") +
                                        std::strerror(errno));
        }
        auto written = exporting::export_to_file(
            platform::convert_code_page(*target.path, platform::code_page_utf8,
                                        platform::code_page_gbk),
            rows, {},
            target.format == OutputFormat::csv ? exporting::ExportFormat::csv
                                               : exporting::ExportFormat::xlsx);
        if (!written) {
            return tl::unexpected("cannot write " + *target.path + ": " +
                                  utf8(written.error().reason));
        }
        return {};
    }
    const std::string bytes = lines_of(store, target, options);
    if (!target.path) {
        return write_all(STDOUT_FILENO, bytes)
                   ? tl::expected<void, std::string>()
                   : tl::unexpected(std::string("cannot write to standard output: ") +
                                    std::strerror(errno));
    }
    return write_file(*target.path, bytes);
}

}  // namespace quorvel::cli
