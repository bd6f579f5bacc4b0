#include "ToolNames.h"

#include <algorithm>

#include "ToolClassPath.h"
#include "ToolReport.h"
#include "ornith/classfile/VQPathUtilities.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/stores/VQClassStore.h"

namespace ornith::tool {

std::string typedBinaryName(std::string_view typed) {
    std::string name(typed);
    if (name.ends_with(".class")) name.resize(name.size() - 6);
    std::replace(name.begin(), name.end(), '/', '.');
    return name;
}

std::optional<std::string> findClassName(ToolLibrary& found, std::string_view typed) {
    const std::string name = typedBinaryName(typed);
    if (!name.empty()) {
        do {
            if (found.library->classStoreNameForClassWithName(name)) return name;
        } while (addNextPendingEntry(found));
    }
    addPendingEntries(found);
    return findClassName(*found.library, typed);
}

std::optional<std::string> findClassName(const VQClassLibrary& library, std::string_view typed) {
    std::string name = typedBinaryName(typed);
    if (name.empty()) return std::nullopt;
    if (library.classStoreNameForClassWithName(name)) return name;
    // A nested class named with dots: the last dots may stand for '$'.
    for (size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0;
         dot = name.rfind('.', dot - 1)) {
        name[dot] = '$';
        if (library.classStoreNameForClassWithName(name)) return name;
    }
    return std::nullopt;
}

namespace {

// What the store's logged line says went wrong with the member, in the tool's words: the
// reader's own in its closing parentheses ("Corrupt zip file a.jar (invalid compressed
// data).") make a corrupt member; any other line is given after the class name.
std::string memberFailure(const std::vector<std::string>& lines, std::string_view className) {
    if (lines.empty()) return "cannot be read";
    std::string_view line = lines.back();
    if (line.ends_with(".")) line.remove_suffix(1);
    if (line.ends_with(")")) {
        const size_t open = line.rfind(" (");
        if (open != std::string_view::npos)
            return "corrupt member (" + std::string(line.substr(open + 2, line.size() - open - 3)) +
                   ")";
    }
    const std::string named = std::string(className) + ": ";
    if (const size_t at = line.find(named); at != std::string_view::npos)
        line.remove_prefix(at + named.size());
    return "cannot be read (" + std::string(line) + ")";
}

}  // namespace

std::shared_ptr<VQJavaClass> readableClass(ToolLibrary& found, const std::string& className,
                                           bool* failedRead) {
    *failedRead = false;
    size_t next = 0;
    do {
        // Stores are appended as entries are added: index, never hold on to the vector.
        for (; next < found.library->classStores().size(); ++next) {
            const VQClassStore& store = *found.library->classStores()[next];
            if (!store.containsClassName(className)) continue;
            std::shared_ptr<const VQByteBuffer> data;
            std::vector<std::string> logged;
            {
                const LibraryLogCapture capture;
                data = store.dataForClassName(className);
                logged = capture.lines();
            }
            // The tool prints what the class file says and asks nothing through the
            // class's library, so the class is made on its own.
            if (data) return VQJavaClass::classWithData(*data);
            *failedRead = true;
            const std::string member = stringByConvertingJavaIdentifierToPath(className) + ".class";
            reportUnusable(found, store.name() + ": " + member, memberFailure(logged, className));
        }
    } while (addNextPendingEntry(found));
    return nullptr;
}

}  // namespace ornith::tool
