#include "protocols/frost_blobs.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "support/bytes.h"
#include "support/declassify.h"

namespace qorvex::frost {

namespace {

// Records why a parse failed; false.
template <typename F>
bool fail(F& fault, F why) {
    fault = why;
    return false;
}

}  // namespace

std::vector<bool> repeated_earlier(const std::vector<uint32_t>& ids) {
    std::vector<size_t> order(ids.size());
    std::iota(order.begin(), order.end(), size_t{0});
    // Stable, so among equal ids the earliest position comes first.
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return ids[a] < ids[b]; });
    std::vector<bool> repeated(ids.size(), false);
    for (size_t k = 1; k < order.size(); ++k)
        if (ids[order[k]] == ids[order[k - 1]]) repeated[order[k]] = true;
    return repeated;
}

bool Commitment::parse(const uint8_t* blob, uint32_t t, uint32_t n, std::vector<bool>& seen, Point* coefficients,
                       Commitment& out, Fault& fault) {
    using namespace commitment_layout;
    if (load_le32(blob + kCount) != t) return fail(fault, Fault::count);
    out.sender = load_le32(blob + kSender);
    if (out.sender == 0 || out.sender > n) return fail(fault, Fault::sender);
    if (seen[out.sender]) return fail(fault, Fault::duplicate_sender);
    seen[out.sender] = true;
    for (uint32_t k = 0; k < t; ++k) {
        coefficients[k] = Point::decompress(blob + kCoefficients + 33 * size_t{k});
        if (coefficients[k].infinity) return fail(fault, Fault::coefficient);
    }
    out.proof_rx = blob + kCoefficients + 33 * size_t{t};
    out.proof_z = out.proof_rx + 32;
    fault = Fault::none;
    return true;
}

bool parse_share_entry(const uint8_t entry[kShareEntrySize], uint32_t n, std::vector<bool>& seen,
                       uint32_t& sender_out, Scalar& value_out, ShareFault& fault) {
    using namespace share_layout;
    sender_out = load_le32(entry + kSender);
    if (sender_out == 0 || sender_out > n) return fail(fault, ShareFault::sender);
    if (seen[sender_out]) return fail(fault, ShareFault::duplicate_sender);
    seen[sender_out] = true;
    // The range verdict of a share becomes the caller's error code.
    if (!Scalar::parse_strict(entry + kValue, value_out)) return fail(fault, ShareFault::scalar);
    fault = ShareFault::none;
    return true;
}

bool KeyPackage::parse_header(const uint8_t blob[kKeyPackageSize], KeyPackage& out, Fault& fault) {
    using namespace keypkg_layout;
    out.id = load_le32(blob + kId);
    out.threshold = load_le32(blob + kThreshold);
    out.participants = load_le32(blob + kParticipants);
    if (out.participants == 0 || out.id == 0 || out.id > out.participants) return fail(fault, Fault::metadata);
    if (out.threshold < 2 || out.threshold > out.participants) return fail(fault, Fault::threshold);
    fault = Fault::none;
    return true;
}

bool KeyPackage::parse_keys(const uint8_t blob[kKeyPackageSize], KeyPackage& out, Fault& fault) {
    using namespace keypkg_layout;
    // Whether the stored share is usable is public: it becomes the code.
    if (!declassify_bool(Scalar::parse_nonzero(blob + kSigningShare, out.signing_share)))
        return fail(fault, Fault::signing_share);
    std::memcpy(out.verification_share33, blob + kVerificationShare, 33);
    out.verification_share = Point::decompress(out.verification_share33);
    if (out.verification_share.infinity) return fail(fault, Fault::verification_share);
    std::memcpy(out.group_key33, blob + kGroupKey, 33);
    out.group_key = Point::decompress(out.group_key33);
    if (out.group_key.infinity) return fail(fault, Fault::group_key);
    fault = Fault::none;
    return true;
}

void KeyPackage::write(uint8_t blob[kKeyPackageSize]) const {
    using namespace keypkg_layout;
    std::memset(blob, 0, kKeyPackageSize);
    store_le32(blob + kId, id);
    store_le32(blob + kThreshold, threshold);
    store_le32(blob + kParticipants, participants);
    signing_share.to_bytes(blob + kSigningShare);
    std::memcpy(blob + kVerificationShare, verification_share33, 33);
    std::memcpy(blob + kGroupKey, group_key33, 33);
}

bool parse_nonce_commitments(const uint8_t* list, size_t count, uint32_t max_id, std::vector<NonceCommitment>& out,
                             NonceCommitFault& fault) {
    using namespace nonce_commit_layout;
    std::vector<uint32_t> ids(count);
    for (size_t j = 0; j < count; ++j) ids[j] = load_le32(list + kNonceCommitSize * j);
    const std::vector<bool> repeated = repeated_earlier(ids);
    out.assign(count, NonceCommitment{});
    for (size_t j = 0; j < count; ++j) {
        const uint8_t* c = list + kNonceCommitSize * j;
        NonceCommitment& nc = out[j];
        nc.id = ids[j];
        nc.bytes = c;
        if (nc.id == 0 || (max_id != 0 && nc.id > max_id)) return fail(fault, NonceCommitFault::id);
        if (repeated[j]) return fail(fault, NonceCommitFault::duplicate_id);
        nc.hiding = Point::decompress(c + kHiding);
        if (nc.hiding.infinity) return fail(fault, NonceCommitFault::hiding_point);
        nc.binding = Point::decompress(c + kBinding);
        if (nc.binding.infinity) return fail(fault, NonceCommitFault::binding_point);
    }
    fault = NonceCommitFault::none;
    return true;
}

bool parse_partial_sigs(const uint8_t* list, size_t count, std::vector<PartialSig>& out, PartialSigFault& fault) {
    using namespace partial_sig_layout;
    std::vector<uint32_t> ids(count);
    for (size_t j = 0; j < count; ++j) ids[j] = load_le32(list + kPartialSigSize * j);
    const std::vector<bool> repeated = repeated_earlier(ids);
    out.assign(count, PartialSig{});
    for (size_t j = 0; j < count; ++j) {
        out[j].id = ids[j];
        if (ids[j] == 0) return fail(fault, PartialSigFault::id);
        if (repeated[j]) return fail(fault, PartialSigFault::duplicate_id);
        if (!Scalar::parse_nonzero(list + kPartialSigSize * j + kZ, out[j].z)) return fail(fault, PartialSigFault::scalar);
    }
    fault = PartialSigFault::none;
    return true;
}

}  // namespace qorvex::frost
