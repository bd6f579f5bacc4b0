#pragma once
// The class as the JDK's javap prints it (JDK 25): "Compiled from" line, header with
// generics, then fields and methods in file order, two spaces in; with -s, -c, -l and -v
// what those add under each member (VQJavapVerbose.h prints what -v adds).
// A module-info class prints as "module NAME@VERSION { ... }" with its directives.
//
// What the model does not keep is assumed as javac writes it: the class-file version
// (strictfp is shown wherever the flag is set, as javap does for classes before 17),
// and access flags that javap would report as unknown for their place are left out
// without its "Error:" line.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ornith/model/VQJavaClass.h"

namespace ornith {

// javap's -public, -protected, -package (its default) and -p: the least access a
// member (or an InnerClasses entry under -v) must have to be shown.
enum class VQJavapAccess { publicOnly, protectedOrMore, packageOrMore, all };

// What -sysinfo and -v print above the class: where the class file is, when it was last
// changed, its size and its SHA-256 digest. The caller knows the file; the model does not.
struct VQJavapFileInfo {
    // "/abs/dir/p/C.class", "jar:file:///abs/x.jar!/p/C.class", "jrt:/module/p/C.class";
    // no "Classfile" line when empty.
    std::string location;
    // Seconds since 1970 (UTC), shown as a date in the local time zone; none when absent.
    std::optional<int64_t> lastModified;
    // The file's length; 0 leaves it out.
    uint64_t size = 0;
    // Lower-case hex; no checksum line when empty.
    std::string sha256;
};

struct VQJavapOptions {
    bool showPrivate = false;    // javap -p: private members too (the same as access all)
    bool showConstants = false;  // javap -constants: " = value" after constant fields
    VQJavapAccess access = VQJavapAccess::packageOrMore;
    bool showDescriptors = false;  // -s: a "descriptor:" line under each member
    bool disassemble = false;      // -c: each method's code
    bool lineNumbers = false;      // -l: line number and local variable tables (with -c)
    bool verbose = false;          // -v: everything, the constant pool and attributes too
    bool sysInfo = false;          // -sysinfo: the file's lines above the class
    // The file's lines for -sysinfo and -v; none printed when null.
    const VQJavapFileInfo* file = nullptr;
    // When set, every piece of text is passed through it on its way into a line (names,
    // types, constants; never the line breaks between lines), so that a caller can make
    // text from the class file safe to show. It appends its result to `out`.
    void (*filter)(std::string_view text, std::string& out) = nullptr;
    // Set when the filter gives printable ASCII (0x20 to 0x7E) back as it is, as escaping
    // for a terminal does: a piece of nothing else then goes straight into its line.
    bool filterKeepsPlainAscii = false;
};

// The whole text, each line ended by '\n'.
std::string VQJavapText(const VQJavaClass& javaClass, const VQJavapOptions& options = {});
// The same text appended to `out`, for a caller that reuses one buffer for many classes.
void VQAppendJavapText(std::string& out, const VQJavaClass& javaClass,
                       const VQJavapOptions& options = {});

// A string constant as javap quotes it: printable ASCII as is, \b \t \n \f \r \" \\ as
// such, every other UTF-16 unit as \uXXXX (lower-case hex).
std::string VQJavapQuotedString(std::string_view utf8);

}  // namespace ornith
