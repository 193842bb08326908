// SymmetricMatrixNXN and MatrixNXN.
#include "math/MatrixIF.h"

SymmetricMatrixNXN::SymmetricMatrixNXN(unsigned n) : n(n), data(size_t(n) * (size_t(n) + 1) / 2, 0.0) {}

size_t SymmetricMatrixNXN::packedIndex(unsigned i, unsigned j) const
{
    if (i > j) {
        const unsigned t = i;
        i = j;
        j = t;
    }
    return size_t(i) * n - (size_t(i) * i - i) / 2 + (j - i);
}

double SymmetricMatrixNXN::get(unsigned i, unsigned j) const
{
    if (i >= n || j >= n)
        return 0.0;
    return data[packedIndex(i, j)];
}

void SymmetricMatrixNXN::set(unsigned i, unsigned j, double value)
{
    if (i >= n || j >= n)
        return;
    data[packedIndex(i, j)] = value;
}

void SymmetricMatrixNXN::setZero()
{
    for (double& d : data)
        d = 0.0;
}

void SymmetricMatrixNXN::setIdentity()
{
    setZero();
    for (unsigned i = 0; i < n; ++i)
        set(i, i, 1.0);
}

MatrixNXN::MatrixNXN(unsigned n) : n(n), data(size_t(n) * n, 0.0) {}

double MatrixNXN::get(unsigned i, unsigned j) const
{
    if (i >= n || j >= n)
        return 0.0;
    return data[size_t(i) * n + j];
}

void MatrixNXN::set(unsigned i, unsigned j, double value)
{
    if (i >= n || j >= n)
        return;
    data[size_t(i) * n + j] = value;
}

void MatrixNXN::setZero()
{
    for (double& d : data)
        d = 0.0;
}

void MatrixNXN::setIdentity()
{
    setZero();
    for (unsigned i = 0; i < n; ++i)
        set(i, i, 1.0);
}
