// range prove and range verify, run as a user would run them.
#include "cli/cli_helpers.h"

namespace qorvex::test {
namespace {

const std::string kBlinding = "00000000000000000000000000000000000000000000000000000000b11d1e55";
const std::string kAux = "0000000000000000000000000000000000000000000000000000000000000a0a";
const auto npos = std::string::npos;

TEST_F(CliTest, RangeProveAndVerify) {
    const std::string blind = key_file(kBlinding, "pay.blind");
    const std::string c = run_json({"commit", "--value", "5000", "--blinding-file", blind})["commitment"].str();

    // The commitment is made when not given; the amount is not printed.
    const CliResult made = run({"range", "prove", "--value", "5000", "--blinding-file", blind, "--aux", kAux});
    ASSERT_EQ(made.status, 0) << made.dump();
    EXPECT_NE(made.out.find(c), npos);
    EXPECT_EQ(made.out.find("5000"), npos);
    const Json j = run_json({"range", "prove", "--value", "5000", "--blinding-file", blind, "--commitment", c,
                             "--aux", kAux});
    const std::string proof = j["proof"].str();
    EXPECT_EQ(proof.size(), 2u * 688);
    EXPECT_EQ(j["commitment"].str(), c);
    // Fresh randomness without --aux: another proof, also valid.
    const std::string other = run_json({"range", "prove", "--value", "5000", "--blinding-file", blind})["proof"].str();
    EXPECT_NE(other, proof);

    const CliResult ok = run({"range", "verify", "--commitment", c, "--proof", proof});
    EXPECT_EQ(ok.status, 0) << ok.dump();
    EXPECT_EQ(ok.out, "valid\n");
    EXPECT_EQ(run({"range", "verify", "--commitment", c, "--proof", other}).status, 0);

    // Through a file, hex or raw, and stdin.
    const std::string file = dir / "pay.proof";
    const CliResult saved = run({"range", "prove", "--value", "5000", "--blinding-file", blind, "--out", file});
    ASSERT_EQ(saved.status, 0) << saved.dump();
    EXPECT_EQ(run({"range", "verify", "--commitment", c, "--proof-file", file}).status, 0);
    EXPECT_EQ(run({"range", "verify", "--commitment", c, "--proof-file", "-"}, proof).status, 0);

    // Another commitment: invalid, exit 1.
    const std::string c2 = run_json({"commit", "--value", "5001", "--blinding-file", blind})["commitment"].str();
    const CliResult no = run({"range", "verify", "--commitment", c2, "--proof", proof});
    EXPECT_EQ(no.status, 1) << no.dump();
    EXPECT_EQ(no.out, "invalid\n");
    const CliResult nj_run = run({"range", "verify", "--commitment", c2, "--proof", proof, "--json"});
    EXPECT_EQ(nj_run.status, 1);
    const Json nj = nj_run.json();
    EXPECT_FALSE(nj["valid"].boolean());
    EXPECT_EQ(nj["error"].str(), "range proof failed");

    // Library refusals (exit 3) and usage errors (exit 2).
    const CliResult mismatch = run({"range", "prove", "--value", "5001", "--blinding-file", blind, "--commitment", c});
    EXPECT_EQ(mismatch.status, 3);
    EXPECT_NE(mismatch.err.find("commitment does not match value and blinding"), npos);
    const CliResult short_proof = run({"range", "verify", "--commitment", c, "--proof", proof.substr(2)});
    EXPECT_EQ(short_proof.status, 3);
    EXPECT_NE(short_proof.err.find("range proof too short"), npos);
    EXPECT_EQ(run({"range", "prove", "--blinding-file", blind}).status, 2);
    EXPECT_EQ(run({"range", "prove", "--value", "5000"}).status, 2);
    EXPECT_EQ(run({"range", "prove", "--value", "18446744073709551616", "--blinding-file", blind}).status, 2);
    EXPECT_EQ(run({"range", "verify", "--commitment", c}).status, 2);
    EXPECT_EQ(run({"range", "verify", "--commitment", c, "--proof", proof, "--proof-file", file}).status, 2);
}

}  // namespace
}  // namespace qorvex::test
