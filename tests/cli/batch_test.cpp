// sign-batch and verify-batch: the round trip through their shared file
// format, the invalid lines reported, and the keys never printed.
#include <sstream>

#include "cli/cli_helpers.h"

namespace qorvex::test {
namespace {

const auto npos = std::string::npos;

std::string hex32(unsigned seed) {
    std::string h;
    for (int i = 0; i < 32; ++i) {
        char b[3];
        std::snprintf(b, sizeof b, "%02x", (seed * 37 + static_cast<unsigned>(i) * 11 + 1) & 0xFF);
        h += b;
    }
    return h;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) out.push_back(line);
    return out;
}

using CliBatch = CliTest;

TEST_F(CliBatch, SignedFilesVerifyAndBadLinesAreNamed) {
    for (const std::string scheme : {"ecdsa", "schnorr"}) {
        SCOPED_TRACE(scheme);
        // Keys in the file, one per line, with a comment and a blank line.
        std::string input = "# seckey digest\n\n";
        for (unsigned i = 0; i < 6; ++i) input += hex32(i + 1) + " " + hex32(100 + i) + "\n";
        write_file(dir / "items.txt", input);
        const CliResult signed_ = run({"sign-batch", "--scheme", scheme, dir / "items.txt"});
        ASSERT_EQ(signed_.status, 0) << signed_.dump();
        for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(signed_.out.find(hex32(i + 1)), npos) << "a key was printed";
        const std::vector<std::string> out = lines_of(signed_.out);
        ASSERT_EQ(out.size(), 6u);
        // Each line is PUBKEY DIGEST SIGNATURE, the single-item sign's.
        std::vector<std::string> args = {"sign", "--scheme", scheme, "--key-file", key_file(hex32(3)), "--digest",
                                         hex32(102)};
        if (scheme == "schnorr") args.insert(args.end(), {"--aux", std::string(64, '0')});
        const Json one = run_json(args);
        EXPECT_NE(out[2].find(one["public_key"].str()), npos);
        if (scheme == "ecdsa") {
            EXPECT_NE(out[2].find(one["signature"].str()), npos);
        }

        write_file(dir / "signed.txt", signed_.out);
        const CliResult ok = run({"verify-batch", "--scheme", scheme, dir / "signed.txt"});
        EXPECT_EQ(ok.status, 0) << ok.dump();
        EXPECT_NE(ok.out.find("all 6 signatures valid"), npos);

        // Lines 2 and 5 of the file get another item's signature.
        std::string broken;
        for (size_t i = 0; i < out.size(); ++i) {
            std::string l = out[i];
            if (i == 1 || i == 4) l = l.substr(0, l.size() - 128) + out[(i + 1) % 6].substr(out[i].size() - 128);
            broken += l + "\n";
        }
        write_file(dir / "broken.txt", "# header\n" + broken);
        const CliResult bad = run({"verify-batch", "--scheme", scheme, dir / "broken.txt", "--json"});
        EXPECT_EQ(bad.status, 1) << bad.dump();
        const Json j = bad.json();
        ASSERT_EQ(j["invalid_lines"].array().size(), 2u) << bad.dump();
        EXPECT_EQ(j["invalid_lines"][0].num(), 3);
        EXPECT_EQ(j["invalid_lines"][1].num(), 6);
    }
}

TEST_F(CliBatch, OneKeyFromAFileAndMalformedInput) {
    const std::string key = key_file(hex32(9));
    std::string digests;
    for (unsigned i = 0; i < 4; ++i) digests += hex32(50 + i) + "\n";
    write_file(dir / "digests.txt", digests);
    const CliResult r = run({"sign-batch", "--scheme", "schnorr", "--key-file", key, dir / "digests.txt"});
    ASSERT_EQ(r.status, 0) << r.dump();
    const Json pub = run_json({"pubkey", "--key-file", key});
    for (const std::string& l : lines_of(r.out)) EXPECT_EQ(l.substr(0, 64), pub["x_only"].str());
    // From stdin too.
    const CliResult piped = run({"verify-batch", "--scheme", "schnorr", "-"}, r.out);
    EXPECT_EQ(piped.status, 0) << piped.dump();

    // A zero key is named by its line; a short digest is a usage error.
    write_file(dir / "zero.txt", hex32(1) + " " + hex32(2) + "\n" + std::string(64, '0') + " " + hex32(3) + "\n");
    const CliResult zero = run({"sign-batch", dir / "zero.txt"});
    EXPECT_EQ(zero.status, 3) << zero.dump();
    EXPECT_NE(zero.err.find("line 2"), npos) << zero.err;
    EXPECT_EQ(zero.err.find(hex32(1)), npos);
    write_file(dir / "short.txt", hex32(1) + " abcd\n");
    EXPECT_EQ(run({"sign-batch", dir / "short.txt"}).status, 2);
    // A key that does not parse in a verify file: a library error naming the line.
    std::vector<std::string> ls = lines_of(r.out);
    ls[2] = std::string(64, 'f') + ls[2].substr(64);
    write_file(dir / "badkey.txt", ls[0] + "\n" + ls[1] + "\n" + ls[2] + "\n");
    const CliResult badkey = run({"verify-batch", "--scheme", "schnorr", dir / "badkey.txt"});
    EXPECT_EQ(badkey.status, 3) << badkey.dump();
    EXPECT_NE(badkey.err.find("line 3"), npos) << badkey.err;
    EXPECT_EQ(run({"verify-batch", "--scheme", "rsa", dir / "badkey.txt"}).status, 2);
}

}  // namespace
}  // namespace qorvex::test
