// Sine and cosine by a reduction to [-pi/4, pi/4] (a head and a tail) and the classic
// minimax polynomials of the public-domain fdlibm kernels (error below one unit in the last place
// of a double). The file is built without floating-point contraction, so the same operations run
// in the same order everywhere.
#include "gfx/portable_trig.h"

#include <cmath>
#include <cstdint>

namespace {

// pi/2 as its first 33 bits and the rest: a quotient below 2^20 times the first part is exact,
// and the rest carries the reduction well past a double's precision.
constexpr double kPio2Head = 1.57079632673412561417e+00;
constexpr double kPio2Tail = 6.07710050650619224932e-11;
constexpr double kTwoOverPi = 6.36619772367581382433e-01;

constexpr double S1 = -1.66666666666666324348e-01;
constexpr double S2 = 8.33333333332248946124e-03;
constexpr double S3 = -1.98412698298579493134e-04;
constexpr double S4 = 2.75573137070700676789e-06;
constexpr double S5 = -2.50507602534068634195e-08;
constexpr double S6 = 1.58969099521155010221e-10;

constexpr double C1 = 4.16666666666666019037e-02;
constexpr double C2 = -1.38888888888741095749e-03;
constexpr double C3 = 2.48015872894767294178e-05;
constexpr double C4 = -2.75573143513906633035e-07;
constexpr double C5 = 2.08757232129817482790e-09;
constexpr double C6 = -1.13596475577881948265e-11;

// sin(x + y) for |x| <= pi/4 and y a tail far below x's last place.
double kernelSin(double x, double y) {
    double z = x * x;
    double v = z * x;
    double r = S2 + z * (S3 + z * (S4 + z * (S5 + z * S6)));
    return x - ((z * (0.5 * y - v * r) - y) - v * S1);
}

// cos(x + y) for |x| <= pi/4.
double kernelCos(double x, double y) {
    double z = x * x;
    double r = z * (C1 + z * (C2 + z * (C3 + z * (C4 + z * (C5 + z * C6)))));
    double hz = 0.5 * z;
    double w = 1.0 - hz;
    return w + (((1.0 - w) - hz) + (z * r - x * y));
}

// x reduced to head + tail in [-pi/4, pi/4] with x = head + tail + n pi/2; returns n mod 4.
int reduce(double x, double& head, double& tail) {
    // Beyond a quotient of 2^20 the head part is no longer exact; the game meets such angles only
    // from a hostile recording, and fmod keeps those deterministic (it is exact).
    if (std::fabs(x) > 1.0e6)
        x = std::fmod(x, 6.28318530717958647692);
    double n = std::floor(x * kTwoOverPi + 0.5);
    double r = x - n * kPio2Head;  // exact: n has at most 21 bits and r is near x's multiple
    double w = n * kPio2Tail;
    head = r - w;
    tail = (r - head) - w;
    return static_cast<int>(static_cast<int64_t>(n) & 3);
}

// Below this the sine is its argument and the cosine 1, to the last bit.
constexpr double kTiny = 7.450580596923828125e-9;  // 2^-27

}  // namespace

double portableSin(double x) {
    if (!std::isfinite(x))
        return x - x;
    if (std::fabs(x) < kTiny)
        return x;
    double r, t;
    switch (reduce(x, r, t)) {
        case 0:
            return kernelSin(r, t);
        case 1:
            return kernelCos(r, t);
        case 2:
            return -kernelSin(r, t);
        default:
            return -kernelCos(r, t);
    }
}

double portableCos(double x) {
    if (!std::isfinite(x))
        return x - x;
    if (std::fabs(x) < kTiny)
        return 1.0;
    double r, t;
    switch (reduce(x, r, t)) {
        case 0:
            return kernelCos(r, t);
        case 1:
            return -kernelSin(r, t);
        case 2:
            return -kernelCos(r, t);
        default:
            return kernelSin(r, t);
    }
}
