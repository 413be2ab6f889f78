#include "inputs.h"

namespace benchdata {

namespace {

// splitmix64: a fixed stream of filler bytes.
uint64_t next_u64(uint64_t& state) {
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

void fill(uint64_t& state, uint8_t* out, size_t len) {
    for (size_t i = 0; i < len; i += 8) {
        const uint64_t v = next_u64(state);
        for (size_t j = 0; j < 8 && i + j < len; ++j) out[i + j] = static_cast<uint8_t>(v >> (8 * j));
    }
}

// A first byte of 0x01..0xfe puts the big-endian value in [1, n - 1].
void fill_scalar(uint64_t& state, uint8_t out32[32]) {
    fill(state, out32, 32);
    out32[0] = static_cast<uint8_t>(1 + out32[0] % 0xfe);
}

}  // namespace

Inputs make_base_inputs(size_t count) {
    Inputs in;
    in.items.resize(count);
    uint64_t state = 0x636f6d70617265ULL;
    for (Item& it : in.items) {
        it = Item{};
        fill_scalar(state, it.key);
        fill(state, it.msg, 32);
        fill(state, it.aux, 32);
        fill_scalar(state, it.tweak);
    }
    return in;
}

Inputs tampered_copy(const Inputs& in) {
    Inputs out = in;
    for (Item& it : out.items) it.msg[31] ^= 0x01;
    return out;
}

}  // namespace benchdata
