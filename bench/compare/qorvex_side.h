// The qorvex side: its public C interface only (qorvex.h, the shared
// library), one function per operation.
#pragma once

#include "operation.h"

namespace compare::qv {

// Creates the context, which runs the self-test and builds or loads the
// generator tables, and with blind set turns on blinding of the secret
// multiplications for the calling thread (the timing thread). Returns the
// milliseconds the context creation took, or a negative value on failure.
double setup(bool blind);

bool pubkey_create(const Inputs& in, size_t i, Output& out);
bool pubkey_parse33(const Inputs& in, size_t i, Output& out);
bool pubkey_parse65(const Inputs& in, size_t i, Output& out);
bool pubkey_tweak_add(const Inputs& in, size_t i, Output& out);
bool pubkey_tweak_mul(const Inputs& in, size_t i, Output& out);
bool ecdsa_sign(const Inputs& in, size_t i, Output& out);
bool ecdsa_verify_one_key(const Inputs& in, size_t i, Output& out);
bool ecdsa_verify_many_keys(const Inputs& in, size_t i, Output& out);
bool ecdsa_recover(const Inputs& in, size_t i, Output& out);
bool schnorr_sign(const Inputs& in, size_t i, Output& out);
// From a key pair record made once per key (qorvex_keypair_create).
bool schnorr_sign_keypair(const Inputs& in, size_t i, Output& out);
bool schnorr_verify_one_key(const Inputs& in, size_t i, Output& out);
bool schnorr_verify_many_keys(const Inputs& in, size_t i, Output& out);
bool ecdh(const Inputs& in, size_t i, Output& out);

const char* version();

}  // namespace compare::qv
