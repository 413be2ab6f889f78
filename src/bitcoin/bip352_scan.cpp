// The receiver: BIP-352's scanning loop and the labels.
//
// For every k the loop needs the first remaining output that equals P_k, or
// P_k plus a label. Labels are found either by adding each label to P_k and
// looking the sums up among the outputs, or, when the labels outnumber the
// outputs, as BIP-352 describes: by subtracting P_k from each output (and
// from its negation) and looking the differences up among the labels. Both
// give the same answer, including the order in which BIP-352 tries the
// candidates: outputs in transaction order, the output itself before a
// label, output - P_k before -output - P_k, and the first label given.
#include <algorithm>
#include <cstring>
#include <vector>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "bitcoin/bip352.h"
#include "sig/ecdh.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex::bip352 {

namespace {

struct SortedOutput {
    uint8_t x[32];
    uint32_t index;
};

// The affine forms of Jacobian points, with one inversion for all of them.
// Infinite points come out flagged.
void batch_affine(std::vector<Point>& pts, std::vector<FieldElement>& zs) {
    zs.resize(pts.size());
    for (size_t i = 0; i < pts.size(); ++i) zs[i] = pts[i].infinity ? FieldElement::zero() : pts[i].Z;
    FieldElement::batch_inverse(zs.data(), zs.size());
    for (size_t i = 0; i < pts.size(); ++i) {
        if (pts[i].infinity || zs[i].is_zero()) {
            pts[i] = Point::infinity_point();
            continue;
        }
        const FieldElement zi2 = zs[i].sqr();
        pts[i] = Point::from_affine(pts[i].X.mul(zi2), pts[i].Y.mul(zi2.mul(zs[i])));
    }
}

class Scanner {
public:
    Scanner(std::span<const Label> labels, const uint8_t* outputs, size_t n)
        : labels_(labels), outputs_(outputs), n_(n), sorted_(n), taken_(n, 0) {
        for (size_t i = 0; i < n; ++i) {
            std::memcpy(sorted_[i].x, outputs + 32 * i, 32);
            sorted_[i].index = static_cast<uint32_t>(i);
        }
        std::sort(sorted_.begin(), sorted_.end(), [](const SortedOutput& a, const SortedOutput& b) {
            const int c = std::memcmp(a.x, b.x, 32);
            return c != 0 ? c < 0 : a.index < b.index;
        });
        remaining_ = n;
    }

    size_t remaining() const { return remaining_; }
    bool taken(size_t i) const { return taken_[i] != 0; }
    void take(size_t i) {
        taken_[i] = 1;
        --remaining_;
    }

    // The first remaining output with this x, or n.
    size_t find_x(const uint8_t x[32]) const {
        auto it = std::lower_bound(sorted_.begin(), sorted_.end(), x, [](const SortedOutput& e, const uint8_t* v) {
            return std::memcmp(e.x, v, 32) < 0;
        });
        for (; it != sorted_.end() && std::memcmp(it->x, x, 32) == 0; ++it)
            if (!taken_[it->index]) return it->index;
        return n_;
    }

    // The first remaining output before `before` that is P_k plus a label,
    // and the label; before when there is none.
    size_t find_labelled(const Point& pk, size_t before, uint32_t& label) {
        if (labels_.empty() || before == 0) return before;
        // Sums cost one addition per label; differences two per output and a
        // square root for each output lifted (once per scan).
        return labels_.size() <= 16 * remaining_ ? by_sums(pk, before, label) : by_differences(pk, before, label);
    }

private:
    size_t by_sums(const Point& pk, size_t before, uint32_t& label) {
        pts_.clear();
        for (const Label& l : labels_) {
            Point p = pk;
            p.add_affine_var(l.point.X, l.point.Y);
            pts_.push_back(p);
        }
        batch_affine(pts_, zs_);
        size_t best = before;
        bool best_odd = true;
        for (size_t j = 0; j < pts_.size(); ++j) {
            if (pts_[j].infinity) continue;
            uint8_t x[32];
            bool odd = false;
            pts_[j].to_xonly(x, &odd);
            const size_t i = find_x(x);
            if (i < best || (i == best && i != before && best_odd && !odd)) {
                best = i;
                best_odd = odd;
                label = static_cast<uint32_t>(j);
            }
        }
        return best;
    }

