// The Jacobi, power and Wielandt eigen-solvers.
#include "math/AlgorithmIF.h"

#include <cmath>
#include <random>

// ---- Jacobi ----

JacobiMethod::JacobiMethod(SymmetricMatrixIF& m) : matrix(m), v(m.getSize()), n(m.getSize()) { v.setIdentity(); }

void JacobiMethod::eigenvector(unsigned i, RWTValOrderedVector<double>& out) const
{
    for (unsigned r = 0; r < n; ++r)
        out.append(v.get(r, i));
}

bool JacobiMethod::run()
{
    ++sweeps;
    double sum = 0.0;
    for (unsigned p = 0; p + 1 < n; ++p)
        for (unsigned q = p + 1; q < n; ++q)
            sum += std::fabs(matrix.get(p, q));
    lastSum = sum;
    if (sum == 0.0)
        return true;
    const double threshold = sweeps <= 4 ? 0.2 * sum / (double(n) * n) : 0.0;
    for (unsigned p = 0; p + 1 < n; ++p)
        for (unsigned q = p + 1; q < n; ++q) {
            const double apq = std::fabs(matrix.get(p, q));
            const double g = 100.0 * apq;
            if (sweeps < 4 && apq < threshold)
                continue;
            const double app = std::fabs(matrix.get(p, p));
            const double aqq = std::fabs(matrix.get(q, q));
            if (app + g == app && aqq + g == aqq) {
                matrix.set(p, q, 0.0);
                continue;
            }
            rotate(p, q);
        }
    return false;
}

bool JacobiMethod::solve(int maxSweeps)
{
    for (int i = 0; i < maxSweeps; ++i) {
        if (run())
            return true;
        if (!std::isfinite(lastSum))
            return false;  // no rotation can bring NaN or infinite entries to rest
    }
    return false;
}

void JacobiMethod::rotate(unsigned p, unsigned q)
{
    const double apq = matrix.get(p, q);
    const double theta = (matrix.get(q, q) - matrix.get(p, p)) / (2.0 * apq);
    double t = 1.0 / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
    if (theta < 0.0)
        t = -t;
    const double c = 1.0 / std::sqrt(t * t + 1.0);
    const double s = t * c;
    const double tau = s / (1.0 + c);
    matrix.set(p, q, 0.0);
    matrix.set(p, p, matrix.get(p, p) - t * apq);
    matrix.set(q, q, matrix.get(q, q) + t * apq);
    for (unsigned r = 0; r < n; ++r) {
        if (r == p || r == q)
            continue;
        const double g = matrix.get(r, p);
        const double h = matrix.get(r, q);
        matrix.set(r, p, g - s * (h + g * tau));
        matrix.set(r, q, h + s * (g - h * tau));
    }
    for (unsigned r = 0; r < n; ++r) {
        const double g = v.get(r, p);
        const double h = v.get(r, q);
        v.set(r, p, g - s * (h + g * tau));
        v.set(r, q, h + s * (g - h * tau));
    }
}

// ---- Power method ----

RandomSourceF defaultRandomSource()
{
    auto engine = std::make_shared<std::minstd_rand>(1u);
    return [engine]() { return double((*engine)() - std::minstd_rand::min()) / double(std::minstd_rand::max()); };
}

PowerMethod::PowerMethod(MatrixIF& m, double tolerance, RandomSourceF random)
    : matrix(m), n(m.getSize()), x(n, 0.0), y(n, 0.0), tolerance(tolerance), random(std::move(random))
{
}

namespace {

double length(const std::vector<double>& v)
{
    double s = 0.0;
    for (double d : v)
        s += d * d;
    return std::sqrt(s);
}

}  // namespace

bool PowerMethod::run()
{
    if (n == 0)
        return true;
    if (iterations == 0) {
        for (unsigned i = 0; i < n; ++i)
            x[i] = random ? random() : 0.5;
        double len = length(x);
        if (!(len > 0.0) || !std::isfinite(len)) {
            // A start of zeros has no direction: take the first axis.
            for (double& d : x)
                d = 0.0;
            x[0] = len = 1.0;
        }
        for (double& d : x)
            d /= len;
    }
    ++iterations;
    for (unsigned i = 0; i < n; ++i) {
        double s = 0.0;
        for (unsigned j = 0; j < n; ++j)
            s += matrix.get(i, j) * x[j];
        y[i] = s;
    }
    double l = 0.0;
    for (unsigned i = 0; i < n; ++i)
        l += x[i] * y[i];
    lambda = l;
    const double ylen = length(y);
    if (!(ylen > 0.0) || !std::isfinite(ylen)) {
        // x lies in the null space (or the matrix holds no finite numbers): nothing moves.
        residual2 = 0.0;
        return true;
    }
    for (double& d : y)
        d /= ylen;
    const double sigma = lambda < 0.0 ? -1.0 : 1.0;
    double r = 0.0;
    for (unsigned i = 0; i < n; ++i) {
        const double d = x[i] - sigma * y[i];
        r += d * d;
    }
    residual2 = r;
    x = y;
    return std::sqrt(residual2) < tolerance;
}

// ---- Wielandt deflation ----

WielandtMethod::WielandtMethod(MatrixIF& a, double lambda1, const double* x1, double tolerance, RandomSourceF random)
    : tolerance(tolerance),
      lambda1(lambda1),
      x1(x1),
      n(a.getSize()),
      reduced(a.getSize() > 0 ? a.getSize() - 1 : 0),
      w(n, 0.0),
      x2(n, 0.0)
{
    if (n > 0 && x1) {
        for (unsigned i = 1; i < n; ++i)
            if (std::fabs(x1[i]) > std::fabs(x1[k]))
                k = i;
        const double pivot = lambda1 * x1[k];
        // A zero pivot cannot deflate: B stays A (w = 0).
        if (pivot != 0.0)
            for (unsigned j = 0; j < n; ++j)
                w[j] = a.get(k, j) / pivot;
        for (unsigned i = 0; i + 1 < n; ++i)
            for (unsigned j = 0; j + 1 < n; ++j) {
                const unsigned ii = i >= k ? i + 1 : i;
                const unsigned jj = j >= k ? j + 1 : j;
                reduced.set(i, j, a.get(ii, jj) - lambda1 * x1[ii] * w[jj]);
            }
    }
    inner = std::make_unique<PowerMethod>(reduced, tolerance, std::move(random));
}

bool WielandtMethod::run()
{
    ready = false;  // the vector of an earlier step is stale now
    ++steps;
    return inner->run();
}

const double* WielandtMethod::eigenvector()
{
    if (ready || n == 0 || !x1)
        return x2.data();
    const double lambda2 = inner->eigenvalue();
    const double* y = inner->eigenvector();
    std::vector<double> yp(n, 0.0);
    for (unsigned i = 0, j = 0; i < n; ++i)
        yp[i] = i == k ? 0.0 : y[j++];
    double z = 0.0;
    for (unsigned i = 0; i < n; ++i)
        z += w[i] * yp[i];
    for (unsigned i = 0; i < n; ++i)
        x2[i] = (lambda2 - lambda1) * yp[i] + z * lambda1 * x1[i];
    const double len = length(x2);
    if (len > 0.0)
        for (double& d : x2)
            d /= len;
    ready = true;
    return x2.data();
}
