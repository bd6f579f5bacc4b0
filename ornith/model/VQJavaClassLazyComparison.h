#pragma once
// Reads one class file eagerly and with lazy attributes, and checks that the two agree as
// VQJavaClass.h says they must: for the sweeps over damaged class files. Not installed;
// tests only.
//
//   - eager reads it: the lazy factory reads it, every list decodes, and every answer
//     (the description, each element's attributes by kind, the attribute questions) is
//     the same;
//   - eager refuses it: either the lazy factory refuses it, with the same failure or
//     with one that the walk itself raises before any attribute is looked at (a file
//     with several faults), or it reads it and decoding the lists in file order raises
//     exactly the eager failure, offset included.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQClassFileParsing.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/testing/AttributeQuestions.h"

namespace ornith::testing {

struct ParseFailure {
    std::string name;
    std::string reason;
    VQErrorKind kind;
    std::optional<uint64_t> offset;

    explicit ParseFailure(const VQException& e)
        : name(e.name()), reason(e.reason()), kind(e.kind()), offset(e.offset()) {}
    bool operator==(const ParseFailure&) const = default;
    std::string text() const {
        return name + ": " + reason + " (" + VQErrorKindName(kind) + ") at " +
               (offset ? std::to_string(*offset) : std::string("-"));
    }
};

// Every member and the class, in the order the eager parse decodes their lists: fields,
// then the method table (methods and constructors by position), then the class.
inline std::vector<const VQAttributedElement*> elementsInFileOrder(const VQJavaClass& c) {
    std::vector<const VQAttributedElement*> out;
    if (c.fields())
        for (const VQJavaField* field : c.fields()->items()) out.push_back(field);
    std::vector<const VQJavaMember*> table;
    if (c.methods())
        for (const VQJavaMethod* method : c.methods()->items()) table.push_back(method);
    if (c.constructors())
        for (const VQJavaConstructor* constructor : c.constructors()->items())
            table.push_back(constructor);
    std::sort(table.begin(), table.end(), [](const VQJavaMember* a, const VQJavaMember* b) {
        return a->tablePosition() < b->tablePosition();
    });
    out.insert(out.end(), table.begin(), table.end());
    out.push_back(&c);
    return out;
}

// What a class answers, as text: its description, then each element's attribute kinds,
// and with `questions` the count of askAttributeQuestions.
inline std::string answersOf(const VQJavaClass& c, bool questions) {
    std::string out = c.description();
    for (const VQAttributedElement* element : elementsInFileOrder(c)) {
        out.append("\n[");
        if (const auto list = element->attributes())
            for (const auto& attribute : *list)
                out.append(attribute ? attribute->typeName() : std::string("null")).append(",");
        out.append("]");
    }
    if (questions) out.append("\n").append(std::to_string(askAttributeQuestions(c)));
    return out;
}

// The walk with every member and no attribute: what a parse raises before any attribute
// is decoded.
struct MembersOnly {
    void setClassAccess(int32_t) {}
    void setClassName(std::string) {}
    void setSuperClassName(std::optional<std::string>) {}
    void addInterfaceName(std::string) {}
    void addFieldName(std::string, std::string, int32_t) {}
    void addMethodName(std::string, std::string, int32_t) {}
    void addConstructorName(std::string, std::string, int32_t) {}
};

// Checks the rules above. `eager` is what the eager factory did: a class, or its failure.
// With `questions`, the answers compared include every attribute question's.
inline void expectLazyAgrees(std::span<const uint8_t> bytes,
                             const std::shared_ptr<VQJavaClass>& eager,
                             const std::optional<ParseFailure>& eagerFailure,
                             bool questions = false) {
    VQClassOptions options;
    options.lazyAttributes = true;
    std::shared_ptr<VQJavaClass> lazy;
    try {
        lazy = VQJavaClass::classWithData(VQByteBuffer::bufferWithBytes(bytes.data(), bytes.size()),
                                          options);
    } catch (const VQException& e) {
        const ParseFailure failure(e);
        ASSERT_TRUE(eagerFailure) << "lazily refused what is read eagerly: " << failure.text();
        if (failure == *eagerFailure) return;
        // Another fault of the file, found by the walk before the attribute that the eager
        // parse stopped at.
        try {
            MembersOnly walk;
            VQParseClassFile(bytes, walk);
            ADD_FAILURE() << "lazily refused with " << failure.text() << ", eagerly with "
                          << eagerFailure->text() << ", and the walk alone accepts it";
        } catch (const VQException& w) {
            EXPECT_EQ(ParseFailure(w).reason, failure.reason) << eagerFailure->text();
            EXPECT_NE(failure.kind, VQErrorKind::malformedAttribute);
        }
        return;
    }
    ASSERT_TRUE(lazy);
    try {
        for (const VQAttributedElement* element : elementsInFileOrder(*lazy))
            (void)element->attributes();
    } catch (const VQException& e) {
        ASSERT_TRUE(eagerFailure) << "a list of a class read eagerly fails lazily: "
                                  << ParseFailure(e).text();
        EXPECT_EQ(ParseFailure(e).text(), eagerFailure->text());
        return;
    }
    ASSERT_FALSE(eagerFailure) << "read lazily, every list decodes, but eagerly: "
                               << eagerFailure->text();
    ASSERT_TRUE(eager);
    EXPECT_EQ(answersOf(*lazy, questions), answersOf(*eager, questions));
}

}  // namespace ornith::testing
