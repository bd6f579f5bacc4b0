// The generic-signature parsers over arbitrary text, read as a class, a method and a field
// signature. A tree that is made must render, and a field tree must survive a round trip
// through the method parser as the sole parameter of "(...)V".

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
    if (auto parsed = VQParseMethodSignature(text)) {
        (void)VQTypeParametersText(parsed->typeParameters);
        for (const auto& type : parsed->parameters) (void)type.javaText();
        for (const auto& type : parsed->exceptions)
            ORNITH_FUZZ_CHECK(type.kind != VQSignatureType::Kind::array);
        (void)parsed->result.javaText();
    }
    if (auto type = VQParseTypeSignature(text)) {
        const std::string rendered = type->javaText();
        ORNITH_FUZZ_CHECK(!rendered.empty());
        auto method = VQParseMethodSignature("(" + std::string(text) + ")V");
        ORNITH_FUZZ_CHECK(method && method->parameters.size() == 1 &&
                          method->parameters[0].javaText() == rendered);
    }
    return 0;
}
