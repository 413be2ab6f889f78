// Segwit output scripts: the witness-program rule of BIP-141 and the
// scriptPubKeys of P2WPKH, P2WSH and P2TR.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qorvex {

inline constexpr size_t kWitnessProgramMinLen = 2;
inline constexpr size_t kWitnessProgramMaxLen = 40;
inline constexpr size_t kWitnessScriptMaxLen = kWitnessProgramMaxLen + 2;
inline constexpr size_t kP2wpkhScriptLen = 22;
inline constexpr size_t kP2wshScriptLen = 34;
inline constexpr size_t kP2trScriptLen = 34;

struct WitnessProgram {
    unsigned version;  // 0 to 16
    uint8_t program[kWitnessProgramMaxLen];
    size_t length;  // 2 to 40
};

// A script is a witness program when it is 4 to 42 bytes: a version opcode
// (OP_0, or OP_1 to OP_16 = 0x51 to 0x60), then one push of 2 to 40 bytes
// that ends the script.
bool is_witness_program(std::span<const uint8_t> script);
std::optional<WitnessProgram> parse_witness_program(std::span<const uint8_t> script);

// The scriptPubKey of a witness program: version opcode, push length,
// program; its length (program length + 2). Nothing is checked beyond the
// caller's version (0 to 16) and program length (at most 40).
size_t witness_script(unsigned version, std::span<const uint8_t> program, uint8_t out[kWitnessScriptMaxLen]);

// 0x00 0x14 hash20 (the P2SH-P2WPKH redeem script has the same bytes).
void p2wpkh_script(const uint8_t hash20[20], uint8_t out22[kP2wpkhScriptLen]);
// 0x00 0x20 hash32.
void p2wsh_script(const uint8_t hash32[32], uint8_t out34[kP2wshScriptLen]);
// 0x51 0x20 xonly32 (the output key as given; no tweak here).
void p2tr_script(const uint8_t xonly32[32], uint8_t out34[kP2trScriptLen]);

}  // namespace qorvex
