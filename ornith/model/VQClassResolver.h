#pragma once
// What a class asks of the library that made it: the classes and packages named by the
// class's own superclass and package.
//
// The class model is built and tested without the library's code, so it knows the
// library only as this interface, which VQClassLibrary implements. A class that holds a
// library asks it through here; a class without one never does.

#include <memory>
#include <optional>
#include <string_view>

namespace ornith {

class VQJavaClass;
class VQJavaPackage;

class VQClassResolver {
public:
    virtual ~VQClassResolver() = default;

    // A new class parsed from the bytes the resolver finds for the dotted name, knowing
    // its resolver; null when there are none.
    virtual std::shared_ptr<VQJavaClass> classWithName(std::string_view className) = 0;
    // The package of the dotted name; an absent or empty name is the root package. Null
    // when the resolver holds no such package.
    virtual std::shared_ptr<VQJavaPackage> packageWithName(
        std::optional<std::string_view> packageName) = 0;

protected:
    VQClassResolver() = default;
    VQClassResolver(const VQClassResolver&) = default;
    VQClassResolver& operator=(const VQClassResolver&) = default;
};

}  // namespace ornith
