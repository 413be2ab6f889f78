// A main for the fuzz targets in builds without libFuzzer: runs the target
// once on every file named on the command line, or found in a directory
// named there (the seed corpus), and fails if any input fails a property
// (the target aborts) or if there was nothing to run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<uint8_t> read_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        if (fs::is_directory(arg)) {
            for (const auto& e : fs::directory_iterator(arg))
                if (e.is_regular_file()) files.push_back(e.path());
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s corpus-dir-or-file...\n(no inputs found)\n", argv[0]);
        return 2;
    }
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        const std::vector<uint8_t> data = read_file(f);
        // An empty vector's data() may be null; the targets take any pointer
        // with size 0, as libFuzzer can pass.
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
