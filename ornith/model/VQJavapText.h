#pragma once
// The class as the JDK's javap prints it (JDK 25, without -c or -v): "Compiled from"
// line, header with generics, then fields and methods in file order, two spaces in.
// A module-info class prints as "module NAME@VERSION { ... }" with its directives.
//
// What the model does not keep is assumed as javac writes it: the class-file version
// (strictfp is shown wherever the flag is set, as javap does for classes before 17),
// and access flags that javap would report as unknown for their place are left out
// without its "Error:" line.

#include <string>
#include <string_view>

#include "ornith/model/VQJavaClass.h"

namespace ornith {

struct VQJavapOptions {
    bool showPrivate = false;    // javap -p: private members too
    bool showConstants = false;  // javap -constants: " = value" after constant fields
    // When set, every piece of text is passed through it on its way into a line (names,
    // types, constants; never the line breaks between lines), so that a caller can make
    // text from the class file safe to show. It appends its result to `out`.
    void (*filter)(std::string_view text, std::string& out) = nullptr;
};

// The whole text, each line ended by '\n'.
std::string VQJavapText(const VQJavaClass& javaClass, const VQJavapOptions& options = {});

// A string constant as javap quotes it: printable ASCII as is, \b \t \n \f \r \" \\ as
// such, every other UTF-16 unit as \uXXXX (lower-case hex).
std::string VQJavapQuotedString(std::string_view utf8);

}  // namespace ornith