    size_t by_differences(const Point& pk, size_t before, uint32_t& label) {
        if (label_order_.empty()) {
            label_order_.resize(labels_.size());
            for (size_t j = 0; j < labels_.size(); ++j) label_order_[j] = static_cast<uint32_t>(j);
            std::sort(label_order_.begin(), label_order_.end(), [&](uint32_t a, uint32_t b) {
                const int c = std::memcmp(labels_[a].enc, labels_[b].enc, 33);
                return c != 0 ? c < 0 : a < b;
            });
            lifted_.assign(n_, Point::infinity_point());
            lift_done_.assign(n_, 0);
        }
        // output + (-P_k) and output + P_k (whose negation is -output - P_k).
        const Point neg = pk.negate();
        pts_.clear();
        idx_.clear();
        for (size_t i = 0; i < before; ++i) {
            if (taken_[i]) continue;
            const Point& o = lift(i);
            if (o.infinity) continue;
            Point d = neg;
            d.add_affine_var(o.X, o.Y);
            Point s = pk;
            s.add_affine_var(o.X, o.Y);
            pts_.push_back(d);
            pts_.push_back(s);
            idx_.push_back(static_cast<uint32_t>(i));
        }
        batch_affine(pts_, zs_);
        for (size_t e = 0; e < idx_.size(); ++e) {
            for (int side = 0; side < 2; ++side) {
                const Point& p = pts_[2 * e + side];
                if (p.infinity) continue;
                uint8_t enc[33];
                p.to_compressed(enc);
                if (side == 1) enc[0] ^= 1;  // the negation
                const uint32_t j = find_label(enc);
                if (j != kNoLabel) {
                    label = j;
                    return idx_[e];
                }
            }
        }
        return before;
    }

    const Point& lift(size_t i) {
        if (!lift_done_[i]) {
            lift_done_[i] = 1;
            FieldElement x;
            if (FieldElement::parse_strict(outputs_ + 32 * i, x)) lifted_[i] = Point::from_x(x, false);
        }
        return lifted_[i];
    }

    uint32_t find_label(const uint8_t enc[33]) const {
        auto it = std::lower_bound(label_order_.begin(), label_order_.end(), enc, [&](uint32_t j, const uint8_t* v) {
            return std::memcmp(labels_[j].enc, v, 33) < 0;
        });
        if (it != label_order_.end() && std::memcmp(labels_[*it].enc, enc, 33) == 0) return *it;
        return kNoLabel;
    }

    std::span<const Label> labels_;
    const uint8_t* outputs_;
    size_t n_;
    size_t remaining_ = 0;
    std::vector<SortedOutput> sorted_;
    std::vector<uint8_t> taken_;
    std::vector<uint32_t> label_order_;
    std::vector<Point> lifted_;
    std::vector<uint8_t> lift_done_;
    std::vector<Point> pts_;
    std::vector<FieldElement> zs_;
    std::vector<uint32_t> idx_;
};

// The label's tweak, checked against the point the caller's label record
// carries: a record made for another scan key must not yield a key that
// does not spend the output.
bool label_tweak(const Scalar& b_scan, const Label& l, Scalar& out) {
    SecretBytes<32> h;
    label_hash(b_scan, l.m, h.data());
    if (!declassify_bool(Scalar::parse_nonzero(h.data(), out))) return false;
    // The same label's tweak is multiplied on every scan: blinded, as a
    // long-term key is.
    WipeOnExit<Point> p([&] { return gen_mul_blinded(out); });
    p->to_affine_ct_assign();
    declassify_value(*p);
    return p->equals(l.point);
}

}  // namespace

