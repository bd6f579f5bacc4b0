#include "ornith/model/VQJavapText.h"

#include <algorithm>

#include "ornith/base/VQText.h"

namespace ornith {

namespace {

constexpr uint32_t kAccessVarargs = 0x0080;
constexpr uint32_t kAccessStrict = 0x0800;

// javap's line writer: spaces are held back and written only before the next visible
// character, so a line never ends in spaces; a '\n' in printed text starts a new line;
// every line starts with two spaces per level of indentation.
class LineWriter {
public:
    LineWriter(std::string& out, void (*filter)(std::string_view, std::string&))
        : _out(out), _filter(filter) {}

    void print(std::string_view text) {
        if (_filter) {
            _filtered.clear();
            _filter(text, _filtered);
            text = _filtered;
        }
        for (char c : text) {
            if (c == ' ') {
                ++_pendingSpaces;
            } else if (c == '\n') {
                println();
            } else {
                if (_line.empty()) _pendingSpaces += _indent * 2;
                _line.append(_pendingSpaces, ' ');
                _pendingSpaces = 0;
                _line.push_back(c);
            }
        }
    }
    void println(std::string_view text) {
        print(text);
        println();
    }
    void println() {
        _pendingSpaces = 0;
        _out.append(_line);
        _out.push_back('\n');
        _line.clear();
    }
    void indent(int delta) { _indent = static_cast<size_t>(static_cast<int>(_indent) + delta); }

private:
    std::string& _out;
    void (*_filter)(std::string_view, std::string&);
    std::string _filtered;
    std::string _line;
    size_t _pendingSpaces = 0;
    size_t _indent = 0;
};

void appendQuoted(std::string_view utf8, char quote, std::string& out) {
    out.push_back(quote);
    VQAppendEscapedText(utf8, out, VQEscapeStyle::javaLiteral, quote);
    out.push_back(quote);
}

// javap's default shows all but private members; -p shows them all.
bool shown(uint32_t flags, const VQJavapOptions& options) {
    return options.showPrivate || !(flags & kVQAccessPrivate);
}

void printModifiers(LineWriter& w, uint32_t flags, bool isMethod) {
    struct Word {
        uint32_t bit;
        const char* text;
        bool field;
        bool method;
    };
    // In the order of the JDK's access-flag enumeration, which javap follows.
    static constexpr Word kWords[] = {
        {kVQAccessPublic, "public", true, true},
        {kVQAccessPrivate, "private", true, true},
        {kVQAccessProtected, "protected", true, true},
        {kVQAccessStatic, "static", true, true},
        {kVQAccessFinal, "final", true, true},
        {kVQAccessSynchronized, "synchronized", false, true},
        {kVQAccessVolatile, "volatile", true, false},
        {kVQAccessTransient, "transient", true, false},
        {kVQAccessNative, "native", false, true},
        {kVQAccessAbstract, "abstract", false, true},
        {kAccessStrict, "strictfp", false, true},
    };
    for (const Word& word : kWords) {
        if (!(flags & word.bit) || !(isMethod ? word.method : word.field)) continue;
        w.print(word.text);
        w.print(" ");
    }
}

void appendDotted(std::string_view text, std::string& out) {
    for (char c : text) out.push_back(c == '/' ? '.' : c);
}

void printField(LineWriter& w, const VQJavaField& field, const VQJavapOptions& options) {
    if (!shown(field.accessMask(), options)) return;
    printModifiers(w, field.accessMask(), false);
    w.print(field.genericTypeText());
    w.print(" ");
    w.print(field.name());
    if (options.showConstants) {
        if (const VQConstantValue* value = field.initialValue()) {
            w.print(" = ");
            std::string text;
            const auto& v = value->value();
            if (const auto* i = std::get_if<int32_t>(&v)) {
                if (field.signature() == "C") {
                    text.push_back('\'');
                    VQAppendEscapedUnit(static_cast<uint32_t>(*i) & 0xFFFF, '\'', text);
                    text.push_back('\'');
                } else if (field.signature() == "Z")
                    text = *i == 1 ? "true" : "false";
                else
                    text = std::to_string(*i);
            } else if (const auto* s = std::get_if<std::string>(&v)) {
                appendQuoted(*s, '"', text);
            } else if (const auto* l = std::get_if<int64_t>(&v)) {
                text = std::to_string(*l) + "l";
            } else if (const auto* f = std::get_if<float>(&v)) {
                text = VQJavaFloatText(*f) + "f";
            } else if (const auto* d = std::get_if<double>(&v)) {
                text = VQJavaDoubleText(*d) + "d";
            }
            w.print(text);
        }
    }
    w.println(";");
}

std::string typeListText(const std::vector<VQSignatureType>& types) {
    std::string out = "(";
    for (size_t i = 0; i < types.size(); ++i) {
        if (i) out.append(", ");
        types[i].appendJavaText(out);
    }
    out.push_back(')');
    return out;
}

void printMethod(LineWriter& w, const VQJavaClass& javaClass, const VQJavaMethod& method,
                 bool isConstructor, const VQJavapOptions& options) {
    const uint32_t flags = method.accessMask();
    if (!shown(flags, options)) return;
    const bool isInitializer = isConstructor && method.isStatic();
    printModifiers(w, flags, true);
    if (javaClass.isInterface() && !(flags & kVQAccessAbstract) && !isInitializer &&
        !(flags & (kVQAccessStatic | kVQAccessPrivate)))
        w.print("default ");

    std::optional<VQMethodSignature> signature = method.methodSignature();
    if (!signature) {
        // Neither the signature nor the descriptor parses: the model's own text stands.
        std::string text;
        method.appendDescription(text);
        w.println(text + ";");
        return;
    }
    if (!signature->typeParameters.empty()) {
        w.print(VQTypeParametersText(signature->typeParameters));
        w.print(" ");
    }
    if (isInitializer) {
        w.print("{}");
    } else {
        std::string parameters;
        appendDotted(typeListText(signature->parameters), parameters);
        if (flags & kAccessVarargs) {
            // javap marks the last "[]" of the whole list, wherever it stands.
            const size_t at = parameters.rfind("[]");
            if (at != std::string::npos && at > 0) parameters.replace(at, 2, "...");
        }
        if (isConstructor) {
            w.print(javaClass.className().value_or(""));
        } else {
            std::string result;
            appendDotted(signature->result.javaText(), result);
            w.print(result);
            w.print(" ");
            w.print(method.name());
        }
        w.print(parameters);
    }
    if (const std::vector<std::string>* names = method.exceptions()) {
        w.print(" throws ");
        std::string text;
        if (!signature->exceptions.empty()) {
            for (size_t i = 0; i < signature->exceptions.size(); ++i) {
                if (i) text.append(", ");
                signature->exceptions[i].appendJavaText(text);
            }
        } else {
            for (size_t i = 0; i < names->size(); ++i) {
                if (i) text.append(", ");
                text.append((*names)[i]);
            }
        }
        w.print(text);
    }
    w.println(";");
}

void printPackageDirectives(LineWriter& w, const char* keyword,
                            const std::vector<VQModulePackageDirective>& directives) {
    for (const VQModulePackageDirective& directive : directives) {
        w.print(keyword);
        w.print(" ");
        w.print(directive.package);
        bool first = true;
        for (const std::string& target : directive.to) {
            if (first) {
                w.println(" to");
                w.indent(+1);
                first = false;
            } else {
                w.println(",");
            }
            w.print(target);
        }
        w.println(";");
        if (!first) w.indent(-1);
    }
}

void printDirectives(LineWriter& w, const VQJavaModuleAttribute& module) {
    for (const VQModuleRequires& entry : module.requiresDirectives()) {
        w.print("requires");
        if (entry.flags & kVQRequiresStaticPhase) w.print(" static");
        if (entry.flags & kVQRequiresTransitive) w.print(" transitive");
        w.print(" ");
        w.print(entry.module);
        w.println(";");
    }
    printPackageDirectives(w, "exports", module.exports());
    printPackageDirectives(w, "opens", module.opens());
    for (const std::string& service : module.uses()) {
        w.print("uses ");
        w.print(service);
        w.println(";");
    }
    for (const VQModuleProvides& provides : module.provides()) {
        w.print("provides  ");
        w.print(provides.service);
        bool first = true;
        for (const std::string& implementation : provides.with) {
            if (first) {
                w.println(" with");
                w.indent(+1);
                first = false;
            } else {
                w.println(",");
            }
            w.print(implementation);
        }
        w.println(";");
        if (!first) w.indent(-1);
    }
}

void printHeader(LineWriter& w, const VQJavaClass& javaClass) {
    const uint32_t flags = javaClass.accessFlags();
    if (flags & kVQAccessPublic) w.print("public ");
    if (flags & kVQAccessFinal) w.print("final ");
    if ((flags & kVQAccessAbstract) && !javaClass.isInterface()) w.print("abstract ");

    const std::string name(javaClass.className().value_or(std::string_view()));
    if (javaClass.isModule()) {
        if (const VQJavaModuleAttribute* module = javaClass.moduleDescriptor()) {
            if (module->isOpen()) w.print("open ");
            w.print("module ");
            w.print(module->moduleName());
            if (module->version()) {
                w.print("@");
                w.print(*module->version());
            }
            return;
        }
        w.print("class ");
        w.print(name);
        return;
    }
    w.print(javaClass.isInterface() ? "interface " : "class ");
    if (javaClass.classSignature()) {
        // The model's generic text is javap's own choice of extends and implements.
        w.print(javaClass.genericText());
        return;
    }
    w.print(name);
    // Without a signature javap joins the interfaces with a bare comma.
    if (!javaClass.isInterface() && javaClass.superclassName() &&
        *javaClass.superclassName() != "java.lang.Object") {
        w.print(" extends ");
        w.print(*javaClass.superclassName());
    }
    if (const auto& interfaces = javaClass.interfaces()) {
        for (size_t i = 0; i < interfaces->size(); ++i) {
            w.print(i ? "," : javaClass.isInterface() ? " extends " : " implements ");
            w.print((*interfaces)[i]);
        }
    }
}

}  // namespace

std::string VQJavapQuotedString(std::string_view utf8) {
    std::string out;
    appendQuoted(utf8, '"', out);
    return out;
}

std::string VQJavapText(const VQJavaClass& javaClass, const VQJavapOptions& options) {
    std::string out;
    LineWriter w(out, options.filter);
    if (const std::string* source = javaClass.sourceFile())
        w.println("Compiled from \"" + *source + "\"");
    printHeader(w, javaClass);
    w.print(" ");
    w.println("{");
    w.indent(+1);
    if (javaClass.isModule())
        if (const VQJavaModuleAttribute* module = javaClass.moduleDescriptor())
            printDirectives(w, *module);
    if (const auto& fields = javaClass.fields())
        for (const auto& field : *fields) printField(w, *field, options);

    // Methods and constructors are kept apart by the model; javap lists them in file order.
    struct Entry {
        const VQJavaMethod* method;
        bool isConstructor;
    };
    std::vector<Entry> entries;
    if (const auto& methods = javaClass.methods())
        for (const auto& method : *methods) entries.push_back({method.get(), false});
    if (const auto& constructors = javaClass.constructors())
        for (const auto& constructor : *constructors) entries.push_back({constructor.get(), true});
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.method->tablePosition() < b.method->tablePosition();
    });
    for (const Entry& entry : entries)
        printMethod(w, javaClass, *entry.method, entry.isConstructor, options);
    w.indent(-1);
    w.println("}");
    return out;
}

}  // namespace ornith
