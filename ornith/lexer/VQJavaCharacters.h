#pragma once
// Which characters may begin and continue a Java identifier.
//
// The tests take a 16-bit character code as delivered by VQUnicodeStream (0 to 65535, or -1
// for end of input) and answer 1 or 0. They read constant data only and are thread-safe.

namespace ornith {

// A letter of the fixed letter set, or $ or _.
int VQIsJavaLetter(int character);

// A member of the fixed digit set (fifteen runs of decimal digits in various scripts).
int VQIsJavaDigit(int character);

// A letter, a digit, $ or _.
int VQIsJavaLetterOrDigit(int character);

}  // namespace ornith
