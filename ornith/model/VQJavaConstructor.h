#pragma once
// An instance constructor or the static initializer, named with the class's dotted name.

#include "ornith/model/VQJavaMethod.h"

namespace ornith {

class VQJavaConstructor : public VQJavaMethod {
public:
    using VQJavaMethod::VQJavaMethod;

    // True for the static initializer, which carries the static flag.
    bool isClassConstructor() const noexcept { return isStatic(); }

    // The class the constructor makes (Lp/Point; for p.Point); never null.
    const VQJavaType* returnType() const override;

    // As a method, with the class name in place of result and name: "public p.Point(int)".
    void appendDescription(std::string& out) const override;
};

}  // namespace ornith
