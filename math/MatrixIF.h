// MatrixIF and SymmetricMatrixIF, the n x n matrix interfaces, with the dense MatrixNXN and the
// packed SymmetricMatrixNXN.
#pragma once

#include <cstddef>
#include <vector>

// Elements outside the matrix read as 0.0 and ignore writes. Matrices start zeroed.
class MatrixIF {
public:
    virtual ~MatrixIF() = default;
    virtual double get(unsigned i, unsigned j) const = 0;
    virtual void set(unsigned i, unsigned j, double value) = 0;
    virtual unsigned getSize() const = 0;
    virtual void setIdentity() = 0;
    virtual void setZero() = 0;
};

// (i, j) and (j, i) are one element.
class SymmetricMatrixIF : public MatrixIF {};

// The upper triangle packed row by row: (i, j) with i <= j at i n - (i i - i) / 2 + (j - i).
class SymmetricMatrixNXN : public SymmetricMatrixIF {
public:
    explicit SymmetricMatrixNXN(unsigned n);

    double get(unsigned i, unsigned j) const override;
    void set(unsigned i, unsigned j, double value) override;
    unsigned getSize() const override { return n; }
    void setIdentity() override;
    void setZero() override;

    // The packed place of (i, j), either order; i and j must be below n.
    size_t packedIndex(unsigned i, unsigned j) const;

private:
    unsigned n;
    std::vector<double> data;
};

// Row-major: (i, j) at i n + j.
class MatrixNXN : public MatrixIF {
public:
    explicit MatrixNXN(unsigned n);

    double get(unsigned i, unsigned j) const override;
    void set(unsigned i, unsigned j, double value) override;
    unsigned getSize() const override { return n; }
    void setIdentity() override;
    void setZero() override;

private:
    unsigned n;
    std::vector<double> data;
};
