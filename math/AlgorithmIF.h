// AlgorithmIF and the eigen-solvers behind it: the cyclic Jacobi method, the power method and
// Wielandt deflation.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "foundation/RWTValOrderedVector.h"
#include "math/MatrixIF.h"

// One step per run; run gives true once the method has converged. Callers bound the steps.
class AlgorithmIF {
public:
    virtual ~AlgorithmIF() = default;
    virtual bool run() = 0;
};

// Reduces the symmetric matrix in place to its eigenvalues on the diagonal; the eigenvectors
// collect in the columns of V.
class JacobiMethod : public AlgorithmIF {
public:
    static constexpr int kDefaultMaxSweeps = 50;

    explicit JacobiMethod(SymmetricMatrixIF& m);

    // One sweep over every off-diagonal pair.
    bool run() override;
    // Sweeps until converged or maxSweeps have run; whether it converged.
    bool solve(int maxSweeps = kDefaultMaxSweeps);

    double eigenvalue(unsigned i) const { return matrix.get(i, i); }
    // Appends column i of V.
    void eigenvector(unsigned i, RWTValOrderedVector<double>& out) const;
    double offDiagonalSum() const { return lastSum; }
    int getSweeps() const { return sweeps; }
    const MatrixNXN& getEigenvectors() const { return v; }

private:
    void rotate(unsigned p, unsigned q);

    SymmetricMatrixIF& matrix;
    MatrixNXN v;
    unsigned n;
    int sweeps = 0;
    double lastSum = 0.0;
};

// The start vector's entries come from the generator (values in [0, 1)); the default one is
// seeded the same every time, so results do not depend on the platform's rand().
using RandomSourceF = std::function<double()>;
RandomSourceF defaultRandomSource();

// The dominant eigenvalue and its eigenvector.
class PowerMethod : public AlgorithmIF {
public:
    PowerMethod(MatrixIF& m, double tolerance, RandomSourceF random = defaultRandomSource());

    bool run() override;

    double eigenvalue() const { return lambda; }
    const double* eigenvector() const { return x.data(); }
    double residual() const { return residual2; }
    int getIterations() const { return iterations; }

private:
    MatrixIF& matrix;
    unsigned n;
    std::vector<double> x;
    std::vector<double> y;
    double tolerance;
    int iterations = 0;
    double residual2 = 0.0;
    double lambda = 0.0;
    RandomSourceF random;
};

// The second eigenpair of a matrix whose dominant pair (lambda1, x1) is known, by deflating to
// an (n-1) x (n-1) matrix that the inner power method solves. x1 (n values) stays the caller's.
class WielandtMethod : public AlgorithmIF {
public:
    WielandtMethod(MatrixIF& a, double lambda1, const double* x1, double tolerance,
                   RandomSourceF random = defaultRandomSource());

    bool run() override;

    double eigenvalue() const { return inner->eigenvalue(); }
    // Computed on the first call.
    const double* eigenvector();
    int getSteps() const { return steps; }
    double getTolerance() const { return tolerance; }

private:
    double tolerance;
    bool ready = false;
    double lambda1;
    const double* x1;
    int steps = 0;
    unsigned n;
    MatrixNXN reduced;
    std::vector<double> w;
    unsigned k = 0;
    std::vector<double> x2;
    std::unique_ptr<PowerMethod> inner;
};
