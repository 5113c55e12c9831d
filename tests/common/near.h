// The one tolerance helper of the tests: relative-or-absolute near-equality.
#pragma once

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

// |a - b| <= tol * max(1, |a|, |b|): relative for large values, absolute near 0.
inline ::testing::AssertionResult near(double a, double b, double tol = 1e-9)
{
    const double scale = std::max({1.0, std::fabs(a), std::fabs(b)});
    if (std::fabs(a - b) <= tol * scale)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << a << " and " << b << " differ by " << std::fabs(a - b) << " (tolerance "
           << tol << " x " << scale << ")";
}
