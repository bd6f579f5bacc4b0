#pragma once
// Class names as a Java developer types them, resolved on a class path.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ornith {
class VQClassLibrary;
class VQJavaClass;
}  // namespace ornith

namespace ornith::tool {

struct ToolLibrary;

// The binary name as typed: java/lang/String.class gives java.lang.String.
std::string typedBinaryName(std::string_view typed);

// The binary name of the class that NAME, as a Java developer types it, names on the
// library: java.lang.String, java/lang/String, java/lang/String.class, or a nested class
// with dots (java.util.Map.Entry, tried as java.util.Map$Entry, then java.util$Map$Entry,
// replacing dots from the right as javap does). Absent when there is none.
std::optional<std::string> findClassName(const VQClassLibrary& library, std::string_view name);
// The same on a tool's library, adding pending entries in order until one holds the class
// under the name exactly as typed (no later entry can change that answer), or all of
// them when none does.
std::optional<std::string> findClassName(ToolLibrary& found, std::string_view name);

// The class of that binary name from the first entry whose copy can be read, adding
// pending entries as far as needed. An entry that holds the class but cannot read it is
// reported once ("ornith: ENTRY: p/C.class: corrupt member (WHY)"), and the next entry
// is asked, as a class path goes on past a store that fails a read. Null when no entry
// supplies a readable copy; *failedRead then says whether some entry failed to read one.
// Exceptions from parsing the bytes pass to the caller.
std::shared_ptr<VQJavaClass> readableClass(ToolLibrary& found, const std::string& className,
                                           bool* failedRead);

}  // namespace ornith::tool
