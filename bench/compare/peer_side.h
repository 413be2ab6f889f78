// The libsecp256k1 side, through its public headers. Every function takes
// and gives bytes, as qorvex does: parsing and serialising are part of the
// call, except where a row says that a parsed object is prepared once (a
// keypair, or the one public key of the one-key verifications).
#pragma once

#include <string>

#include "operation.h"

namespace compare::peer {

// Creates the context, randomised with a fixed seed when blind is set.
bool setup(bool blind);

// Fills the derived fields of base inputs (public keys and signatures),
// then prepares the parsed objects of the rows that use them. Returns an
// error text, empty on success.
std::string fill_derived(Inputs& in);

bool pubkey_create(const Inputs& in, size_t i, Output& out);
bool pubkey_parse33(const Inputs& in, size_t i, Output& out);
bool pubkey_parse65(const Inputs& in, size_t i, Output& out);
bool pubkey_tweak_add(const Inputs& in, size_t i, Output& out);
bool pubkey_tweak_mul(const Inputs& in, size_t i, Output& out);
bool ecdsa_sign(const Inputs& in, size_t i, Output& out);
bool ecdsa_verify_one_key(const Inputs& in, size_t i, Output& out);
bool ecdsa_verify_many_keys(const Inputs& in, size_t i, Output& out);
bool ecdsa_recover(const Inputs& in, size_t i, Output& out);
bool schnorr_sign_keypair(const Inputs& in, size_t i, Output& out);
bool schnorr_sign_seckey(const Inputs& in, size_t i, Output& out);
bool schnorr_verify_one_key(const Inputs& in, size_t i, Output& out);
bool schnorr_verify_many_keys(const Inputs& in, size_t i, Output& out);
bool ecdh(const Inputs& in, size_t i, Output& out);

}  // namespace compare::peer
