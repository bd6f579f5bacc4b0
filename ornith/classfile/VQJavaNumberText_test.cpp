#include "ornith/classfile/VQJavaNumberText.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

namespace ornith {
namespace {

TEST(VQJavaFloatText, UsesJavasLayout) {
    const std::pair<double, const char*> doubles[] = {
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {1.0, "1.0"},
        {-1.5, "-1.5"},
        {100.0, "100.0"},
        {1e6, "1000000.0"},
        {9999999.0, "9999999.0"},
        {1e7, "1.0E7"},
        {123456789.0, "1.23456789E8"},
        {0.001, "0.001"},
        {0.00123, "0.00123"},
        {1e-4, "1.0E-4"},
        {0.1, "0.1"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1e23, "1.0E23"},
        {1e-5, "1.0E-5"},
        {std::numeric_limits<double>::max(), "1.7976931348623157E308"},
        {std::numeric_limits<double>::min(), "2.2250738585072014E-308"},
        {std::numeric_limits<double>::denorm_min(), "4.9E-324"},  // two digits where one would do
        {2 * std::numeric_limits<double>::denorm_min(), "9.9E-324"},
        {std::numeric_limits<double>::quiet_NaN(), "NaN"},
        {std::numeric_limits<double>::infinity(), "Infinity"},
        {-std::numeric_limits<double>::infinity(), "-Infinity"},
    };
    for (auto [value, text] : doubles) EXPECT_EQ(VQJavaDoubleText(value), text);

    const std::pair<float, const char*> floats[] = {
        {0.1f, "0.1"},
        {1.5f, "1.5"},
        {-0.0f, "-0.0"},
        {16777216.0f, "1.6777216E7"},
        {1e10f, "1.0E10"},
        {3.0e-4f, "3.0E-4"},
        {std::numeric_limits<float>::max(), "3.4028235E38"},
        {std::numeric_limits<float>::min(), "1.1754944E-38"},
        {std::numeric_limits<float>::denorm_min(), "1.4E-45"},
        {std::numeric_limits<float>::infinity(), "Infinity"},
        {std::numeric_limits<float>::quiet_NaN(), "NaN"},
    };
    for (auto [value, text] : floats) EXPECT_EQ(VQJavaFloatText(value), text);
}

}  // namespace
}  // namespace ornith
