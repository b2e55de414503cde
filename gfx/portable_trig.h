// Sine and cosine that give the same bits on every machine and C library: IEEE double arithmetic
// only (no library call, no fused multiply-add), rounded to float where the game works in float.
#pragma once

double portableSin(double x);
double portableCos(double x);

// The double result rounded to float: the correctly rounded value but in the rarest ties.
inline float portableSin(float x) {
    return static_cast<float>(portableSin(static_cast<double>(x)));
}
inline float portableCos(float x) {
    return static_cast<float>(portableCos(static_cast<double>(x)));
}