bool labelled_spend_key(const Scalar& b_scan, const Point& spend, uint32_t m, Point& b_m, Point& l_m) {
    SecretBytes<32> h;
    label_hash(b_scan, m, h.data());
    WipeOnExit<Scalar> t;
    if (!declassify_bool(Scalar::parse_nonzero(h.data(), *t))) return false;
    WipeOnExit<Point> l([&] { return gen_mul_blinded(*t); });
    l->to_affine_ct_assign();
    // The label point is B_m - B_spend of a published address: public.
    declassify_value(*l);
    l_m = *l;
    Point sum = spend.add(*l);
    if (sum.infinity) return false;
    sum.to_affine_assign();
    b_m = sum;
    return true;
}

bool tweak_point(const Point& a_sum, const uint8_t outpoint_l[36], Point& out) {
    Scalar h;
    if (!input_hash(outpoint_l, a_sum, h)) return false;
    out = mul(a_sum, h);
    return !out.infinity;
}

ScanError scan(const Scalar& b_scan, const Scalar& c, const Point& q, const Point& spend,
               std::span<const Label> labels, const uint8_t* outputs, size_t n_outputs, std::vector<Match>& matches) {
    SecretBytes<33> s33;
    {
        WipeOnExit<Scalar> d([&] { return b_scan.mul_fold(c); });
        WipeOnExit<AffinePoint> s([&] { return ecdh::shared_point(*d, q); });
        ecdh::write_compressed(*s, s33.data());
    }
    Scanner scanner(labels, outputs, n_outputs);
    // Without labels P_k is only compared with the outputs, and that needs
    // no affine form: x(P_k) = x exactly when X = x * Z^2. This saves the
    // constant-time inversion for every k, which for most transactions is
    // the only k.
    std::vector<FieldElement> xs;
    std::vector<uint8_t> x_ok;
    if (labels.empty()) {
        xs.resize(n_outputs);
        x_ok.resize(n_outputs);
        for (size_t i = 0; i < n_outputs; ++i) x_ok[i] = FieldElement::parse_strict(outputs + 32 * i, xs[i]);
    }
    for (uint32_t k = 0; k < kKMax && scanner.remaining() > 0; ++k) {
        WipeOnExit<Scalar> t;
        if (!shared_tweak(s33.data(), k, *t)) return ScanError::tweak_range;
        if (labels.empty()) {
            WipeOnExit<Point> pj([&] { return gen_mul_ct(*t); });
            pj->add_affine_complete_ct(spend.X, spend.Y, 0, 0);
            if (declassify_bool(pj->infinity)) break;
            WipeOnExit<FieldElement> z2([&] { return pj->Z.sqr(); });
            size_t found = n_outputs;
            for (size_t i = 0; i < n_outputs && found == n_outputs; ++i) {
                if (scanner.taken(i) || !x_ok[i]) continue;
                // Whether this output is P_k is public: the match.
                if (declassify_bool(pj->X.equal(xs[i].mul(*z2)))) found = i;
            }
            if (found == n_outputs) break;
            scanner.take(found);
            WipeOnExit<Match> m;
            m->output_index = static_cast<uint32_t>(found);
            m->label_index = kNoLabel;
            m->tweak = *t;
            matches.push_back(*m);
            continue;
        }
        Point pk;
        // P_k at infinity (t_k * G = -B_spend) equals no output.
        if (!output_point(*t, spend, pk)) break;
        uint8_t xk[32];
        pk.to_xonly(xk);
        const size_t direct = scanner.find_x(xk);
        uint32_t label = kNoLabel;
        const size_t found = scanner.find_labelled(pk, direct, label);
        if (found == n_outputs) break;
        if (found == direct) label = kNoLabel;
        scanner.take(found);
        WipeOnExit<Match> m;
        m->output_index = static_cast<uint32_t>(found);
        m->label_index = label;
        m->tweak = *t;
        if (label != kNoLabel) {
            WipeOnExit<Scalar> lt;
            if (!label_tweak(b_scan, labels[label], *lt)) return ScanError::foreign_label;
            m->tweak = t->add_ct(*lt);
        }
        matches.push_back(*m);
    }
    return ScanError::none;
}

}  // namespace qorvex::bip352
