#include "ornith/model/VQJavaSignature.h"

#include "ornith/model/VQBaseTypeText.h"

namespace ornith {

namespace {

// A reference type's nesting, counted for as long as it is being read.
class Nesting {
public:
    explicit Nesting(uint32_t& depth) noexcept : _depth(depth) { ++_depth; }
    ~Nesting() { --_depth; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;
    bool tooDeep() const noexcept { return _depth > kVQMaxSignatureDepth; }

private:
    uint32_t& _depth;
};

// A recursive-descent reader over the text. Every step either consumes at least one
// character or fails, and a failure ends the parse, so the work is linear in the text.
class SignatureReader {
public:
    explicit SignatureReader(std::string_view text) : _text(text) {}

    bool atEnd() const noexcept { return _at >= _text.size(); }
    bool match(char c) noexcept {
        if (_at < _text.size() && _text[_at] == c) {
            ++_at;
            return true;
        }
        return false;
    }
    char peek() const noexcept { return _at < _text.size() ? _text[_at] : '\0'; }
    size_t position() const noexcept { return _at; }
    void skip() noexcept { ++_at; }

    // Identifiers run to the next character that has a meaning in a signature.
    bool identifier(std::string& out) {
        const size_t start = _at;
        while (_at < _text.size()) {
            const char c = _text[_at];
            if (c == '.' || c == ';' || c == '[' || c == '/' || c == '<' || c == '>' || c == ':')
                break;
            ++_at;
        }
        if (_at == start) return false;
        out.append(_text.substr(start, _at - start));
        return true;
    }

    bool typeParameters(std::vector<VQTypeParameter>& out) {
        if (!match('<')) return true;
        do {  // "<>" is not a list
            VQTypeParameter parameter;
            if (!identifier(parameter.name) || !match(':')) return false;
            if (peek() != ':') {
                VQSignatureType bound;
                if (!referenceType(bound)) return false;
                parameter.classBound = std::move(bound);
            }
            while (match(':')) {
                if (!referenceType(parameter.interfaceBounds.emplace_back())) return false;
            }
            out.push_back(std::move(parameter));
        } while (!match('>'));
        return true;
    }

    bool type(VQSignatureType& out) {
        // The nine base-type letters are the ones with a text of their own.
        if (VQBaseTypeText(peek()).empty()) return referenceType(out);
        out.kind = VQSignatureType::Kind::base;
        out.baseType = _text[_at++];
        return true;
    }

    bool referenceType(VQSignatureType& out) {
        const Nesting nesting(_depth);
        if (nesting.tooDeep()) return false;
        switch (peek()) {
            case 'L':
                return classType(out);
            case 'T':
                ++_at;
                out.kind = VQSignatureType::Kind::typeVariable;
                return identifier(out.variable) && match(';');
            case '[':
                ++_at;
                out.kind = VQSignatureType::Kind::array;
                return type(out.component.emplace_back());
            default:
                return false;
        }
    }

    bool classType(VQSignatureType& out) {
        if (!match('L')) return false;
        out.kind = VQSignatureType::Kind::classType;
        for (;;) {
            VQClassTypeSegment& segment = out.segments.emplace_back();
            if (!identifier(segment.name)) return false;
            if (out.segments.size() == 1) {
                while (match('/')) {
                    segment.name.push_back('/');
                    if (!identifier(segment.name)) return false;
                }
            }
            if (match('<')) {
                do {
                    if (!typeArgument(segment.arguments.emplace_back())) return false;
                } while (!match('>'));
            }
            if (match(';')) return true;
            if (!match('.')) return false;
        }
    }

    bool typeArgument(VQTypeArgument& out) {
        if (match('*')) {
            out.kind = VQTypeArgument::Kind::unbounded;
            return true;
        }
        if (match('+'))
            out.kind = VQTypeArgument::Kind::extends;
        else if (match('-'))
            out.kind = VQTypeArgument::Kind::super;
        return referenceType(out.bound.emplace_back());
    }

private:
    std::string_view _text;
    size_t _at = 0;
    uint32_t _depth = 0;
};

// The reader's grammar again, writing the Java text as it goes where the reader builds a
// tree: every rule accepts what the reader's accepts and fails where it fails, and the
// text is what appendJavaText makes of the reader's tree.
class SignatureTextWriter {
public:
    explicit SignatureTextWriter(std::string_view text) : _reader(text), _text(text) {}

