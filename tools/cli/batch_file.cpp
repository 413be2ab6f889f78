#include "batch_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

void read_secret_file(const std::string& path, SecretBuffer& buf) {
    const bool from_stdin = path == "-";
    const int fd = from_stdin ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) usage_error("cannot open " + path + ": " + std::strerror(errno));
    std::vector<uint8_t>& data = buf.data();
    data.clear();
    size_t used = 0;
    for (;;) {
        if (used == data.size()) {
            // Grow by moving to a new buffer and wiping the old one.
            std::vector<uint8_t> bigger(data.empty() ? 65536 : 2 * data.size());
            if (used) std::memcpy(bigger.data(), data.data(), used);
            buf.clear();
            data.swap(bigger);
        }
        const ssize_t r = ::read(fd, data.data() + used, data.size() - used);
        if (r < 0) {
            if (errno == EINTR) continue;
            const std::string err = std::strerror(errno);
            if (!from_stdin) ::close(fd);
            usage_error("cannot read " + (from_stdin ? std::string("stdin") : path) + ": " + err);
        }
        if (r == 0) break;
        used += static_cast<size_t>(r);
    }
    if (!from_stdin) ::close(fd);
    // Shrinking the size keeps the allocation, which clear() wipes whole.
    data.resize(used);
}

std::string line_message(size_t number, const std::string& what) { return "line " + std::to_string(number) + ": " + what; }

}  // namespace qcli
