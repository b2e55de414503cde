// The portable sine and cosine: as accurate as the C library's over the angles the game meets and
// far beyond, exact where the values are exact, and the same bits wherever they run.
#include "gfx/portable_trig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

uint64_t bitsOf(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// The distance in units of the last place of a double between a result and the long-double
// reference.
double ulpsFrom(double got, long double want) {
    double w = static_cast<double>(want);
    double ulp =
        std::nextafter(std::fabs(w), std::numeric_limits<double>::infinity()) - std::fabs(w);
    return static_cast<double>(std::fabs(static_cast<long double>(got) - want) / ulp);
}

TEST(PortableTrig, WithinOneUnitInTheLastPlaceFromSmallAnglesToThousandsOfTurns) {
    double worstSin = 0, worstCos = 0;
    // Headings of a long flight reach tens of thousands of degrees; the sky's angle stays below pi.
    for (double x = -20000.0; x <= 20000.0; x += 0.7310131) {
        worstSin = std::max(worstSin, ulpsFrom(portableSin(x), sinl(static_cast<long double>(x))));
        worstCos = std::max(worstCos, ulpsFrom(portableCos(x), cosl(static_cast<long double>(x))));
    }
    for (double x = -3.2; x <= 3.2; x += 0.000913) {
        worstSin = std::max(worstSin, ulpsFrom(portableSin(x), sinl(static_cast<long double>(x))));
        worstCos = std::max(worstCos, ulpsFrom(portableCos(x), cosl(static_cast<long double>(x))));
    }
    EXPECT_LT(worstSin, 1.0);
    EXPECT_LT(worstCos, 1.0);
}

TEST(PortableTrig, FloatResultsAreTheRoundedDoubleAndAgreeWithTheLibraryAlmostEverywhere) {
    int differ = 0, count = 0;
    for (float x = -400.0f; x <= 400.0f; x += 0.0137f, ++count) {
        float s = portableSin(x), c = portableCos(x);
        EXPECT_EQ(s, static_cast<float>(portableSin(static_cast<double>(x))));
        // Correctly rounded but in the rarest ties: against the long-double reference rounded.
        if (s != static_cast<float>(sinl(static_cast<long double>(x))) ||
            c != static_cast<float>(cosl(static_cast<long double>(x))))
            ++differ;
    }
    EXPECT_EQ(differ, 0) << "of " << count;
}

TEST(PortableTrig, ExactValuesSignsAndNonFiniteInputs) {
    EXPECT_EQ(bitsOf(portableSin(0.0)), bitsOf(0.0));
    EXPECT_EQ(bitsOf(portableSin(-0.0)), bitsOf(-0.0));
    EXPECT_EQ(portableCos(0.0), 1.0);
    EXPECT_EQ(portableSin(1e-300), 1e-300);
    EXPECT_TRUE(std::isnan(portableSin(std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(portableCos(-std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(portableSin(std::nan(""))));
    // A hostile recording's huge heading still gives a value in range, the same every time.
    double huge = 3.0e15;
    EXPECT_LE(std::fabs(portableSin(huge)), 1.0);
    EXPECT_EQ(bitsOf(portableSin(huge)), bitsOf(portableSin(huge)));
}

TEST(PortableTrig, TheSkysSamplesFallOnTheirSideOfTheWholeNumbers) {
    // The sky's swing uses the factor 0.017453292, a little below pi/180.
    EXPECT_LT(portableSin(30 * 0.017453292) * 120.0, 60.0);
    EXPECT_GT(portableSin(150 * 0.017453292) * 120.0, 60.0);
    EXPECT_LT(portableSin(90 * 0.017453292) * 120.0, 120.0);
    EXPECT_GT(portableSin(90 * 0.017453292) * 120.0, 119.999);
}

}  // namespace
