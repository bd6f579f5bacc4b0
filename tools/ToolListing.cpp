#include "ToolListing.h"

#include "ToolProgress.h"
#include "ornith/library/VQJavaPackage.h"

namespace ornith::tool {

SortedClassNames sortedClassNamesBelow(const VQJavaPackage& package) {
    SortedClassNames names;
    {
        ProgressLine progress("listing");
        const auto enumerator = package.classNameEnumerator();
        for (const std::string& name : *enumerator) {
            names.add(name);
            progress.step(name, names.size());
        }
    }
    names.sort();
    return names;
}

}  // namespace ornith::tool
