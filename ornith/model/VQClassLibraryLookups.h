#pragma once
// How a class reaches the library that made it.
//
// A class answers superclass() and package() by asking its class library, but the class
// model is built and tested on its own, without the library's code. So the model calls
// the library through these two entry points, which the library installs when its first
// object is made. A class can hold a library only after a library exists, so the entry
// points are always in place by the time a class with a library needs them; a class
// without one never looks at them.

#include <atomic>
#include <memory>
#include <string>

namespace ornith {

class VQClassLibrary;
class VQJavaClass;
class VQJavaPackage;

struct VQClassLibraryLookups {
    std::shared_ptr<VQJavaClass> (*classWithName)(VQClassLibrary& library,
                                                  const std::string& className);
    std::shared_ptr<VQJavaPackage> (*packageWithName)(VQClassLibrary& library,
                                                      const std::string& packageName);
};

// Null until the first class library is made; afterwards the library's own lookups.
inline std::atomic<const VQClassLibraryLookups*> _VQClassLibraryLookups{nullptr};

}  // namespace ornith
