// The BIP-340 vector file, for the internal and the exported-interface
// tests alike (so nothing here may include library headers).
#pragma once

#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/vectors.h"

namespace qorvex::test::schnorr {

using Bytes = std::vector<uint8_t>;

// One row of the BIP-340 vector file. Empty fields stay empty: rows without
// a secret key are for verification only, and messages may have any length.
struct Bip340Vector {
    int index = 0;
    Bytes seckey, pubkey, aux, msg, sig;
    bool valid = false;
    std::string comment;
};

inline std::vector<Bip340Vector> bip340_vectors() {
    std::istringstream in(read_text_file(vector_path("bip340/test-vectors.csv")));
    std::string line;
    std::getline(in, line);  // header
    std::vector<Bip340Vector> rows;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<std::string> f;
        std::istringstream fields(line);
        std::string cell;
        // The comment is last and may itself hold commas.
        for (int i = 0; i < 7 && std::getline(fields, cell, ','); ++i) f.push_back(cell);
        cell.clear();
        std::getline(fields, cell);
        if (f.size() != 7) throw std::runtime_error("bad BIP-340 vector row: " + line);
        Bip340Vector v;
        v.index = std::stoi(f[0]);
        v.seckey = from_hex(f[1]);
        v.pubkey = from_hex(f[2]);
        v.aux = from_hex(f[3]);
        v.msg = from_hex(f[4]);
        v.sig = from_hex(f[5]);
        v.valid = f[6] == "TRUE";
        v.comment = cell;
        rows.push_back(std::move(v));
    }
    return rows;
}

}  // namespace qorvex::test::schnorr
