// Signature schemes behind "sign" and "verify". A scheme is one entry of the
// table in cmd_sign.cpp; its functions fill in the result object.
#pragma once

#include "cli.h"

namespace qcli {

struct Scheme {
    const char* name;
    void (*sign)(Session& s, const SecretKey& key, const MessageInput& msg, const Args& args, Json& out);
    // Returns false when the signature does not verify (s.verify_message()
    // says why); malformed inputs throw.
    bool (*verify)(Session& s, const MessageInput& msg, const std::vector<uint8_t>& sig, const char* pubkey_hex,
                   Json& out);
    // Options of "sign" that only this scheme accepts.
    std::vector<const char*> own_options;
};

extern const Scheme ecdsa_scheme;    // sig_ecdsa.cpp
extern const Scheme schnorr_scheme;  // sig_schnorr.cpp

// The 32-byte digest that ECDSA signs for a message: its SHA-256.
void ecdsa_digest(const MessageInput& msg, uint8_t out[32]);

}  // namespace qcli
