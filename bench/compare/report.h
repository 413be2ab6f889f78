// The comparison table, as aligned text or as Markdown.
#pragma once

#include <string>
#include <vector>

namespace compare {

struct Row {
    std::string name;
    double qorvex_ns;  // 0: qorvex has no such operation (n/a)
    double peer_ns;
    std::string note;
};

void print_text(const std::vector<std::string>& header, const std::vector<Row>& rows);
void print_markdown(const std::vector<std::string>& header, const std::vector<Row>& rows);

}  // namespace compare