    bool atEnd() const noexcept { return _reader.atEnd(); }
    bool match(char c) noexcept { return _reader.match(c); }
    char peek() const noexcept { return _reader.peek(); }

    bool typeParameters(bool objectBounds, std::string& out) {
        if (!match('<')) return true;
        out.push_back('<');
        bool first = true;
        do {
            if (!first) out.append(", ");
            first = false;
            if (!_reader.identifier(out) || !match(':')) return false;
            const char* separator = " extends ";
            if (peek() != ':') {
                const size_t mark = out.size();
                const size_t at = _reader.position();
                out.append(separator);
                if (!referenceType(out)) return false;
                // An Object bound is left unsaid: that is the one text that reads as it.
                if (!objectBounds && _text.substr(at, _reader.position() - at) == kObject)
                    out.resize(mark);
                else
                    separator = " & ";
            }
            while (match(':')) {
                out.append(separator);
                separator = " & ";
                if (!referenceType(out)) return false;
            }
        } while (!match('>'));
        out.push_back('>');
        return true;
    }

    bool type(std::string& out) {
        const std::string_view base = VQBaseTypeText(peek());
        if (base.empty()) return referenceType(out);
        _reader.skip();
        out.append(base);
        return true;
    }

    bool referenceType(std::string& out) {
        const Nesting nesting(_depth);
        if (nesting.tooDeep()) return false;
        switch (peek()) {
            case 'L':
                return classType(out);
            case 'T':
                _reader.skip();
                return _reader.identifier(out) && match(';');
            case '[':
                _reader.skip();
                if (!type(out)) return false;
                out.append("[]");
                return true;
            default:
                return false;
        }
    }

    bool classType(std::string& out) {
        if (!match('L')) return false;
        for (bool first = true;; first = false) {
            if (!_reader.identifier(out)) return false;
            if (first) {
                while (match('/')) {
                    out.push_back('.');
                    if (!_reader.identifier(out)) return false;
                }
            }
            if (match('<')) {
                out.push_back('<');
                bool firstArgument = true;
                do {  // "<>" is not a list
                    if (!firstArgument) out.append(", ");
                    firstArgument = false;
                    if (!typeArgument(out)) return false;
                } while (!match('>'));
                out.push_back('>');
            }
            if (match(';')) return true;
            if (!match('.')) return false;
            out.push_back('.');
        }
    }

