// Tests of the matrices and the eigen-solvers: packed storage, Jacobi on closed-form cases,
// the power method with an injected start, Wielandt deflation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "math/AlgorithmIF.h"
#include "math/MatrixIF.h"

namespace {

const double kSqrt2 = std::sqrt(2.0);

// The tridiagonal (-1, 2, -1) matrix: eigenvalues 2 - sqrt 2, 2, 2 + sqrt 2.
void fillTridiagonal(MatrixIF& m)
{
    for (unsigned i = 0; i < 3; ++i) {
        m.set(i, i, 2.0);
        if (i + 1 < 3) {
            m.set(i, i + 1, -1.0);
            m.set(i + 1, i, -1.0);
        }
    }
}

// |A v - lambda v| for the tridiagonal matrix.
double residualOf(const double* v, double lambda)
{
    SymmetricMatrixNXN a(3);
    fillTridiagonal(a);
    double r = 0.0;
    for (unsigned i = 0; i < 3; ++i) {
        double s = -lambda * v[i];
        for (unsigned j = 0; j < 3; ++j)
            s += a.get(i, j) * v[j];
        r += s * s;
    }
    return std::sqrt(r);
}

}  // namespace

TEST(MatrixIFTest, StorageStartsZeroedAndIgnoresOutsideIndexes)
{
    SymmetricMatrixNXN s(3);
    const struct {
        unsigned i, j, packed;
    } places[] = {{0, 0, 0}, {0, 2, 2}, {1, 1, 3}, {1, 2, 4}, {2, 2, 5}, {2, 1, 4}};
    for (const auto& p : places)
        EXPECT_EQ(s.packedIndex(p.i, p.j), p.packed) << p.i << "," << p.j;
    MatrixNXN d(3);
    for (MatrixIF* m : {static_cast<MatrixIF*>(&s), static_cast<MatrixIF*>(&d)}) {
        for (unsigned i = 0; i < 3; ++i)
            for (unsigned j = 0; j < 3; ++j)
                EXPECT_EQ(m->get(i, j), 0.0);
        m->set(0, 3, 7.0);
        m->set(3, 0, 7.0);
        EXPECT_EQ(m->get(3, 0), 0.0);
        m->set(2, 1, 5.0);
        EXPECT_EQ(m->get(2, 1), 5.0);
        m->setIdentity();
        EXPECT_EQ(m->get(2, 1), 0.0);
        EXPECT_EQ(m->get(1, 1), 1.0);
    }
    s.set(0, 1, 4.0);
    EXPECT_EQ(s.get(1, 0), 4.0);
    d.set(0, 1, 4.0);
    EXPECT_EQ(d.get(1, 0), 0.0);
}

TEST(JacobiMethodTest, ReducesKnownSymmetricMatrices)
{
    SymmetricMatrixNXN diagonal(3);
    diagonal.set(0, 0, 3.0);
    diagonal.set(1, 1, -1.0);
    JacobiMethod onDiagonal(diagonal);
    EXPECT_TRUE(onDiagonal.run());
    for (unsigned i = 0; i < 3; ++i)
        for (unsigned j = 0; j < 3; ++j)
            EXPECT_EQ(onDiagonal.getEigenvectors().get(i, j), i == j ? 1.0 : 0.0);

    // One rotation with t = 1.
    SymmetricMatrixNXN two(2);
    two.set(0, 0, 2.0);
    two.set(1, 1, 2.0);
    two.set(0, 1, 1.0);
    JacobiMethod jacobi2(two);
    EXPECT_FALSE(jacobi2.run());
    EXPECT_NEAR(jacobi2.eigenvalue(0), 1.0, 1e-15);
    EXPECT_NEAR(jacobi2.eigenvalue(1), 3.0, 1e-15);
    RWTValOrderedVector<double> c0, c1;
    jacobi2.eigenvector(0, c0);
    jacobi2.eigenvector(1, c1);
    EXPECT_NEAR(c0[0], 0.70710678, 1e-8);
    EXPECT_NEAR(c0[1], -0.70710678, 1e-8);
    EXPECT_NEAR(c1[0], 0.70710678, 1e-8);
    EXPECT_NEAR(c1[1], 0.70710678, 1e-8);
    EXPECT_TRUE(jacobi2.run());

    SymmetricMatrixNXN three(3);
    fillTridiagonal(three);
    JacobiMethod jacobi3(three);
    ASSERT_TRUE(jacobi3.solve());
    EXPECT_LT(jacobi3.getSweeps(), 10);
    double found[3];
    for (unsigned i = 0; i < 3; ++i) {
        found[i] = jacobi3.eigenvalue(i);
        RWTValOrderedVector<double> v;
        jacobi3.eigenvector(i, v);
        const double vec[3] = {v[0], v[1], v[2]};
        EXPECT_NEAR(vec[0] * vec[0] + vec[1] * vec[1] + vec[2] * vec[2], 1.0, 1e-12);
        EXPECT_LT(residualOf(vec, found[i]), 1e-12) << i;
    }
    std::sort(found, found + 3);
    EXPECT_NEAR(found[0], 2.0 - kSqrt2, 1e-12);
    EXPECT_NEAR(found[1], 2.0, 1e-12);
    EXPECT_NEAR(found[2], 2.0 + kSqrt2, 1e-12);
}

