// The line files of verify-batch and sign-batch: one item per line, fields
// of hex separated by spaces or tabs; blank lines and lines starting with
// '#' are skipped but still counted, so that line numbers match an editor's.
#pragma once

#include <string_view>
#include <vector>

#include "cli.h"

namespace qcli {

struct BatchLine {
    size_t number;  // 1-based line number in the file
    std::vector<std::string_view> fields;
};

// The item lines of text (views into it).
std::vector<BatchLine> split_batch_lines(std::string_view text);

// Items per library call: the progress lines on stderr come between calls
// for files longer than this.
inline constexpr size_t kBatchCallItems = 65536;

// "line N: what" for messages about one line.
std::string line_message(size_t number, const std::string& what);

}  // namespace qcli