    bool typeArgument(std::string& out) {
        if (match('*')) {
            out.push_back('?');
            return true;
        }
        if (match('+'))
            out.append("? extends ");
        else if (match('-'))
            out.append("? super ");
        return referenceType(out);
    }

private:
    static constexpr std::string_view kObject = "Ljava/lang/Object;";
    SignatureReader _reader;  // for its character steps
    std::string_view _text;
    uint32_t _depth = 0;
};

void appendDotted(std::string_view binaryName, std::string& out) {
    for (char c : binaryName) out.push_back(c == '/' ? '.' : c);
}

void appendArgument(const VQTypeArgument& argument, std::string& out) {
    switch (argument.kind) {
        case VQTypeArgument::Kind::unbounded:
            out.push_back('?');
            return;
        case VQTypeArgument::Kind::extends:
            out.append("? extends ");
            break;
        case VQTypeArgument::Kind::super:
            out.append("? super ");
            break;
        case VQTypeArgument::Kind::exact:
            break;
    }
    if (!argument.bound.empty()) argument.bound.front().appendJavaText(out);
}

}  // namespace

void VQSignatureType::appendJavaText(std::string& out) const {
    switch (kind) {
        case Kind::base:
            // A tree made by hand may hold any letter; the parser makes only base types.
            if (const std::string_view text = VQBaseTypeText(baseType); !text.empty())
                out.append(text);
            else
                out.append("void");
            return;
        case Kind::typeVariable:
            out.append(variable);
            return;
        case Kind::array:
            if (!component.empty()) component.front().appendJavaText(out);
            out.append("[]");
            return;
        case Kind::classType:
            for (size_t i = 0; i < segments.size(); ++i) {
                if (i) out.push_back('.');
                appendDotted(segments[i].name, out);
                const auto& arguments = segments[i].arguments;
                if (arguments.empty()) continue;
                out.push_back('<');
                for (size_t a = 0; a < arguments.size(); ++a) {
                    if (a) out.append(", ");
                    appendArgument(arguments[a], out);
                }
                out.push_back('>');
            }
            return;
    }
}

std::string VQSignatureType::javaText() const {
    std::string out;
    appendJavaText(out);
    return out;
}

bool VQSignatureType::isObject() const noexcept {
    return kind == Kind::classType && segments.size() == 1 &&
           segments[0].name == "java/lang/Object" && segments[0].arguments.empty();
}

std::optional<VQClassSignature> VQParseClassSignature(std::string_view text) {
    SignatureReader reader(text);
    VQClassSignature signature;
    if (!reader.typeParameters(signature.typeParameters)) return std::nullopt;
    if (!reader.classType(signature.superclass)) return std::nullopt;
    while (!reader.atEnd())
        if (!reader.classType(signature.interfaces.emplace_back())) return std::nullopt;
    return signature;
}

std::optional<VQMethodSignature> VQParseMethodSignature(std::string_view text) {
    SignatureReader reader(text);
    VQMethodSignature signature;
    if (!reader.typeParameters(signature.typeParameters)) return std::nullopt;
    if (!reader.match('(')) return std::nullopt;
    while (!reader.match(')'))
        if (!reader.type(signature.parameters.emplace_back())) return std::nullopt;
    if (!reader.type(signature.result)) return std::nullopt;
    while (!reader.atEnd()) {
        if (!reader.match('^')) return std::nullopt;
        // A thrown type is a class type or a type variable, never an array.
        if (reader.peek() == '[') return std::nullopt;
        if (!reader.referenceType(signature.exceptions.emplace_back())) return std::nullopt;
    }
    return signature;
}

bool VQMethodSignatureTextOf(std::string_view text, bool objectBounds, VQMethodSignatureText& out) {
    SignatureTextWriter writer(text);
    out.typeParameters.clear();
    out.parameters.clear();
    out.result.clear();
    out.exceptions.clear();
    if (!writer.typeParameters(objectBounds, out.typeParameters)) return false;
    if (!writer.match('(')) return false;
    out.parameters.push_back('(');
    for (bool first = true; !writer.match(')'); first = false) {
        if (!first) out.parameters.append(", ");
        if (!writer.type(out.parameters)) return false;
    }
    out.parameters.push_back(')');
    if (!writer.type(out.result)) return false;
    for (bool first = true; !writer.atEnd(); first = false) {
        if (!writer.match('^') || writer.peek() == '[') return false;
        if (!first) out.exceptions.append(", ");
        if (!writer.referenceType(out.exceptions)) return false;
    }
    return true;
}

bool VQAppendTypeSignatureText(std::string_view text, std::string& out) {
    SignatureTextWriter writer(text);
    return writer.type(out) && writer.atEnd();
}

std::optional<VQSignatureType> VQParseTypeSignature(std::string_view text) {
    SignatureReader reader(text);
    VQSignatureType type;
    if (!reader.type(type) || !reader.atEnd()) return std::nullopt;
    return type;
}

void VQAppendTypeParametersText(const std::vector<VQTypeParameter>& parameters, std::string& out) {
    if (parameters.empty()) return;
    out.push_back('<');
    for (size_t i = 0; i < parameters.size(); ++i) {
        const VQTypeParameter& parameter = parameters[i];
        if (i) out.append(", ");
        out.append(parameter.name);
        const char* separator = " extends ";
        if (parameter.classBound && !parameter.classBound->isObject()) {
            out.append(separator);
            parameter.classBound->appendJavaText(out);
            separator = " & ";
        }
        for (const VQSignatureType& bound : parameter.interfaceBounds) {
            out.append(separator);
            bound.appendJavaText(out);
            separator = " & ";
        }
    }
    out.push_back('>');
}

std::string VQTypeParametersText(const std::vector<VQTypeParameter>& parameters) {
    std::string out;
    VQAppendTypeParametersText(parameters, out);
    return out;
}

}  // namespace ornith
