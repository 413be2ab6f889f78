// The command table. A new subcommand is a new file defining a Command and
// one line in each list below; help, --json, error reporting and exit codes
// come with the table.
#include "cli.h"

namespace qcli {

extern const Command keygen_command;   // cmd_keys.cpp
extern const Command pubkey_command;   // cmd_keys.cpp
extern const Command sign_command;     // cmd_sign.cpp
extern const Command verify_command;   // cmd_sign.cpp
extern const Command recover_command;  // cmd_ecdsa.cpp
extern const Command der_command;      // cmd_ecdsa.cpp
extern const Command hash_command;     // cmd_hash.cpp
extern const Command eth_command;      // cmd_eth.cpp
extern const Command tx_command;       // cmd_tx.cpp
extern const Command taproot_command;  // cmd_taproot.cpp
extern const Command mnemonic_command; // cmd_mnemonic.cpp
extern const Command hd_command;       // cmd_hd.cpp
extern const Command address_command;  // cmd_address.cpp
extern const Command wif_command;      // cmd_wif.cpp
extern const Command message_command;  // cmd_message.cpp
extern const Command coin_command;     // cmd_coin.cpp
extern const Command descriptor_command; // cmd_descriptor.cpp
extern const Command ecdh_command;     // cmd_crypto.cpp
extern const Command encrypt_command;  // cmd_crypto.cpp
extern const Command decrypt_command;  // cmd_crypto.cpp
extern const Command commit_command;   // cmd_commit.cpp
extern const Command filter_command;   // cmd_filter.cpp
extern const Command demo_command;     // demo.cpp
extern const Command selftest_command; // cmd_info.cpp
extern const Command bench_command;    // bench.cpp
extern const Command version_command;  // cmd_info.cpp
extern const Command verify_batch_command;  // cmd_verify_batch.cpp
extern const Command sign_batch_command;    // cmd_sign_batch.cpp
extern const Command sp_command;            // cmd_sp.cpp
extern const Command range_command;         // cmd_commit.cpp

const std::vector<const Command*>& command_table() {
    static const std::vector<const Command*> table = {
        &keygen_command,
        &pubkey_command,
        &sign_command,
        &verify_command,
        &recover_command,
        &der_command,
        &hash_command,
        &eth_command,
        &tx_command,
        &taproot_command,
        &mnemonic_command,
        &hd_command,
        &address_command,
        &wif_command,
        &message_command,
        &coin_command,
        &descriptor_command,
        &ecdh_command,
        &encrypt_command,
        &decrypt_command,
        &commit_command,
        &filter_command,
        &demo_command,
        &selftest_command,
        &bench_command,
        &version_command,
        &verify_batch_command,
        &sign_batch_command,
        &sp_command,
        &range_command,
    };
    return table;
}

}  // namespace qcli
