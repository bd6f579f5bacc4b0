#pragma once
// What the tool says when a class is not found: the names nearest to the one typed.

#include <string>
#include <string_view>
#include <vector>

namespace ornith {
class VQClassLibrary;
}

namespace ornith::tool {

struct ToolLibrary;

// Reports "ornith: NAME: not found", with the nearest names of the package NAME names
// when there are close ones ("(did you mean java.lang.String?)"), or a word that no JDK
// was found when that may be why.
void reportNotFound(ToolLibrary& library, std::string_view name);

// Up to three class names on the library nearest to NAME (dotted): from the classes of
// its package, or, when the package does not exist, the same class in the nearest
// packages beside it. Never costs more than listing those packages.
std::vector<std::string> nearestClassNames(const VQClassLibrary& library, std::string_view name);

}  // namespace ornith::tool
