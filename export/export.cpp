#include "export/export.h"

#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "data/encoding.h"
#include "harvest/keyword_source.h"
#include "web/text_search.h"

namespace quorvel::exporting {
namespace {

using harvest::KeywordSource;

// Why a file operation failed, for the user: the common causes in words,
// others as the system puts them.
std::string reason_for(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return "\xCE\xC4\xBC\xFE\xBC\xD0\xB2\xBB\xB4\xE6\xD4\xDA";  // 文件夹不存在
        case EACCES:
        case EPERM:
        case EROFS:
            return "\xC3\xBB\xD3\xD0\xD0\xB4\xC8\xEB\xC8\xA8\xCF\xDE";  // 没有写入权限
        case ENOSPC:
        case EDQUOT:
            return "\xB4\xC5\xC5\xCC\xBF\xD5\xBC\xE4\xB2\xBB\xD7\xE3";  // 磁盘空间不足
        default:
            return std::strerror(error);
    }
}

// A temporary file beside `path`, created empty; its name, or nothing.
std::optional<std::string> temporary_beside(const std::string& path, int& error) {
    std::string name = path + ".partial-XXXXXX";
    int fd = mkstemp(name.data());
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    close(fd);
    return name;
}

// Visits the data rows in export order without copying them (see export_to_file).
template <typename Visit>
void for_each_export_row(const harvest::HarvestStore& store, Visit&& visit) {
    // Seeds in order: those of the summary rows, then any that only words name.
    std::vector<std::string_view> seeds;
    std::unordered_map<std::string_view, std::size_t> seed_index;
    auto index_of_seed = [&](std::string_view seed) {
        auto [it, added] = seed_index.emplace(seed, seeds.size());
        if (added) {
            seeds.push_back(seed);
        }
        return it->second;
    };
    for (const harvest::SeedRow& row : store.seed_rows()) {
        index_of_seed(row.seed);
    }
    // One pass over the words: each goes to its own seed and source, by index.
    std::vector<std::array<std::vector<std::uint32_t>, 5>> groups;
    for (KeywordSource source : harvest::all_sources) {
        const auto& words = store.word_rows(source);
        for (std::size_t i = 0; i < words.size(); ++i) {
            const std::size_t s = index_of_seed(words[i].seed);
            groups.resize(seeds.size());
            groups[s][harvest::index_of(source)].push_back(static_cast<std::uint32_t>(i));
        }
    }
    groups.resize(seeds.size());
    for (std::size_t s = 0; s < seeds.size(); ++s) {
        for (KeywordSource source : harvest::all_sources) {
            const auto& words = store.word_rows(source);
            for (std::uint32_t i : groups[s][harvest::index_of(source)]) {
                visit(words[i].seed, words[i].word, harvest::info(source).export_label);
            }
        }
    }
}

bool write_csv(const std::string& file, const harvest::HarvestStore& store, int& error) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) {
        error = errno;
        return false;
    }
    std::string line;
    auto put = [&](std::string_view a, std::string_view b, std::string_view c) {
        line.clear();
        line += csv_field(a);
        line += ',';
        line += csv_field(b);
        line += ',';
        line += csv_field(c);
        line += "\r\n";
        return std::fwrite(line.data(), 1, line.size(), out) == line.size();
    };
    bool ok = put(header_seed, header_word, header_kind);
    for_each_export_row(store, [&](std::string_view seed, std::string_view word,
                                   std::string_view kind) { ok = ok && put(seed, word, kind); });
    if (!ok || std::fflush(out) != 0 || fsync(fileno(out)) != 0) {
        error = errno != 0 ? errno : EIO;
        std::fclose(out);
        return false;
    }
    if (std::fclose(out) != 0) {
        error = errno;
        return false;
    }
    return true;
}

struct WorkbookCloser {
    void operator()(lxw_workbook* workbook) const {
        if (workbook != nullptr) {
            workbook_close(workbook);
        }
    }
};