TEST(JacobiMethodTest, EarlySweepsPassOverPairsBelowTheThreshold)
{
    // Two independent 2 x 2 blocks: rotating one leaves the other's entry as it is. With the
    // off-diagonal sum 1.01 the threshold is 0.2 x 1.01 / 16, above the small entry 0.01, so the
    // first three sweeps leave that pair alone; from the fourth on every pair is rotated.
    for (int sweep = 1; sweep <= 5; ++sweep) {
        SymmetricMatrixNXN m(4);
        m.setIdentity();
        JacobiMethod jacobi(m);
        for (int before = 1; before < sweep; ++before)
            ASSERT_TRUE(jacobi.run());  // nothing to reduce yet: the sweep counts all the same
        m.set(0, 1, 0.01);
        m.set(2, 3, 1.0);
        EXPECT_FALSE(jacobi.run());
        EXPECT_EQ(jacobi.getSweeps(), sweep);
        EXPECT_EQ(m.get(2, 3), 0.0);
        EXPECT_EQ(m.get(0, 1), sweep < 4 ? 0.01 : 0.0) << "sweep " << sweep;
    }
}

TEST(JacobiMethodTest, SweepsAreBoundedOnNumbersThatNeverSettle)
{
    SymmetricMatrixNXN m(3);
    fillTridiagonal(m);
    m.set(0, 2, std::nan(""));
    JacobiMethod jacobi(m);
    EXPECT_FALSE(jacobi.solve(20));
    EXPECT_LE(jacobi.getSweeps(), 20);
}

TEST(PowerMethodTest, FindsTheDominantPairFromAnInjectedStart)
{
    MatrixNXN d(2);
    d.set(0, 0, 3.0);
    d.set(1, 1, 1.0);
    double calls = 0;
    PowerMethod power(d, 1e-10, [&calls]() { return (calls += 1) / 4.0; });
    int steps = 0;
    while (!power.run() && steps < 1000)
        ++steps;
    EXPECT_EQ(calls, 2);
    EXPECT_NEAR(power.eigenvalue(), 3.0, 1e-12);
    EXPECT_NEAR(std::fabs(power.eigenvector()[0]), 1.0, 1e-9);
    EXPECT_NEAR(power.eigenvector()[1], 0.0, 1e-9);

    // The default source starts the same every time.
    MatrixNXN t(3);
    fillTridiagonal(t);
    int counts[2];
    for (int& count : counts) {
        PowerMethod p(t, 1e-9);
        count = 0;
        while (!p.run() && count < 10000)
            ++count;
        EXPECT_NEAR(p.eigenvalue(), 2.0 + kSqrt2, 1e-9);
        EXPECT_LT(residualOf(p.eigenvector(), p.eigenvalue()), 1e-6);
    }
    EXPECT_EQ(counts[0], counts[1]);

    // A dominant eigenvalue below zero flips the vector's sign at every step: the residual
    // compares against the flipped vector, so the iteration still settles.
    MatrixNXN negative(2);
    negative.set(0, 0, -3.0);
    negative.set(1, 1, 1.0);
    PowerMethod flipping(negative, 1e-10, []() { return 0.5; });
    steps = 0;
    while (!flipping.run() && steps < 1000)
        ++steps;
    EXPECT_LT(steps, 1000);
    EXPECT_NEAR(flipping.eigenvalue(), -3.0, 1e-12);
    EXPECT_NEAR(std::fabs(flipping.eigenvector()[0]), 1.0, 1e-9);

    // A start in the null space, and a zero start, end at once without dividing by zero.
    MatrixNXN zero(2);
    PowerMethod still(zero, 1e-9, []() { return 0.0; });
    EXPECT_TRUE(still.run());
    EXPECT_EQ(still.eigenvalue(), 0.0);
}

TEST(WielandtMethodTest, DeflationGivesTheSecondPair)
{
    MatrixNXN a(3);
    fillTridiagonal(a);
    const double lambda1 = 2.0 + kSqrt2;
    const double x1[3] = {0.5, -kSqrt2 / 2.0, 0.5};
    WielandtMethod wielandt(a, lambda1, x1, 1e-12);
    int steps = 0;
    while (!wielandt.run() && steps < 10000)
        ++steps;
    EXPECT_NEAR(wielandt.eigenvalue(), 2.0, 1e-9);
    const double* x2 = wielandt.eigenvector();
    EXPECT_LT(residualOf(x2, 2.0), 1e-6);
    EXPECT_NEAR(std::fabs(x2[0]), 1.0 / kSqrt2, 1e-6);
    EXPECT_NEAR(x2[1], 0.0, 1e-6);
    EXPECT_EQ(wielandt.eigenvector(), x2);

    // A matrix whose second eigenvector does not vanish at the pivot: the deflation row must
    // take the eigenvalue found out whole. The eigenvalues to meet are Jacobi's.
    const double entries[3][3] = {{4, 1, 0}, {1, 3, 1}, {0, 1, 2}};
    MatrixNXN b(3);
    SymmetricMatrixNXN s(3);
    for (unsigned i = 0; i < 3; ++i)
        for (unsigned j = 0; j < 3; ++j) {
            b.set(i, j, entries[i][j]);
            s.set(i, j, entries[i][j]);
        }
    JacobiMethod reference(s);
    ASSERT_TRUE(reference.solve());
    double lambdas[3] = {reference.eigenvalue(0), reference.eigenvalue(1), reference.eigenvalue(2)};
    std::sort(lambdas, lambdas + 3);
    PowerMethod first(b, 1e-13);
    for (steps = 0; !first.run() && steps < 10000;)
        ++steps;
    ASSERT_NEAR(first.eigenvalue(), lambdas[2], 1e-9);
    WielandtMethod second(b, first.eigenvalue(), first.eigenvector(), 1e-13);
    for (steps = 0; !second.run() && steps < 10000;)
        ++steps;
    EXPECT_NEAR(second.eigenvalue(), lambdas[1], 1e-6);
}
