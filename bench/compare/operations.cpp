#include "operations.h"

#include "peer_side.h"
#include "qorvex_side.h"

namespace compare {

// One entry per row. An operation qorvex does not export yet has nullptr on
// its side: the row still times libsecp256k1 and prints n/a for qorvex, and
// supporting it later is a function in qorvex_side.cpp named here.
const std::vector<Operation>& operations() {
    static const std::vector<Operation> ops = {
        {"pubkey create", qv::pubkey_create, peer::pubkey_create, Expect::Agree,
         "ec_pubkey_create + serialize (33 B)"},
        {"pubkey parse, 33 B", qv::pubkey_parse33, peer::pubkey_parse33, Expect::Agree,
         "ec_pubkey_parse + serialize (33 B)"},
        {"pubkey parse, 65 B", qv::pubkey_parse65, peer::pubkey_parse65, Expect::Agree,
         "ec_pubkey_parse + serialize (33 B)"},
        {"pubkey tweak add", qv::pubkey_tweak_add, peer::pubkey_tweak_add, Expect::Agree,
         "ec_pubkey_parse + ec_pubkey_tweak_add + serialize"},
        {"pubkey tweak mul", qv::pubkey_tweak_mul, peer::pubkey_tweak_mul, Expect::Agree,
         "ec_pubkey_parse + ec_pubkey_tweak_mul + serialize"},
        {"ECDSA sign", qv::ecdsa_sign, peer::ecdsa_sign, Expect::Agree,
         "ecdsa_sign (RFC 6979) + signature_serialize_compact"},
        {"ECDSA verify, one key", qv::ecdsa_verify_one_key, peer::ecdsa_verify_one_key, Expect::Verdict,
         "signature_parse_compact + ecdsa_verify, key parsed once beforehand"},
        {"ECDSA verify, 1,000 keys", qv::ecdsa_verify_many_keys, peer::ecdsa_verify_many_keys, Expect::Verdict,
         "ec_pubkey_parse + signature_parse_compact + ecdsa_verify"},
        {"ECDSA recover", qv::ecdsa_recover, peer::ecdsa_recover, Expect::Agree,
         "recoverable_signature_parse_compact + ecdsa_recover + serialize"},
        {"Schnorr sign, peer prepared keypair", qv::schnorr_sign, peer::schnorr_sign_keypair, Expect::Agree,
         "schnorrsig_sign32 with a keypair made beforehand (qorvex: from the secret key)"},
        {"Schnorr sign, both prepared keypair", qv::schnorr_sign_keypair, peer::schnorr_sign_keypair, Expect::Agree,
         "schnorrsig_sign32 with a keypair made beforehand (qorvex: qorvex_schnorr_sign_keypair likewise)"},
        {"Schnorr sign, peer from secret key", qv::schnorr_sign, peer::schnorr_sign_seckey, Expect::Agree,
         "keypair_create + schnorrsig_sign32"},
        {"Schnorr verify, one key", qv::schnorr_verify_one_key, peer::schnorr_verify_one_key, Expect::Verdict,
         "schnorrsig_verify, x-only key parsed once beforehand"},
        {"Schnorr verify, 1,000 keys", qv::schnorr_verify_many_keys, peer::schnorr_verify_many_keys,
         Expect::Verdict, "xonly_pubkey_parse + schnorrsig_verify"},
        {"ECDH", qv::ecdh, peer::ecdh, Expect::Agree,
         "ec_pubkey_parse + ecdh (SHA-256 of the compressed point)"},
    };
    return ops;
}

}  // namespace compare
