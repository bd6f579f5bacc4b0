// The generic-signature parsers over arbitrary text, read as a class, a method and a field
// signature. A tree that is made must render, and a field tree must survive a round trip
// through the method parser as the sole parameter of "(...)V". A method signature read
// straight into text must give the tree's text, and fail exactly where the tree fails.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "ornith/model/VQJavaSignature.h"

using namespace ornith;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto parsed = VQParseClassSignature(text)) {
        (void)VQTypeParametersText(parsed->typeParameters);
        (void)parsed->superclass.javaText();
        for (const auto& type : parsed->interfaces) (void)type.javaText();
    }
    // Read into text with no tree, a method signature gives the tree's text or, exactly
    // when the tree is not made, nothing.
    VQMethodSignatureText direct;
    const bool read = VQMethodSignatureTextOf(text, false, direct);
    auto parsedMethod = VQParseMethodSignature(text);
    ORNITH_FUZZ_CHECK(read == parsedMethod.has_value());
    if (parsedMethod) {
        ORNITH_FUZZ_CHECK(direct.typeParameters ==
                          VQTypeParametersText(parsedMethod->typeParameters));
        std::string parameters = "(";
        for (size_t i = 0; i < parsedMethod->parameters.size(); ++i)
            parameters += (i ? ", " : "") + parsedMethod->parameters[i].javaText();
        ORNITH_FUZZ_CHECK(direct.parameters == parameters + ")");
        ORNITH_FUZZ_CHECK(direct.result == parsedMethod->result.javaText());
        std::string exceptions;
        for (size_t i = 0; i < parsedMethod->exceptions.size(); ++i)
            exceptions += (i ? ", " : "") + parsedMethod->exceptions[i].javaText();
        ORNITH_FUZZ_CHECK(direct.exceptions == exceptions);
        ORNITH_FUZZ_CHECK(VQMethodSignatureTextOf(text, true, direct));
        for (const auto& type : parsedMethod->exceptions)
            ORNITH_FUZZ_CHECK(type.kind != VQSignatureType::Kind::array);
    }
    std::string typeText;
    const bool typeRead = VQAppendTypeSignatureText(text, typeText);
    auto type = VQParseTypeSignature(text);
    ORNITH_FUZZ_CHECK(typeRead == type.has_value());
    if (type) {
        const std::string rendered = type->javaText();
        ORNITH_FUZZ_CHECK(typeText == rendered);
        ORNITH_FUZZ_CHECK(!rendered.empty());
        auto method = VQParseMethodSignature("(" + std::string(text) + ")V");
        ORNITH_FUZZ_CHECK(method && method->parameters.size() == 1 &&
                          method->parameters[0].javaText() == rendered);
    }
    return 0;
}
