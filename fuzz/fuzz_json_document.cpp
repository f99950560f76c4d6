// Feeds arbitrary bytes to JsonDocument::parse and reads the result the way
// the harvest does. The input's first line is also tried as a path.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/json_document.h"

using quorvel::data::JsonDocument;

namespace {

// Every read the harvest makes of a suggestion or related-word reply, with
// the loop bounds capped so one input cannot take long.
void read_like_the_harvest(const JsonDocument& doc) {
    const int words = std::min(doc.count("result"), 64);
    for (int i = 0; i < words; ++i) {
        doc.get_text("result[" + std::to_string(i) + "][0]");
    }
    const int entries = std::min(doc.count("magic"), 16);
    for (int k = 0; k < entries; ++k) {
        const std::string entry = "magic[" + std::to_string(k) + "]";
        doc.get_text(entry + ".index");
        const int groups = std::min(doc.count(entry + ".data"), 16);
        for (int l = 0; l < groups; ++l) {
            const std::string group = entry + ".data[" + std::to_string(l) + "]";
            const int items = std::min(doc.count(group), 16);
            for (int t = 0; t < items; ++t) {
                doc.get_text(group + "[" + std::to_string(t) + "].title");
            }
        }
    }
    const int related = std::min(doc.count("data.words"), 64);
    for (int i = 0; i < related; ++i) {
        doc.get_text("data.words[" + std::to_string(i) + "].text");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    JsonDocument doc;
    if (doc.parse(input)) {
        read_like_the_harvest(doc);
        doc.to_json();
    }
    const std::string_view path = input.substr(0, input.find('\n'));
    doc.type_of(path);
    doc.count(path);
    doc.get_text(path);
    doc.get_text(path, quorvel::data::TextForm::json);
    doc.has_member(path);
    doc.push("x", path);
    doc.set_member(path, "1", quorvel::data::TextForm::json);
    doc.remove_path_element(path);
    return 0;
}
