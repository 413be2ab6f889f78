// Why the DLEQ prover refuses false statements: its nonce binds pub1 and
// most of pub2 but not the bases, so two proofs of false statements with the
// same pub1 and pub2 and different bases share the nonce and give the
// secret away. The refusal happens in the exported function; the proving
// routine below it is driven here directly to show the leak it prevents.
#include <gtest/gtest.h>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "protocols/proofs.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

Point affine(Point p) {
    p.to_affine_assign();
    return p;
}

TEST(DleqProof, FalseStatementsForChosenBasesRevealTheSecret) {
    const Scalar x = Scalar::from_u64(0x5ec2e7);
    const uint8_t aux[32] = {0xA0};
    // An attacker's statement: pub1 = x G (true), pub2 = some point, and two
    // choices of base2; neither statement holds for pub2.
    const Point base1 = Point::generator();
    const Point pub1 = affine(gen_mul_ct(x));
    const Point pub2 = affine(gen_mul_ct(Scalar::from_u64(777)));
    const Point base2a = affine(gen_mul_ct(Scalar::from_u64(1001)));
    const Point base2b = affine(gen_mul_ct(Scalar::from_u64(2002)));
    ASSERT_FALSE(proofs::dleq_statement_holds(x, base1, base2a, pub1, pub2));
    ASSERT_FALSE(proofs::dleq_statement_holds(x, base1, base2b, pub1, pub2));
    EXPECT_TRUE(proofs::dleq_statement_holds(x, base1, base1, pub1, pub1));

    uint8_t pa[64], pb[64];
    ASSERT_TRUE(proofs::dleq_prove(x, base1, base2a, pub1, pub2, aux, pa));
    ASSERT_TRUE(proofs::dleq_prove(x, base1, base2b, pub1, pub2, aux, pb));
    const Scalar ea = Scalar::from_bytes_reduce(pa), sa = Scalar::from_bytes_reduce(pa + 32);
    const Scalar eb = Scalar::from_bytes_reduce(pb), sb = Scalar::from_bytes_reduce(pb + 32);
    ASSERT_FALSE(ea == eb);
    // s = k + e x with the same k: x = (sa - sb) / (ea - eb).
    const Scalar recovered = (sa - sb) * (ea - eb).inverse_var();
    EXPECT_TRUE(recovered == x);
}

}  // namespace
}  // namespace qorvex::test
