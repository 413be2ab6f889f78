// The self-test's vector-file reader over arbitrary text.
//
// Input: a mode byte, then the file's contents. With mode bit 7 clear the
// contents go straight to the reader (fast, for most inputs); with it set
// they are written to a file that SECP256K1_SELFTEST_VECTORS names, and the
// whole ci-mode self-test runs through qorvex_selftest_run.
//
// Properties: the reader never throws or crashes; it fails exactly when it
// reports a failing line; a comment line added at the end changes nothing.
// Through the export: 40 tests run, only the vector test can fail, and the
// code says whether it did.
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "arith/selftest.h"
#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_selftest_run);

namespace {

// The reader's verdict and whether its report names a failing line.
bool read_vectors(const std::string& text, bool& reported) {
    std::FILE* report = std::tmpfile();
    FUZZ_CHECK(report != nullptr);
    std::istringstream in(text);
    const bool ok = qorvex::check_vector_stream(in, report);
    std::fflush(report);
    std::rewind(report);
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, report)) > 0) out.append(buf, n);
    std::fclose(report);
    reported = out.find("    FAIL (line ") != std::string::npos;
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)ctx();  // small tables, installed once
    Input in(data, size);
    const uint8_t mode = in.byte();
    const std::string text(reinterpret_cast<const char*>(in.rest()), in.rest_size());

    bool reported = false;
    const bool ok = read_vectors(text, reported);
    FUZZ_CHECK(ok != reported);
    bool reported2 = false;
    FUZZ_CHECK(read_vectors(text + "\n# the end\n", reported2) == ok);

    if (!(mode & 0x80)) return 0;
    char path[] = "/tmp/qorvex-fuzz-vectors-XXXXXX";
    const int fd = ::mkstemp(path);
    FUZZ_CHECK(fd >= 0);
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    FUZZ_CHECK(written);
    ::setenv("SECP256K1_SELFTEST_VECTORS", path, 1);
    uint32_t run = 0, passed = 0;
    const int rc = qorvex_selftest_run(QORVEX_SELFTEST_CI, 0, 0, &run, &passed);
    ::unsetenv("SECP256K1_SELFTEST_VECTORS");
    ::unlink(path);
    FUZZ_CHECK(run == 40);
    FUZZ_CHECK(rc == (ok ? QORVEX_OK : QORVEX_ERR_SELFTEST));
    FUZZ_CHECK(passed == (ok ? 40u : 39u));
    return 0;
}
