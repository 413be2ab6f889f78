// The routines declared in point_adx.h, as one block of assembly (AT&T
// syntax) built from assembler macros:
//
//   qvx_mul A, B   r8..r11 = A * B mod p (canonical), from memory operands
//   qvx_sqr A      r8..r11 = A^2 mod p (canonical)
//   qvx_sqr_r      the same for A held in rcx, rsi, rdi, rbp
//   qvx_sub M      r8..r11 = r8..r11 - M mod p; both canonical, so is the result
//   qvx_dbl_l X, L L = (3/2) X^2, a value below 2^256 congruent to it
//   qvx_store M    M = r8..r11
//   qvx_load M     r8..r11 = M
//
// The multiplication and squaring are the steps of mul_adx and sqr_adx in
// field_mul.h (schoolbook product on two carry chains, then the one-pass
// reduction with its final conditional subtraction), with fixed registers:
// the product in r8..r15, low halves in rax, and 2^256 - p kept in rbx for
// the whole routine. r12..r15, rax, rdx and the flags are scratch between
// steps. Row 0 of a product leaves the overflow flag undefined, so row 1
// clears both flags; every later row ends with both clear (its top word
// cannot overflow), so the rows after it and the reduction start without
// clearing them. Operands are addressed through rdi, rsi, rcx, rbp and rsp
// only.
//
// The steps of each formula are ordered so that its longest chain of
// dependent products (through Y for the doubling, through Z1Z1, H and H^2
// for the addition) is issued first and the independent products fill in
// behind it; measured, this matters more than the instruction count, since
// every step waits for the one before.
//
// Stack slots are addressed from rsp; the routines call nothing, so the
// stack needs no alignment beyond that of the slots.
#include "arith/point_adx.h"

#if QORVEX_HAVE_POINT_ADX

