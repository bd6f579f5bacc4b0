#include "ornith/model/VQJavaConstructor.h"

#include <algorithm>

#include "ornith/classfile/VQPathUtilities.h"

namespace ornith {

const VQJavaType* VQJavaConstructor::returnType() const {
    if (!_returnType) {
        // "L", the name with '/' for '.', ";": written straight into the storage.
        const std::string_view dotted = name();
        char* text = static_cast<char*>(storage().allocate(dotted.size() + 2, 1));
        text[0] = 'L';
        std::replace_copy(dotted.begin(), dotted.end(), text + 1, '.', '/');
        text[dotted.size() + 1] = ';';
        _returnType =
            storage().make<VQJavaType>(storage(), std::string_view(text, dotted.size() + 2));
    }
    return _returnType;
}

void VQJavaConstructor::appendDescription(std::string& out) const {
    appendModifiers(out);
    // What returnType() would render, without making it: the name up to any ';' (where
    // the descriptor made from it would end), with '/' as '.'.
    const std::string_view dotted = name();
    appendDottedName(dotted.substr(0, dotted.find(';')), out);
    out.push_back('(');
    appendArgumentsAndThrows(out);
}

}  // namespace ornith
