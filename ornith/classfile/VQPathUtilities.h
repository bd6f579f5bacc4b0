#pragma once
// Conversions between the three forms of a Java name (dotted, '/'-separated, split into
// package and simple name) and environment-variable expansion of class-path entries.
// Each takes the text it works on as its first argument and returns a new string.

#include <cstddef>
#include <string>
#include <string_view>

namespace ornith {

// java.lang.Object -> java/lang/Object (no ".class" is added).
std::string stringByConvertingJavaIdentifierToPath(std::string_view receiver);

// java/lang/Object or java\lang\Object -> java.lang.Object; one trailing separator is dropped.
std::string stringByConvertingPathToJavaIdentifier(std::string_view receiver);
// The same conversion done on the string itself, for callers that own a fresh copy.
void convertPathToJavaIdentifierInPlace(std::string& path);
// Every '/' and '\\' of the bytes to '.', in place (no separator is dropped).
void convertSeparatorsToDots(char* text, size_t length) noexcept;

// Appends the text with every '/' written as '.' (a descriptor's class name as a
// declaration shows it). One pass without a branch per character: names are short and
// their slashes come at no predictable place.
void appendDottedName(std::string_view slashed, std::string& out);

// receiver + "." + component, the dot inserted even when the receiver is empty.
std::string stringByAppendingJavaComponent(std::string_view receiver, std::string_view component);

// Everything before the last "."; empty when there is none.
std::string stringByDeletingLastJavaComponent(std::string_view receiver);

// Everything after the last "."; the whole receiver when there is none.
std::string lastJavaComponent(std::string_view receiver);

// Replaces $NAME and ${NAME} (or ${NAME:anything}) by the variable's value, or by nothing
// when it is not set; leading white space is dropped. There is no escape for "$".
std::string stringByExpandingEnvironmentVariables(std::string_view receiver);

}  // namespace ornith
