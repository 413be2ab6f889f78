// sp address|send|scan, run as a user would run them, on BIP-352's own
// vectors written out as the JSON files the commands read.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "cli/cli_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using CliSp = CliTest;

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// Appends an item to a JSON list under construction ("[" so far, or more).
void add_item(std::string& list, const std::string& item) {
    if (list.size() > 1) list += ',';
    list += item;
}

// A vin array as the vectors give it, private keys included when asked.
std::string vin_json(const Json& vins, bool keys) {
    std::string out = "[";
    for (const Json& v : vins.array()) {
        std::string item = "{\"txid\":" + quoted(v["txid"].str()) + ",\"vout\":" + std::to_string(v["vout"].integer()) +
               ",\"scriptSig\":" + quoted(v["scriptSig"].str()) + ",\"txinwitness\":" + quoted(v["txinwitness"].str()) +
               ",\"prevout\":{\"scriptPubKey\":{\"hex\":" + quoted(v["prevout"]["scriptPubKey"]["hex"].str()) + "}}";
        if (keys) item += ",\"private_key\":" + quoted(v["private_key"].str());
        add_item(out, item + "}");
    }
    return out + "]";
}

std::string strings_json(const Json& list) {
    std::string out = "[";
    for (const Json& s : list.array()) add_item(out, quoted(s.str()));
    return out + "]";
}

TEST_F(CliSp, SendsAndScansTheVectorsOfALabelledPayment) {
    const Json cases = load_json_vectors("bip352/send_and_receive_test_vectors.json");
    // "Multiple outputs with labels: un-labeled and labeled address; same
    // recipient".
    const Json& c = cases[15];
    const Json& send = c["sending"][0]["given"];
    std::string recipients = "[";
    for (const Json& r : send["recipients"].array())
        add_item(recipients, "{\"address\":" + quoted(r["address"].str()) + "}");
    recipients += "]";
    write_file(dir / "send.json", "{\"given\":{\"vin\":" + vin_json(send["vin"], true) +
                                      ",\"recipients\":" + recipients + "}}");
    const Json sent = run_json({"sp", "send", dir / "send.json"});
    ASSERT_EQ(2u, sent["outputs"].size());
    bool in_a_set = false;
    for (const Json& set : c["sending"][0]["expected"]["outputs"].array()) {
        std::vector<std::string> want, got;
        for (const Json& k : set.array()) want.push_back(k.str());
        for (const Json& o : sent["outputs"].array()) got.push_back(o["output_key"].str());
        std::sort(want.begin(), want.end());
        std::sort(got.begin(), got.end());
        in_a_set |= want == got;
    }
    EXPECT_TRUE(in_a_set) << sent["outputs"][0]["output_key"].str();
    // The private keys are never echoed.
    const CliResult text = run({"sp", "send", dir / "send.json"});
    ASSERT_EQ(0, text.status) << text.dump();
    EXPECT_EQ(std::string::npos, text.out.find(send["vin"][0]["private_key"].str()));

    const Json& recv = c["receiving"][0]["given"];
    const std::string keys = "{\"scan_priv_key\":" + quoted(recv["key_material"]["scan_priv_key"].str()) +
                             ",\"spend_priv_key\":" + quoted(recv["key_material"]["spend_priv_key"].str()) + "}";
    std::string labels = "[";
    for (const Json& m : recv["labels"].array()) add_item(labels, std::to_string(m.integer()));
    labels += "]";
    write_file(dir / "scan.json", "{\"vin\":" + vin_json(recv["vin"], false) + ",\"outputs\":" +
                                      strings_json(recv["outputs"]) + ",\"key_material\":" + keys +
                                      ",\"labels\":" + labels + "}");
    const Json found = run_json({"sp", "scan", dir / "scan.json"});
    const Json& expected = c["receiving"][0]["expected"];
    ASSERT_EQ(expected["outputs"].size(), found["matches"].size());
    std::set<std::string> want, got;
    for (const Json& o : expected["outputs"].array()) want.insert(o["pub_key"].str() + o["priv_key_tweak"].str());
    for (const Json& m : found["matches"].array()) got.insert(m["pub_key"].str() + m["priv_key_tweak"].str());
    EXPECT_EQ(want, got);
    EXPECT_EQ(expected["tweak"].str(), found["tweak"].str());

    // The light-client form, from the tweak alone.
    write_file(dir / "light.json", "{\"tweak\":" + quoted(found["tweak"].str()) + ",\"outputs\":" +
                                       strings_json(recv["outputs"]) + ",\"key_material\":" + keys +
                                       ",\"labels\":" + labels + "}");
    const Json light = run_json({"sp", "scan", dir / "light.json"});
    EXPECT_EQ(found["matches"].size(), light["matches"].size());

    // The addresses, plain and labelled, from the keys.
    const Json spend = run_json({"sp", "address", "--decode", expected["addresses"][0].str()});
    EXPECT_EQ("mainnet", spend["network"].str());
    const CliResult addr = run({"sp", "address", "--key-file", key_file(recv["key_material"]["scan_priv_key"].str()),
                                "--spend-pubkey", spend["spend_pub_key"].str(), "--labels", labels.substr(1, labels.size() - 2)});
    ASSERT_EQ(0, addr.status) << addr.dump();
    for (const Json& a : expected["addresses"].array()) EXPECT_NE(std::string::npos, addr.out.find(a.str())) << addr.out;
    const Json plain = run_json({"sp", "address", "--scan-pubkey", spend["scan_pub_key"].str(), "--spend-pubkey",
                                 spend["spend_pub_key"].str()});
    EXPECT_EQ(expected["addresses"][0].str(), plain["address"].str());
}

TEST_F(CliSp, RefusesBadInputWithItsExitCode) {
    write_file(dir / "bad.json", "{\"vin\": [");
    const CliResult bad_json = run({"sp", "scan", dir / "bad.json"});
    EXPECT_EQ(2, bad_json.status) << bad_json.dump();
    const CliResult bad_address = run({"sp", "address", "--decode", "sp1qqqqqq"});
    EXPECT_EQ(3, bad_address.status) << bad_address.dump();
    const CliResult no_keys = run({"sp", "address", "--spend-pubkey", "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798"});
    EXPECT_EQ(2, no_keys.status) << no_keys.dump();
    const CliResult help = run({"sp", "scan", "--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_NE(std::string::npos, help.out.find("qorvex sp scan"));
}

}  // namespace
}  // namespace qorvex::test