// Writes the workbook; on failure `reason` says why.
bool write_xlsx(const std::string& file, const harvest::HarvestStore& store, std::string& reason) {
    const std::string directory = file.substr(0, file.find_last_of('/') + 1);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;  // rows go to disk as they are written
    options.use_zip64 = LXW_TRUE;
    std::string tmpdir = directory.empty() ? std::string(".") : directory;
    options.tmpdir = tmpdir.data();
    lxw_workbook* workbook = workbook_new_opt(file.c_str(), &options);
    if (workbook == nullptr) {
        reason = reason_for(errno != 0 ? errno : EIO);
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_error status = LXW_NO_ERROR;
    // Every cell is a string, converted to UTF-8 here: nothing is ever a formula.
    auto put = [&](lxw_row_t row, std::string_view a, std::string_view b, std::string_view c) {
        const std::string cells[3] = {data::utf8_from_gbk(a), data::utf8_from_gbk(b),
                                      data::utf8_from_gbk(c)};
        for (lxw_col_t col = 0; col < 3 && status == LXW_NO_ERROR; ++col) {
            if (!cells[col].empty()) {
                status = worksheet_write_string(sheet, row, col, cells[col].c_str(), nullptr);
            }
        }
    };
    put(0, header_seed, header_word, header_kind);
    lxw_row_t next = 1;
    for_each_export_row(store,
                        [&](std::string_view seed, std::string_view word, std::string_view kind) {
                            if (status != LXW_NO_ERROR) {
                                return;
                            }
                            if (next >= LXW_ROW_MAX) {
                                // More rows than a sheet holds: refuse rather than drop any.
                                status = LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE;
                                return;
                            }
                            put(next++, seed, word, kind);
                        });
    const int saved_errno = errno;
    lxw_error closed = workbook_close(workbook);
    if (status != LXW_NO_ERROR || closed != LXW_NO_ERROR) {
        lxw_error failed = status != LXW_NO_ERROR ? status : closed;
        reason = failed == LXW_ERROR_CREATING_XLSX_FILE || failed == LXW_ERROR_CREATING_TMPFILE
                     ? reason_for(saved_errno != 0 ? saved_errno : EIO)
                     : std::string(lxw_strerror(failed));
        return false;
    }
    return true;
}

}  // namespace

std::string text_after_last(std::string_view text, std::string_view separator) {
    int at = web::find_last_text(text, separator);
    if (at == -1) {
        return {};
    }
    return std::string(text.substr(static_cast<std::size_t>(at) - 1 + separator.size()));
}

std::string csv_field(std::string_view text) {
    std::string field;
    if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@')) {
        field = "'";
    }
    field += text;
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::optional<std::string> export_to_file(const std::string& path,
                                          const harvest::HarvestStore& store) {
    const bool csv = path.find(".csv") != std::string::npos;
    // File names on this system are UTF-8.
    const std::string target = data::utf8_from_gbk(path);
    int error = 0;
    std::optional<std::string> partial = temporary_beside(target, error);
    if (!partial) {
        return reason_for(error);
    }
    std::string reason;
    bool written = csv ? write_csv(*partial, store, error) : write_xlsx(*partial, store, reason);
    if (written && std::rename(partial->c_str(), target.c_str()) != 0) {
        error = errno;
        written = false;
    }
    if (!written) {
        std::remove(partial->c_str());
        return reason.empty() ? reason_for(error) : reason;
    }
    // mkstemp made the file private to the user; give it the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(target.c_str(), 0666 & ~mask);
    return std::nullopt;
}

void export_results(platform::WindowOperations& window, const harvest::HarvestStore& store) {
    std::optional<std::string> path =
        window.show_save_dialog(dialog_name, dialog_filter, default_extension, dialog_title);
    if (!path || path->empty()) {
        return;
    }
    if (std::optional<std::string> failure = export_to_file(*path, store)) {
        window.show_message(std::string(save_failed_message) + *path + "\r\n" + *failure);
    }
}

}  // namespace quorvel::exporting
