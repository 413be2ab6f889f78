#include "bitcoin/segwit.h"

#include <cstring>

namespace qorvex {

namespace {

constexpr uint8_t kOp0 = 0x00;
constexpr uint8_t kOp1 = 0x51;
constexpr uint8_t kOp16 = 0x60;

}  // namespace

bool is_witness_program(std::span<const uint8_t> script) {
    if (script.size() < kWitnessProgramMinLen + 2 || script.size() > kWitnessScriptMaxLen) return false;
    const uint8_t op = script[0];
    if (op != kOp0 && (op < kOp1 || op > kOp16)) return false;
    const size_t push = script[1];
    return push >= kWitnessProgramMinLen && push <= kWitnessProgramMaxLen && script.size() == push + 2;
}

std::optional<WitnessProgram> parse_witness_program(std::span<const uint8_t> script) {
    if (!is_witness_program(script)) return std::nullopt;
    WitnessProgram p{};
    p.version = script[0] == kOp0 ? 0u : script[0] - 0x50u;
    p.length = script[1];
    std::memcpy(p.program, script.data() + 2, p.length);
    return p;
}

size_t witness_script(unsigned version, std::span<const uint8_t> program, uint8_t out[kWitnessScriptMaxLen]) {
    const size_t n = program.size();
    std::memmove(out + 2, program.data(), n);
    out[0] = version == 0 ? kOp0 : static_cast<uint8_t>(0x50 + version);
    out[1] = static_cast<uint8_t>(n);
    return n + 2;
}

void p2wpkh_script(const uint8_t hash20[20], uint8_t out22[kP2wpkhScriptLen]) {
    std::memmove(out22 + 2, hash20, 20);
    out22[0] = kOp0;
    out22[1] = 20;
}

void p2wsh_script(const uint8_t hash32[32], uint8_t out34[kP2wshScriptLen]) {
    std::memmove(out34 + 2, hash32, 32);
    out34[0] = kOp0;
    out34[1] = 32;
}

void p2tr_script(const uint8_t xonly32[32], uint8_t out34[kP2trScriptLen]) {
    std::memmove(out34 + 2, xonly32, 32);
    out34[0] = kOp1;
    out34[1] = 32;
}

}  // namespace qorvex
