// filter build|match, run as a user would run them: a BIP-158 testnet
// block's filter built from its scripts and queried with the block hash,
// the bare-filter form, and the exit codes.
#include <string>
#include <vector>

#include "cli/cli_helpers.h"
#include "support/block_fields.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;
using CliFilter = CliTest;

// Block 926485 of the BIP-158 vectors: a few outputs and spent scripts,
// one of them spent three times.
struct Block {
    std::string hash, serialized_filter;
    std::vector<Bytes> elements;
};

Block vector_block(size_t row_index) {
    const Json rows = load_json_vectors("bip158/testnet-19.json");
    const Json& row = rows[row_index];
    std::vector<Bytes> spent;
    for (const Json& s : row[3].array()) spent.push_back(from_hex(s.str()));
    Block b;
    b.hash = row[1].str();
    b.serialized_filter = row[5].str();
    b.elements = basic_filter_elements(parse_block(from_hex(row[2].str())), spent);
    return b;
}

TEST_F(CliFilter, BuildsAndMatchesAPublishedBlockFilter) {
    const Block b = vector_block(7);
    std::string lines;
    for (const Bytes& e : b.elements) lines += to_hex(e) + "\n";
    // A repeated element is dropped: BIP-158 filters are sets.
    lines += "\n" + to_hex(b.elements[0]) + "\n";
    write_file(dir / "elements.txt", lines);
    const CliResult built = run({"filter", "build", "--block-hash", b.hash, "--file", dir / "elements.txt"});
    ASSERT_EQ(built.status, 0) << built.dump();
    EXPECT_EQ(built.out, b.serialized_filter + "\n");
    const Json j = run_json({"filter", "build", "--block-hash", b.hash, "--file", "-"}, lines);
    EXPECT_EQ(j["n"].integer(), static_cast<long long>(b.elements.size()));
    EXPECT_EQ(j["serialized"].str(), b.serialized_filter);
    EXPECT_EQ(j["filter"].str(), b.serialized_filter.substr(2));

    // Every element matches; an unrelated script does not.
    const std::string absent = "0014000102030405060708090a0b0c0d0e0f10111213";
    const CliResult m = run({"filter", "match", "--block-hash", b.hash, "--filter", b.serialized_filter,
                             to_hex(b.elements[1]), absent});
    ASSERT_EQ(m.status, 0) << m.dump();
    EXPECT_EQ(m.out, to_hex(b.elements[1]) + "  match\n" + absent + "  no match\n");
    const CliResult none = run({"filter", "match", "--block-hash", b.hash, "--filter", b.serialized_filter, absent});
    EXPECT_EQ(none.status, 1) << none.dump();
    EXPECT_NE(none.err.find("no element matches the filter"), std::string::npos) << none.dump();
    const Json mj = run_json({"filter", "match", "--key", j["key"].str(), "--n", std::to_string(b.elements.size()),
                              "--filter", j["filter"].str(), "--file", dir / "elements.txt"});
    EXPECT_TRUE(mj["matches"].boolean());
    for (const Json& item : mj["elements"].array()) EXPECT_TRUE(item["matches"].boolean()) << item["element"].str();
}

TEST_F(CliFilter, RefusesBadInput) {
    const Block b = vector_block(7);
    const std::string element = to_hex(b.elements[0]);
    // Cut short: the library refuses it (exit 3).
    const std::string cut = b.serialized_filter.substr(0, b.serialized_filter.size() - 2);
    const CliResult r = run({"filter", "match", "--block-hash", b.hash, "--filter", cut, element});
    EXPECT_EQ(r.status, 3) << r.dump();
    EXPECT_NE(r.err.find("fewer than"), std::string::npos) << r.dump();
    const CliResult absurd =
            run({"filter", "match", "--key", "000102030405060708090a0b0c0d0e0f", "--filter", "ffffffffffffffffff00",
                 element});
    EXPECT_EQ(absurd.status, 3) << absurd.dump();
    // Usage errors (exit 2).
    const std::vector<std::vector<std::string>> usage = {
            {"filter", "build", "51"},
            {"filter", "build", "--key", "0001", "51"},
            {"filter", "build", "--key", "000102030405060708090a0b0c0d0e0f", "--block-hash", b.hash, "51"},
            {"filter", "build", "--key", "000102030405060708090a0b0c0d0e0f", "5"},
            {"filter", "match", "--key", "000102030405060708090a0b0c0d0e0f", "--filter", "00"},
            {"filter", "match", "--key", "000102030405060708090a0b0c0d0e0f", "51"},
            {"filter", "match", "--key", "000102030405060708090a0b0c0d0e0f", "--filter", "fd01", "51"},
    };
    for (const auto& args : usage) {
        const CliResult u = run(args);
        EXPECT_EQ(u.status, 2) << u.dump();
    }
}

}  // namespace
}  // namespace qorvex::test
