// What the batch operations share: the count limit and how a batch's
// verdict is reported to the exported frames.
#pragma once

#include <cstddef>

namespace qorvex::batch {

// The largest count every batch function accepts.
inline constexpr size_t kMaxBatchCount = size_t{1} << 20;

// Why an item of a batch did not parse.
enum class ItemError { none, pubkey, signature };

struct BatchVerdict {
    ItemError error = ItemError::none;  // the first item that failed to parse
    size_t index = 0;                   // its index
    bool valid = false;                 // with no parse error: every item verified
};

}  // namespace qorvex::batch
