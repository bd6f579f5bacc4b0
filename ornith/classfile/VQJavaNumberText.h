#pragma once
// Java's text for floating-point constants, as a ConstantValue describes them.

#include <string>

namespace ornith {

// Java's text for a float or double (Float.toString / Double.toString of Java 19 and later):
// the shortest digits that read back as the same value, in Java's layout (1.5, 1000000.0,
// 1.0E7, 1.0E-5, -0.0, NaN, Infinity).
std::string VQJavaFloatText(float value);
std::string VQJavaDoubleText(double value);

}  // namespace ornith
