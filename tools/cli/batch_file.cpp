#include "batch_file.h"

#include <string>

namespace qcli {

std::vector<BatchLine> split_batch_lines(std::string_view text) {
    std::vector<BatchLine> lines;
    size_t number = 0, pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        BatchLine item{number, {}};
        size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
            size_t j = i;
            while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') ++j;
            if (j > i) item.fields.push_back(line.substr(i, j - i));
            i = j;
        }
        if (item.fields.empty() || item.fields[0][0] == '#') continue;
        lines.push_back(std::move(item));
    }
    return lines;
}

std::string line_message(size_t number, const std::string& what) { return "line " + std::to_string(number) + ": " + what; }

}  // namespace qcli