// clang-format off
__asm__(R"(
    .pushsection .text

    .macro qvx_reduce
    movq %rbx, %rdx
    qvx_reduce_tail
    .endm

    .macro qvx_reduce_tail
    mulxq %r12, %rax, %r12
    adcxq %rax, %r8
    adoxq %r12, %r9
    mulxq %r13, %rax, %r13
    adcxq %rax, %r9
    adoxq %r13, %r10
    mulxq %r14, %rax, %r14
    adcxq %rax, %r10
    adoxq %r14, %r11
    mulxq %r15, %rax, %r12
    adcxq %rax, %r11
    movl $1, %eax
    adcxq %rax, %r12
    movl $0, %eax
    adoxq %rax, %r12
    mulxq %r12, %rax, %r13
    addq %rax, %r8
    adcq %r13, %r9
    adcq $0, %r10
    adcq $0, %r11
    movl $0, %eax
    cmovncq %rdx, %rax
    subq %rax, %r8
    sbbq $0, %r9
    sbbq $0, %r10
    sbbq $0, %r11
    .endm

    .macro qvx_mul fa, fb
    movq 0+\fa, %rdx
    mulxq 0+\fb, %r8, %r9
    mulxq 8+\fb, %rax, %r10
    addq %rax, %r9
    mulxq 16+\fb, %rax, %r11
    adcq %rax, %r10
    mulxq 24+\fb, %rax, %r12
    adcq %rax, %r11
    adcq $0, %r12
    movq 8+\fa, %rdx
    xorl %eax, %eax
    mulxq 0+\fb, %rax, %r13
    adcxq %rax, %r9
    adoxq %r13, %r10
    mulxq 8+\fb, %rax, %r13
    adcxq %rax, %r10
    adoxq %r13, %r11
    mulxq 16+\fb, %rax, %r13
    adcxq %rax, %r11
    adoxq %r13, %r12
    mulxq 24+\fb, %rax, %r13
    adcxq %rax, %r12
    movl $0, %eax
    adcxq %rax, %r13
    adoxq %rax, %r13
    movq 16+\fa, %rdx
    mulxq 0+\fb, %rax, %r14
    adcxq %rax, %r10
    adoxq %r14, %r11
    mulxq 8+\fb, %rax, %r14
    adcxq %rax, %r11
    adoxq %r14, %r12
    mulxq 16+\fb, %rax, %r14
    adcxq %rax, %r12
    adoxq %r14, %r13
    mulxq 24+\fb, %rax, %r14
    adcxq %rax, %r13
    movl $0, %eax
    adcxq %rax, %r14
    adoxq %rax, %r14
    movq 24+\fa, %rdx
    mulxq 0+\fb, %rax, %r15
    adcxq %rax, %r11
    adoxq %r15, %r12
    mulxq 8+\fb, %rax, %r15
    adcxq %rax, %r12
    adoxq %r15, %r13
    mulxq 16+\fb, %rax, %r15
    adcxq %rax, %r13
    adoxq %r15, %r14
    mulxq 24+\fb, %rax, %r15
    adcxq %rax, %r14
    movl $0, %eax
    adcxq %rax, %r15
    adoxq %rax, %r15
    qvx_reduce
    .endm

    .macro qvx_sqr fa
    movq 0+\fa, %rdx
    mulxq 8+\fa, %r9, %r10
    mulxq 16+\fa, %rax, %r11
    addq %rax, %r10
    mulxq 24+\fa, %rax, %r12
    adcq %rax, %r11
    movq 8+\fa, %rdx
    mulxq 24+\fa, %rax, %r13
    adcq %rax, %r12
    movq 16+\fa, %rdx
    mulxq 24+\fa, %rax, %r14
    adcq %rax, %r13
    adcq $0, %r14
    movq 8+\fa, %rdx
    mulxq 16+\fa, %rax, %r15
    addq %rax, %r11
    adcq %r15, %r12
    adcq $0, %r13
    adcq $0, %r14
    xorl %eax, %eax
    movq 0+\fa, %rdx
    mulxq %rdx, %r8, %r15
    adcxq %r9, %r9
    adoxq %r15, %r9
    movq 8+\fa, %rdx
    mulxq %rdx, %rax, %r15
    adcxq %r10, %r10
    adoxq %rax, %r10
    adcxq %r11, %r11
    adoxq %r15, %r11
    movq 16+\fa, %rdx
    mulxq %rdx, %rax, %r15
    adcxq %r12, %r12
    adoxq %rax, %r12
    adcxq %r13, %r13
    adoxq %r15, %r13
    movq 24+\fa, %rdx
    mulxq %rdx, %rax, %r15
    adcxq %r14, %r14
    adoxq %rax, %r14
    movl $0, %eax
    adcxq %rax, %r15
    adoxq %rax, %r15
    qvx_reduce
    .endm

    .macro qvx_sqr_r
    movq %rcx, %rdx
    mulxq %rsi, %r9, %r10
    mulxq %rdi, %rax, %r11
    addq %rax, %r10
    mulxq %rbp, %rax, %r12
    adcq %rax, %r11
    movq %rsi, %rdx
    mulxq %rbp, %rax, %r13
    adcq %rax, %r12
    movq %rdi, %rdx
    mulxq %rbp, %rax, %r14
    adcq %rax, %r13
    adcq $0, %r14
    movq %rsi, %rdx
    mulxq %rdi, %rax, %r15
    addq %rax, %r11
    adcq %r15, %r12
    adcq $0, %r13
    adcq $0, %r14
    xorl %eax, %eax
    movq %rcx, %rdx
    mulxq %rdx, %r8, %r15
    adcxq %r9, %r9
    adoxq %r15, %r9
    movq %rsi, %rdx
    mulxq %rdx, %rax, %r15
    adcxq %r10, %r10
    adoxq %rax, %r10
    adcxq %r11, %r11
    adoxq %r15, %r11
    movq %rdi, %rdx
    mulxq %rdx, %rax, %r15
    adcxq %r12, %r12
    adoxq %rax, %r12
    adcxq %r13, %r13
    adoxq %r15, %r13
    movq %rbp, %rdx
    mulxq %rdx, %rax, %r15
    adcxq %r14, %r14
    adoxq %rax, %r14
    movl $0, %eax
    adcxq %rax, %r15
    adoxq %rax, %r15
    movabsq $0x1000003D1, %rdx
    qvx_reduce_tail
    .endm

    .macro qvx_sub fm
    subq 0+\fm, %r8
    sbbq 8+\fm, %r9
    sbbq 16+\fm, %r10
    sbbq 24+\fm, %r11
    sbbq %rax, %rax
    andq %rbx, %rax
    subq %rax, %r8
    sbbq $0, %r9
    sbbq $0, %r10
    sbbq $0, %r11
    .endm

    .macro qvx_store fm
    movq %r8, 0+\fm
    movq %r9, 8+\fm
    movq %r10, 16+\fm
    movq %r11, 24+\fm
    .endm

    .macro qvx_load fm
    movq 0+\fm, %r8
    movq 8+\fm, %r9
    movq 16+\fm, %r10
    movq 24+\fm, %r11
    .endm

    .macro qvx_dbl_l fx, fl
    qvx_sqr \fx
    # A = X^2 is canonical. L = A/2 + A: the half adds p when A is odd and
    # shifts the 257-bit sum right; it is below p, so H + A is below 2p and
    # one fold of its carry leaves a value below 2^256 that is congruent to
    # L, which only ever enters products. rbp is scratch here.
    movq %r8, %r12
    movq %r9, %r13
    movq %r10, %r14
    movq %r11, %r15
    movq %r8, %rax
    andl $1, %eax
    negq %rax
    movabsq $0xFFFFFFFEFFFFFC2F, %rbp
    andq %rax, %rbp
    addq %rbp, %r8
    adcq %rax, %r9
    adcq %rax, %r10
    adcq %rax, %r11
    movl $0, %eax
    adcl $0, %eax
    shrdq $1, %r9, %r8
    shrdq $1, %r10, %r9
    shrdq $1, %r11, %r10
    shrdq $1, %rax, %r11
    addq %r12, %r8
    adcq %r13, %r9
    adcq %r14, %r10
    adcq %r15, %r11
    sbbq %rax, %rax
    andq %rbx, %rax
    addq %rax, %r8
    adcq $0, %r9
    adcq $0, %r10
    adcq $0, %r11
    qvx_store \fl
    .endm

    # Prologue and epilogue, with unwind information so that debuggers,
    # profilers and valgrind can walk the stack from inside a routine.
    .macro qvx_push reg
    pushq \reg
    .cfi_adjust_cfa_offset 8
    .cfi_rel_offset \reg, 0
    .endm

    .macro qvx_pop reg
    popq \reg
    .cfi_adjust_cfa_offset -8
    .cfi_restore \reg
    .endm

    .macro qvx_enter frame
    .cfi_startproc
    qvx_push %rbx
    qvx_push %rbp
    qvx_push %r12
    qvx_push %r13
    qvx_push %r14
    qvx_push %r15
    subq $\frame, %rsp
    .cfi_adjust_cfa_offset \frame
    movabsq $0x1000003D1, %rbx
    .endm

    .macro qvx_leave frame
    addq $\frame, %rsp
    .cfi_adjust_cfa_offset -\frame
    qvx_pop %r15
    qvx_pop %r14
    qvx_pop %r13
    qvx_pop %r12
    qvx_pop %rbp
    qvx_pop %rbx
    ret
    .cfi_endproc
    .endm

# void qorvex_point_dbl_adx(uint64_t xyz[12]); rdi = xyz.
# Slots: S 0, L 32, U 64, T 96, S^2 128.
    .p2align 4
    .globl qorvex_point_dbl_adx
    .hidden qorvex_point_dbl_adx
    .type qorvex_point_dbl_adx, @function
qorvex_point_dbl_adx:
    qvx_enter 160
    qvx_dbl_l 0(%rdi), 32(%rsp)
    qvx_sqr 32(%rdi)                # S = Y^2
    qvx_store 0(%rsp)
    qvx_mul 0(%rsp), 0(%rdi)        # U = S X
    qvx_store 64(%rsp)
    qvx_sqr 32(%rsp)                # X3 = L^2 - U - U; X is not read again
    qvx_sub 64(%rsp)
    qvx_sub 64(%rsp)
    qvx_store 0(%rdi)
    qvx_load 64(%rsp)               # T = U - X3
    qvx_sub 0(%rdi)
    qvx_store 96(%rsp)
    qvx_mul 32(%rdi), 64(%rdi)      # Z3 = Y Z
    qvx_store 64(%rdi)
    qvx_sqr 0(%rsp)                 # S^2
    qvx_store 128(%rsp)
    qvx_mul 32(%rsp), 96(%rsp)      # Y3 = L T - S^2
    qvx_sub 128(%rsp)
    qvx_store 32(%rdi)
    qvx_leave 160
    .size qorvex_point_dbl_adx, .-qorvex_point_dbl_adx

# void qorvex_point_madd_adx(uint64_t out[12], const uint64_t in[12],
#                            const uint64_t x2[4], const uint64_t y2[4],
#                            uint64_t hr[8]);
# rdi = out, rsi = in, rbp = x2, then y2; rcx = hr (H at 0, R at 32).
# Slots: Z1Z1 0, Z1^3 32, HH 64, HHH 96, V and then V - X3 128, X3 160,
# y2 192, Y1 HHH 200. Z1 is last read for Z3, X1 for V, Y1 for Y1 HHH, each
# before the coordinate is written, so out may be in.
    .p2align 4
    .globl qorvex_point_madd_adx
    .hidden qorvex_point_madd_adx
    .type qorvex_point_madd_adx, @function
qorvex_point_madd_adx:
    qvx_enter 232
    movq %rdx, %rbp
    movq %rcx, 192(%rsp)
    movq %r8, %rcx
    qvx_sqr 64(%rsi)                # Z1Z1
    qvx_store 0(%rsp)
    qvx_mul 0(%rbp), 0(%rsp)        # H = x2 Z1Z1 - X1
    qvx_sub 0(%rsi)
    qvx_store 0(%rcx)
    qvx_mul 0(%rsp), 64(%rsi)       # Z1^3
    qvx_store 32(%rsp)
    qvx_sqr 0(%rcx)                 # HH
    qvx_store 64(%rsp)
    movq 192(%rsp), %rbp
    qvx_mul 0(%rbp), 32(%rsp)       # R = y2 Z1^3 - Y1
    qvx_sub 32(%rsi)
    qvx_store 32(%rcx)
    qvx_mul 64(%rsp), 0(%rcx)       # HHH = HH H
    qvx_store 96(%rsp)
    qvx_mul 0(%rsi), 64(%rsp)       # V = X1 HH
    qvx_store 128(%rsp)
    qvx_sqr 32(%rcx)                # X3 = R^2 - HHH - V - V
    qvx_sub 96(%rsp)
    qvx_sub 128(%rsp)
    qvx_sub 128(%rsp)
    qvx_store 160(%rsp)
    qvx_mul 64(%rsi), 0(%rcx)       # Z3 = Z1 H
    qvx_store 64(%rdi)
    qvx_load 128(%rsp)              # V - X3
    qvx_sub 160(%rsp)
    qvx_store 128(%rsp)
    qvx_load 160(%rsp)
    qvx_store 0(%rdi)
    qvx_mul 32(%rsi), 96(%rsp)      # Y1 HHH
    qvx_store 200(%rsp)
    qvx_mul 32(%rcx), 128(%rsp)     # Y3 = R (V - X3) - Y1 HHH
    qvx_sub 200(%rsp)
    qvx_store 32(%rdi)
    qvx_leave 232
    .size qorvex_point_madd_adx, .-qorvex_point_madd_adx

# void qorvex_fe_sqr_n_adx(uint64_t r[4], const uint64_t a[4], uint64_t n);
# The value stays in rcx, rsi, rdi, rbp between squarings (no store and
# reload on the chain); rbx counts down the remaining squarings (public: a
# fixed chain), so 2^256 - p comes from an immediate here.
    .p2align 4
    .globl qorvex_fe_sqr_n_adx
    .hidden qorvex_fe_sqr_n_adx
    .type qorvex_fe_sqr_n_adx, @function
qorvex_fe_sqr_n_adx:
    qvx_enter 8
    movq %rdi, 0(%rsp)
    movq %rdx, %rbx
    movq 0(%rsi), %rcx
    movq 24(%rsi), %rbp
    movq 16(%rsi), %rdi
    movq 8(%rsi), %rsi
1:
    qvx_sqr_r
    movq %r8, %rcx
    movq %r9, %rsi
    movq %r10, %rdi
    movq %r11, %rbp
    decq %rbx
    jnz 1b
    movq 0(%rsp), %rdi
    qvx_store 0(%rdi)
    qvx_leave 8
    .size qorvex_fe_sqr_n_adx, .-qorvex_fe_sqr_n_adx

# void qorvex_fe_sqr_n4_adx(uint64_t r[16], const uint64_t a[16], uint64_t n);
# Four independent runs of squarings, interleaved: each squaring waits for
# the one before it in its run, so one run alone leaves the multiplier idle
# most of the time, and the other runs fill it. The values live in stack
# slots 0, 32, 64, 96; rcx counts down the remaining squarings (public).
    .p2align 4
    .globl qorvex_fe_sqr_n4_adx
    .hidden qorvex_fe_sqr_n4_adx
    .type qorvex_fe_sqr_n4_adx, @function
qorvex_fe_sqr_n4_adx:
    qvx_enter 136
    movq %rdi, 128(%rsp)
    movq %rdx, %rcx
    qvx_load 0(%rsi)
    qvx_store 0(%rsp)
    qvx_load 32(%rsi)
    qvx_store 32(%rsp)
    qvx_load 64(%rsi)
    qvx_store 64(%rsp)
    qvx_load 96(%rsi)
    qvx_store 96(%rsp)
1:
    qvx_sqr 0(%rsp)
    qvx_store 0(%rsp)
    qvx_sqr 32(%rsp)
    qvx_store 32(%rsp)
    qvx_sqr 64(%rsp)
    qvx_store 64(%rsp)
    qvx_sqr 96(%rsp)
    qvx_store 96(%rsp)
    decq %rcx
    jnz 1b
    movq 128(%rsp), %rdi
    qvx_load 0(%rsp)
    qvx_store 0(%rdi)
    qvx_load 32(%rsp)
    qvx_store 32(%rdi)
    qvx_load 64(%rsp)
    qvx_store 64(%rdi)
    qvx_load 96(%rsp)
    qvx_store 96(%rdi)
    qvx_leave 136
    .size qorvex_fe_sqr_n4_adx, .-qorvex_fe_sqr_n4_adx

# The end of an affine addition: a = (xa, ya) at rdi, b at rsi, lambda in
# slot 32; x3 goes through slot 64 and xa - x3 through slot 96.
    .macro qvx_affine_tail
    qvx_sqr 32(%rsp)                # x3 = lambda^2 - xa - xb
    qvx_sub 0(%rdi)
    qvx_sub 0(%rsi)
    qvx_store 64(%rsp)
    qvx_load 0(%rdi)
    qvx_sub 64(%rsp)
    qvx_store 96(%rsp)
    qvx_mul 32(%rsp), 96(%rsp)      # y3 = lambda (xa - x3) - ya
    qvx_sub 32(%rdi)
    qvx_store 32(%rdi)
    qvx_load 64(%rsp)
    qvx_store 0(%rdi)
    .endm

# void qorvex_affine_add_adx(uint64_t a[8], const uint64_t b[8],
#                            const uint64_t inv[4]);
# rdi = a (x at 0, y at 32), rsi = b, rcx = inv (moved from rdx).
# Slots: dy 0, lambda 32, x3 64, xa - x3 96.
    .p2align 4
    .globl qorvex_affine_add_adx
    .hidden qorvex_affine_add_adx
    .type qorvex_affine_add_adx, @function
qorvex_affine_add_adx:
    qvx_enter 136
    movq %rdx, %rcx
    qvx_load 32(%rsi)               # dy = yb - ya
    qvx_sub 32(%rdi)
    qvx_store 0(%rsp)
    qvx_mul 0(%rsp), 0(%rcx)        # lambda = dy inv
    qvx_store 32(%rsp)
    qvx_affine_tail
    qvx_leave 136
    .size qorvex_affine_add_adx, .-qorvex_affine_add_adx

# void qorvex_affine_pair_step_adx(uint64_t a[8], const uint64_t b[8],
#                                  uint64_t chain[4], const uint64_t pre[4],
#                                  const uint64_t den[4]);
# rdi = a, rsi = b, rbp = chain (from rdx), rcx = pre, then den (from r8,
# kept in a slot while r8 is scratch).
# Slots: dy 0, lambda 32, x3 64, xa - x3 96, inv 128, den pointer 160.
    .p2align 4
    .globl qorvex_affine_pair_step_adx
    .hidden qorvex_affine_pair_step_adx
    .type qorvex_affine_pair_step_adx, @function
qorvex_affine_pair_step_adx:
    qvx_enter 168
    movq %rdx, %rbp
    movq %r8, 160(%rsp)
    qvx_mul 0(%rbp), 0(%rcx)        # inv = chain pre
    qvx_store 128(%rsp)
    qvx_load 32(%rsi)               # dy = yb - ya
    qvx_sub 32(%rdi)
    qvx_store 0(%rsp)
    qvx_mul 0(%rsp), 128(%rsp)      # lambda = dy inv
    qvx_store 32(%rsp)
    movq 160(%rsp), %rcx            # chain = chain den, off the path of the sum
    qvx_mul 0(%rbp), 0(%rcx)
    qvx_store 0(%rbp)
    qvx_affine_tail
    qvx_leave 168
    .size qorvex_affine_pair_step_adx, .-qorvex_affine_pair_step_adx

# void qorvex_affine_pair_step2_adx(const AffinePairStep s[2]);
# Two pair steps of qorvex_affine_pair_step_adx, their formulas interleaved
# step by step: the two are independent, so each one's products fill the
# waits of the other's (measured: 11 % faster than one at a time; four at a
# time gained nothing more). rdi = s; a step's pointers a, b, chain, pre,
# den at 0, 8, 16, 24, 32 of its 40 bytes, loaded into rsi, rcx and rbp as
# needed. Slots per step k at 160 k: dy 0, lambda 32, x3 64, xa - x3 96,
# inv 128.
    .p2align 4
    .globl qorvex_affine_pair_step2_adx
    .hidden qorvex_affine_pair_step2_adx
    .type qorvex_affine_pair_step2_adx, @function
qorvex_affine_pair_step2_adx:
    qvx_enter 328
    movq 16(%rdi), %rbp             # inv_k = chain_k pre_k
    movq 24(%rdi), %rcx
    qvx_mul 0(%rbp), 0(%rcx)
    qvx_store 128(%rsp)
    movq 56(%rdi), %rbp
    movq 64(%rdi), %rcx
    qvx_mul 0(%rbp), 0(%rcx)
    qvx_store 288(%rsp)
    movq 8(%rdi), %rsi              # dy_k = yb_k - ya_k
    movq 0(%rdi), %rcx
    qvx_load 32(%rsi)
    qvx_sub 32(%rcx)
    qvx_store 0(%rsp)
    movq 48(%rdi), %rsi
    movq 40(%rdi), %rcx
    qvx_load 32(%rsi)
    qvx_sub 32(%rcx)
    qvx_store 160(%rsp)
    qvx_mul 0(%rsp), 128(%rsp)      # lambda_k = dy_k inv_k
    qvx_store 32(%rsp)
    qvx_mul 160(%rsp), 288(%rsp)
    qvx_store 192(%rsp)
    movq 16(%rdi), %rbp             # chain_k = chain_k den_k
    movq 32(%rdi), %rcx
    qvx_mul 0(%rbp), 0(%rcx)
    qvx_store 0(%rbp)
    movq 56(%rdi), %rbp
    movq 72(%rdi), %rcx
    qvx_mul 0(%rbp), 0(%rcx)
    qvx_store 0(%rbp)
    movq 0(%rdi), %rcx              # x3_k = lambda_k^2 - xa_k - xb_k
    movq 8(%rdi), %rsi
    qvx_sqr 32(%rsp)
    qvx_sub 0(%rcx)
    qvx_sub 0(%rsi)
    qvx_store 64(%rsp)
    movq 40(%rdi), %rcx
    movq 48(%rdi), %rsi
    qvx_sqr 192(%rsp)
    qvx_sub 0(%rcx)
    qvx_sub 0(%rsi)
    qvx_store 224(%rsp)
    movq 0(%rdi), %rcx              # xa_k - x3_k
    qvx_load 0(%rcx)
    qvx_sub 64(%rsp)
    qvx_store 96(%rsp)
    movq 40(%rdi), %rcx
    qvx_load 0(%rcx)
    qvx_sub 224(%rsp)
    qvx_store 256(%rsp)
    movq 0(%rdi), %rcx              # y_k = lambda_k (xa_k - x3_k) - ya_k, x_k = x3_k
    qvx_mul 32(%rsp), 96(%rsp)
    qvx_sub 32(%rcx)
    qvx_store 32(%rcx)
    qvx_load 64(%rsp)
    qvx_store 0(%rcx)
    movq 40(%rdi), %rcx
    qvx_mul 192(%rsp), 256(%rsp)
    qvx_sub 32(%rcx)
    qvx_store 32(%rcx)
    qvx_load 224(%rsp)
    qvx_store 0(%rcx)
    qvx_leave 328
    .size qorvex_affine_pair_step2_adx, .-qorvex_affine_pair_step2_adx

    .purgem qvx_affine_tail
    .purgem qvx_reduce
    .purgem qvx_reduce_tail
    .purgem qvx_sqr_r
    .purgem qvx_mul
    .purgem qvx_sqr
    .purgem qvx_sub
    .purgem qvx_store
    .purgem qvx_load
    .purgem qvx_dbl_l
    .purgem qvx_push
    .purgem qvx_pop
    .purgem qvx_enter
    .purgem qvx_leave
    .popsection
)");
// clang-format on

#endif  // QORVEX_HAVE_POINT_ADX
