// `ornith check CLASSPATH...`: the health of a class path. It finds
//   - duplicate classes: a class in more than one entry, with the entry that wins (the
//     first, as java loads it) and whether each later copy has the same bytes;
//   - split packages: a package in more than one entry, or in an entry and a platform
//     module;
//   - missing classes: referenced by a class that the path loads but in no entry and
//     not on the platform, with the classes that reference them;
//   - missing members: fields and methods that a loaded class references in a class that
//     is found, but that resolve, as the JVM resolves them, to nothing in that class's
//     hierarchy, and references of the wrong kind (getstatic of an instance field, a
//     static call of an instance method, an interface's method through a class's
//     reference).
// Entries are followed as java follows them (manifest Class-Path, DIR/*), each archive
// once. The status is 1 when anything is found or an entry cannot be read, else 0.

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ToolArchiveOptions.h"
#include "ToolClassPath.h"
#include "ToolCommand.h"
#include "ToolDeps.h"
#include "ToolOptions.h"
#include "ToolReport.h"
#include "ornith/classfile/VQClassFileLayout.h"
#include "ornith/classfile/VQCodeAttribute.h"
#include "ornith/classfile/VQConstantPoolEntries.h"
#include "ornith/classfile/VQInstructions.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/library/VQDependencies.h"
#include "ornith/stores/VQClassStore.h"
#include "ornith/stores/VQRuntimeImageStore.h"

namespace ornith::tool {

namespace {

enum class Finding { duplicates, split, missing, members };

// What resolving a member needs of a class: its flags, its supertypes and its own fields
// and methods (by name and descriptor) with their flags.
struct ClassShape {
    uint16_t access = 0;
    std::optional<std::string> superName;               // dotted
    std::vector<std::string> interfaces;                // dotted
    std::unordered_map<std::string, uint16_t> fields;   // NAME:DESCRIPTOR
    std::unordered_map<std::string, uint16_t> methods;  // NAME(DESCRIPTOR
    // Methods by name alone, where they are signature polymorphic (native varargs of
    // MethodHandle and VarHandle): those are found by name, whatever the descriptor.
    std::unordered_map<std::string, uint16_t> polymorphic;
};

// The outcome of resolving one member reference.
struct Resolution {
    bool found = false;
    bool unknown = false;  // a class of the hierarchy is missing or unreadable
    uint16_t access = 0;
};

constexpr uint16_t kAccessPrivate = 0x0002, kAccessStatic = 0x0008, kAccessVarargs = 0x0080,
                   kAccessNative = 0x0100, kAccessInterface = 0x0200;
// Deeper hierarchies than this are taken for loops (a class that is its own super class).
constexpr int kMaxHierarchyDepth = 256;

// A member reference as the pool and the instructions that use it give it.
struct MemberUse {
    int tag = 0;                   // Fieldref, Methodref or InterfaceMethodref
    std::string owner;             // dotted
    std::string name, descriptor;  // as in the file
    uint32_t opcodes = 0;          // bit per kind of instruction seen: see kUse*
};
enum : uint32_t { kUseGetStatic = 1, kUseGetField = 2, kUseStatic = 4, kUseInstance = 8 };

struct CheckOptions {
    std::vector<std::string> paths;
    std::optional<std::string> system;
    std::vector<std::string> ignore;
    std::vector<std::string> only;
    std::string format = "text";
    ClassPathOptions jobs;  // for -j alone
};

struct Copy {
    size_t entry;
    bool identical;  // the same bytes as the winning copy
};

class CheckRun {
public:
    explicit CheckRun(const CheckOptions& options) : _options(options) {}
    int run();

private:
    bool wanted(Finding finding) const {
        if (_options.only.empty()) return true;
        static const char* const kNames[] = {"duplicates", "split", "missing", "members"};
        return std::find(_options.only.begin(), _options.only.end(),
                         kNames[static_cast<int>(finding)]) != _options.only.end();
    }
    bool ignored(const std::string& name) const {
        for (const std::regex& pattern : _ignore)
            if (std::regex_match(name, pattern)) return true;
        return false;
    }
    bool onPlatform(const std::string& className) const {
        return _platform.image ? _platform.image->containsClassName(className)
                               : _platform.store && _platform.store->containsClassName(className);
    }
    void openEntries();
    void findDuplicates();
    void findSplitPackages();
    void findMissing();
    void findMembers();
    std::unique_ptr<DepsEntry> reopenEntry(const DepsEntry& entry) const;
    const ClassShape* shapeOf(const std::string& className);
    Resolution resolveField(const std::string& owner, const std::string& key, int depth);
    Resolution resolveMethod(const std::string& owner, const std::string& name,
                             const std::string& key, bool interfacesOnly, int depth);
    void emit(const nlohmann::ordered_json& json, const std::string& text);

    const CheckOptions& _options;
    std::vector<std::regex> _ignore;
    std::vector<std::unique_ptr<DepsEntry>> _entries;
    // Each class, with the entries that hold it in class-path order.
    std::map<std::string, std::vector<size_t>> _classes;
    DepsPlatform _platform;
    // Shapes of the classes resolution reached; null for one not found or unreadable.
    std::unordered_map<std::string, std::unique_ptr<ClassShape>> _shapes;
    size_t _found = 0;
    bool _failed = false;
    std::string _out;
};

void CheckRun::emit(const nlohmann::ordered_json& json, const std::string& text) {
    ++_found;
    if (_options.format == "json")
        _out.append(json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace))
            .push_back('\n');
    else
        _out.append(text);
}

// How check reads an archive, on the path's library and on a worker's own opening alike:
// as its application's loader reads it (nested entries, and the layouts of executable
// jars, WARs and EARs), kept open between reads.
VQClassLibraryArchiveOptions archiveReading() {
    VQClassLibraryArchiveOptions options;
    options.nestedEntries = true;
    options.layout = VQArchiveLayout::automatic;
    options.maxOpenArchives = kToolOpenArchives;
    return options;
}

void CheckRun::openEntries() {
    // One library for the whole path, so that manifest Class-Path entries and DIR/* come
    // in where java would put them, and a jar named twice (or in a loop) counts once.
    auto library = VQClassLibrary::classLibrary();
    VQClassLibraryArchiveOptions archiveOptions = archiveReading();
    archiveOptions.followManifestClassPath = true;
    archiveOptions.expandWildcards = true;
    archiveOptions.onMissingClassPathEntry = [this](const std::string& jar,
                                                    const std::string& missing) {
        reportFailure(missing, "named by the Class-Path of " + jar + ", but not there");
        _failed = true;
    };
    library->setArchiveOptions(std::move(archiveOptions));
    for (const std::string& path : _options.paths)
        for (const std::string& entry : splitClassPath(path)) {
            if (entry.empty()) continue;
            library->appendToClassPath(entry,
                                       [this](const std::string& name, const std::exception& e) {
                                           reportFailure(name, e.what());
                                           _failed = true;
                                       });
        }
    for (const auto& store : library->classStores()) {
        auto entry = std::make_unique<DepsEntry>();
        entry->path = store->name();
        entry->name = store->name();
        entry->library = library;
        entry->store = store.get();
        try {
            entry->classNames = classNamesOfStore(*store);
        } catch (const std::exception& e) {
            reportFailure(store->name(), e.what());
            _failed = true;
            continue;
        }
        entry->classSet.insert(entry->classNames.begin(), entry->classNames.end());
        for (const std::string& name : entry->classNames) _classes[name].push_back(_entries.size());
        _entries.push_back(std::move(entry));
    }
}

void CheckRun::findDuplicates() {
    for (const auto& [name, holders] : _classes) {
        if (holders.size() < 2 || ignored(name)) continue;
        const auto first = _entries[holders[0]]->store->dataForClassName(name);
        std::vector<Copy> copies;
        bool differ = false;
        for (size_t i = 1; i < holders.size(); ++i) {
            const auto data = _entries[holders[i]]->store->dataForClassName(name);
            const bool same =
                first && data && first->length() == data->length() &&
                std::equal(first->span().begin(), first->span().end(), data->span().begin());
            differ = differ || !same;
            copies.push_back({holders[i], same});
        }
        nlohmann::ordered_json json;
        json["kind"] = "duplicate";
        json["class"] = name;
        json["identical"] = !differ;
        json["wins"] = _entries[holders[0]]->path;
        auto& entries = json["entries"] = nlohmann::ordered_json::array();
        entries.push_back({{"entry", _entries[holders[0]]->path}, {"wins", true}});
        std::string text = "duplicate class " + name + (differ ? " (copies differ)" : "") +
                           ":\n   " + _entries[holders[0]]->path + " (wins)\n";
        for (const Copy& copy : copies) {
            entries.push_back({{"entry", _entries[copy.entry]->path},
                               {"wins", false},
                               {"identical", copy.identical}});
            text += "   " + _entries[copy.entry]->path +
                    (copy.identical ? " (identical)\n" : " (differs)\n");
        }
        emit(json, text);
    }
}

void CheckRun::findSplitPackages() {
    std::map<std::string, std::vector<size_t>> packages;
    for (size_t i = 0; i < _entries.size(); ++i) {
        std::string last;
        bool any = false;
        for (const std::string& name : _entries[i]->classNames) {
            const std::string package(VQPackageOfClassName(name));
            if (any && package == last) continue;
            any = true;
            last = package;
            auto& holders = packages[package];
            if (holders.empty() || holders.back() != i) holders.push_back(i);
        }
    }
    for (const auto& [package, holders] : packages) {
        if (ignored(package)) continue;
        const std::optional<std::string> module =
            package.empty() ? std::nullopt : platformModuleOfPackage(_platform, package);
        if (holders.size() < 2 && !module) continue;
        const std::string shown = package.empty() ? "<unnamed>" : package;
        nlohmann::ordered_json json;
        json["kind"] = "split";
        json["package"] = package;
        auto& entries = json["entries"] = nlohmann::ordered_json::array();
        std::string text = "split package " + shown + ":\n";
        if (module) {
            json["module"] = *module;
            text += "   " + *module + " (platform module)\n";
        }
        for (const size_t holder : holders) {
            entries.push_back(_entries[holder]->path);
            text += "   " + _entries[holder]->path + "\n";
        }
        emit(json, text);
    }
}

// A worker's own opening of one entry of the path: its store alone, made as the path's
// library made it; null when that gives another store.
std::unique_ptr<DepsEntry> CheckRun::reopenEntry(const DepsEntry& entry) const {
    auto own = std::make_unique<DepsEntry>();
    own->path = entry.path;
    own->name = entry.name;
    own->library = VQClassLibrary::classLibrary();
    own->library->setArchiveOptions(archiveReading());
    try {
        own->library->appendToClassPath(entry.store->name(),
                                        [](const std::string&, const std::exception&) {});
        for (const auto& store : own->library->classStores())
            if (store->name() == entry.store->name()) own->store = store.get();
        if (!own->store) return nullptr;
        own->classNames = classNamesOfStore(*own->store);
    } catch (const std::exception&) {
        return nullptr;
    }
    return own;
}

void CheckRun::findMissing() {
    std::map<std::string, std::set<std::string>> missing;
    for (size_t i = 0; i < _entries.size(); ++i) {
        const DepsEntry& entry = *_entries[i];
        struct Scan {
            bool reported = false;
            std::vector<std::string> missing;  // neither on the path nor ignored
        };
        std::vector<Scan> scans(entry.classNames.size());
        forEachClassOnWorkers(
            entry, _options.jobs.jobs, [&] { return reopenEntry(entry); },
            [&](DepsWorker& worker, size_t k) {
                const std::string& className = entry.classNames[k];
                // Only the copy that the class path loads counts.
                if (_classes.find(className)->second.front() != i) return;
                const VQClassReferences* found =
                    scanDepsClass(*worker.entry, className, *worker.scanner, scans[k].reported);
                if (!found) return;
                // The platform's store serves this thread alone: it is asked in order.
                for (const std::string& target : found->referencedClasses)
                    if (!_classes.count(target) && !ignored(target))
                        scans[k].missing.push_back(target);
            },
            [&](size_t k) {
                if (scans[k].reported) _failed = true;
                for (const std::string& target : scans[k].missing)
                    if (!onPlatform(target)) missing[target].insert(entry.classNames[k]);
                scans[k] = Scan();
            });
    }
    for (const auto& [name, users] : missing) {
        nlohmann::ordered_json json;
        json["kind"] = "missing";
        json["class"] = name;
        json["referencedBy"] = std::vector<std::string>(users.begin(), users.end());
        std::string text = "missing class " + name + ", referenced by:\n";
        for (const std::string& user : users) text += "   " + user + "\n";
        emit(json, text);
    }
}

const ClassShape* CheckRun::shapeOf(const std::string& className) {
    const auto known = _shapes.find(className);
    if (known != _shapes.end()) return known->second.get();
    std::unique_ptr<ClassShape> shape;
    std::shared_ptr<const VQByteBuffer> data;
    try {
        const auto holders = _classes.find(className);
        if (holders != _classes.end())
            data = _entries[holders->second.front()]->store->dataForClassName(className);
        else if (onPlatform(className))
            data = _platform.store->dataForClassName(className);
        if (data) {
            const auto pool = VQConstantPoolEntries::entriesOfClassFile(data->span());
            const auto layout = VQClassFileLayout::layoutOfClassFile(data->span(), *pool);
            shape = std::make_unique<ClassShape>();
            std::string text;
            const auto nameOf = [&](uint16_t index) {
                text.clear();
                if (!pool->text(pool->firstIndex(index), text)) return false;
                std::replace(text.begin(), text.end(), '/', '.');
                return true;
            };
            shape->access = layout->accessFlags();
            if (layout->superClass() && nameOf(layout->superClass())) shape->superName = text;
            for (const uint16_t index : layout->interfaces())
                if (nameOf(index)) shape->interfaces.push_back(text);
            std::string name, descriptor;
            for (const VQLayoutMember& field : layout->fields())
                if (pool->text(field.nameIndex, name) &&
                    pool->text(field.descriptorIndex, descriptor))
                    shape->fields.emplace(name + ":" + descriptor, field.accessFlags);
            const bool invoke = className == "java.lang.invoke.MethodHandle" ||
                                className == "java.lang.invoke.VarHandle";
            for (const VQLayoutMember& method : layout->methods()) {
                if (!pool->text(method.nameIndex, name) ||
                    !pool->text(method.descriptorIndex, descriptor))
                    continue;
                shape->methods.emplace(name + descriptor, method.accessFlags);
                if (invoke && (method.accessFlags & (kAccessVarargs | kAccessNative)) ==
                                  (kAccessVarargs | kAccessNative))
                    shape->polymorphic.emplace(name, method.accessFlags);
            }
        }
    } catch (const std::exception&) {
        // Unreadable classes are reported by the scan that reads the path's classes; here
        // one only leaves its references unresolved.
        shape.reset();
    }
    return _shapes.emplace(className, std::move(shape)).first->second.get();
}

// JVMS 5.4.3.2: the class, then its superinterfaces, then its super class.
Resolution CheckRun::resolveField(const std::string& owner, const std::string& key, int depth) {
    Resolution result;
    const ClassShape* shape = depth < kMaxHierarchyDepth ? shapeOf(owner) : nullptr;
    if (!shape) {
        result.unknown = true;
        return result;
    }
    if (const auto found = shape->fields.find(key); found != shape->fields.end()) {
        result.found = true;
        result.access = found->second;
        return result;
    }
    // The shapes are held by pointer: the cache may grow during the walk, they stay.
    for (const std::string& parent : shape->interfaces) {
        const Resolution up = resolveField(parent, key, depth + 1);
        if (up.found) return up;
        result.unknown = result.unknown || up.unknown;
    }
    if (shape->superName) {
        const Resolution up = resolveField(*shape->superName, key, depth + 1);
        if (up.found) return up;
        result.unknown = result.unknown || up.unknown;
    }
    return result;
}

// JVMS 5.4.3.3 and 5.4.3.4: the class and its super classes (with the signature
// polymorphic methods found by name), then the superinterfaces, where private and static
// methods do not count; `interfacesOnly` once the walk is among the superinterfaces.
Resolution CheckRun::resolveMethod(const std::string& owner, const std::string& name,
                                   const std::string& key, bool interfacesOnly, int depth) {
    Resolution result;
    const ClassShape* shape = depth < kMaxHierarchyDepth ? shapeOf(owner) : nullptr;
    if (!shape) {
        result.unknown = true;
        return result;
    }
    if (const auto found = shape->methods.find(key);
        found != shape->methods.end() &&
        (!interfacesOnly || !(found->second & (kAccessPrivate | kAccessStatic)))) {
        result.found = true;
        result.access = found->second;
        return result;
    }
    if (!interfacesOnly)
        if (const auto found = shape->polymorphic.find(name); found != shape->polymorphic.end()) {
            result.found = true;
            result.access = found->second;
            return result;
        }
    // A constructor is never inherited.
    if (name == "<init>") return result;
    // An interface's super class is java.lang.Object, whose methods the caller weighs.
    if (!interfacesOnly && !(shape->access & kAccessInterface) && shape->superName) {
        const Resolution up = resolveMethod(*shape->superName, name, key, false, depth + 1);
        if (up.found) return up;
        result.unknown = result.unknown || up.unknown;
    }
    for (const std::string& parent : shape->interfaces) {
        const Resolution up = resolveMethod(parent, name, key, true, depth + 1);
        if (up.found) return up;
        result.unknown = result.unknown || up.unknown;
    }
    return result;
}

// The member references of a class file, each with the kinds of instruction that use
// it; false when the class cannot be read (the class scans of the other findings report
// that).
bool memberUsesOfClass(const DepsEntry& entry, const std::string& className,
                       std::vector<MemberUse>& uses) {
    uses.clear();
    std::vector<int32_t> useOfIndex;
    std::string owner, name, descriptor;
    try {
        const auto data = entry.store->dataForClassName(className);
        if (!data) return false;
        const auto pool = VQConstantPoolEntries::entriesOfClassFile(data->span());
        useOfIndex.assign(pool->size(), -1);
        for (uint32_t index = 1; index < pool->size(); ++index) {
            const int tag = pool->tag(index);
            if (tag != kVQConstantFieldref && tag != kVQConstantMethodref &&
                tag != kVQConstantInterfaceMethodref)
                continue;
            const uint16_t nameAndType = pool->secondIndex(index);
            if (!pool->text(pool->firstIndex(pool->firstIndex(index)), owner) ||
                !pool->text(pool->firstIndex(nameAndType), name) ||
                !pool->text(pool->secondIndex(nameAndType), descriptor))
                continue;
            if (owner.empty() || owner[0] == '[') continue;  // arrays' clone()
            std::replace(owner.begin(), owner.end(), '/', '.');
            useOfIndex[index] = static_cast<int32_t>(uses.size());
            uses.push_back({tag, owner, name, descriptor, 0});
        }
        if (uses.empty()) return true;
        const auto layout = VQClassFileLayout::layoutOfClassFile(data->span(), *pool);
        for (const VQLayoutMember& method : layout->methods()) {
            const VQLayoutAttribute* code = method.attribute("Code");
            if (!code) continue;
            const VQCodeAttribute body(code->info, *pool);
            VQInstructionDecoder decoder = body.instructions();
            VQInstruction instruction;
            while (decoder.next(instruction)) {
                if (instruction.poolIndex >= useOfIndex.size()) continue;
                const int32_t at = useOfIndex[instruction.poolIndex];
                if (at < 0) continue;
                MemberUse& use = uses[static_cast<size_t>(at)];
                switch (instruction.opcode) {
                    case 0xb2:  // getstatic
                    case 0xb3:  // putstatic
                        use.opcodes |= kUseGetStatic;
                        break;
                    case 0xb4:  // getfield
                    case 0xb5:  // putfield
                        use.opcodes |= kUseGetField;
                        break;
                    case 0xb8:  // invokestatic
                        use.opcodes |= kUseStatic;
                        break;
                    case 0xb6:  // invokevirtual
                    case 0xb7:  // invokespecial
                    case 0xb9:  // invokeinterface
                        use.opcodes |= kUseInstance;
                        break;
                    default:
                        break;
                }
            }
        }
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void CheckRun::findMembers() {
    // Per class of the path: its member references, with the instructions that use them.
    struct MemberFinding {
        std::string text;
        nlohmann::ordered_json json;
        std::set<std::string> users;
    };
    std::map<std::string, MemberFinding> findings;
    for (size_t i = 0; i < _entries.size(); ++i) {
        const DepsEntry& entry = *_entries[i];
        std::vector<std::vector<MemberUse>> usesOf(entry.classNames.size());
        forEachClassOnWorkers(
            entry, _options.jobs.jobs, [&] { return reopenEntry(entry); },
            [&](DepsWorker& worker, size_t k) {
                if (_classes.find(entry.classNames[k])->second.front() == i)
                    memberUsesOfClass(*worker.entry, entry.classNames[k], usesOf[k]);
            },
            [&](size_t k) {
                const std::string& className = entry.classNames[k];
                const std::vector<MemberUse> uses = std::move(usesOf[k]);
                for (const MemberUse& use : uses) {
                    if (ignored(use.owner)) continue;
                    const ClassShape* shape = shapeOf(use.owner);
                    if (!shape) continue;  // a missing class, reported as such
                    const bool field = use.tag == kVQConstantFieldref;
                    const bool isInterface = shape->access & kAccessInterface;
                    const std::string member =
                        use.owner + "." + use.name + (field ? ":" : "") + use.descriptor;
                    std::string reason;
                    const char* kind = "mismatch";
                    Resolution resolved;
                    if (use.tag == kVQConstantMethodref && isInterface) {
                        reason = "a class's method reference to an interface";
                    } else if (use.tag == kVQConstantInterfaceMethodref && !isInterface) {
                        reason = "an interface's method reference to a class";
                    } else if (field) {
                        resolved = resolveField(use.owner, use.name + ":" + use.descriptor, 0);
                    } else if (use.tag == kVQConstantInterfaceMethodref) {
                        resolved =
                            resolveMethod(use.owner, use.name, use.name + use.descriptor, false, 0);
                        // Then java.lang.Object's public instance methods.
                        if (!resolved.found) {
                            const Resolution object = resolveMethod("java.lang.Object", use.name,
                                                                    use.name + use.descriptor,
                                                                    false, kMaxHierarchyDepth - 1);
                            if (object.found && (object.access & 0x0001) &&
                                !(object.access & kAccessStatic))
                                resolved = object;
                        }
                    } else {
                        resolved =
                            resolveMethod(use.owner, use.name, use.name + use.descriptor, false, 0);
                    }
                    if (reason.empty()) {
                        if (resolved.unknown && !resolved.found) continue;
                        if (!resolved.found) {
                            kind = field ? "missing-field" : "missing-method";
                        } else {
                            const bool isStatic = resolved.access & kAccessStatic;
                            if (field && isStatic && (use.opcodes & kUseGetField))
                                reason = "getfield or putfield of a static field";
                            else if (field && !isStatic && (use.opcodes & kUseGetStatic))
                                reason = "getstatic or putstatic of an instance field";
                            else if (!field && !isStatic && (use.opcodes & kUseStatic))
                                reason = "invokestatic of an instance method";
                            else if (!field && isStatic && (use.opcodes & kUseInstance))
                                reason = "an instance call of a static method";
                            else
                                continue;
                        }
                    }
                    MemberFinding& finding =
                        findings[std::string(kind) + " " + member + " " + reason];
                    if (finding.text.empty()) {
                        finding.json["kind"] = kind;
                        finding.json["class"] = use.owner;
                        finding.json["name"] = use.name;
                        finding.json["descriptor"] = use.descriptor;
                        if (reason.empty()) {
                            finding.text =
                                std::string(field ? "missing field " : "missing method ") + member +
                                ", referenced by:\n";
                        } else {
                            finding.json["reason"] = reason;
                            finding.text = "wrong kind of reference to " + member + " (" + reason +
                                           "), referenced by:\n";
                        }
                    }
                    finding.users.insert(className);
                }
            });
    }
    for (auto& [key, finding] : findings) {
        finding.json["referencedBy"] =
            std::vector<std::string>(finding.users.begin(), finding.users.end());
        for (const std::string& user : finding.users) finding.text += "   " + user + "\n";
        emit(finding.json, finding.text);
    }
}

int CheckRun::run() {
    try {
        for (const std::string& pattern : _options.ignore) _ignore.emplace_back(pattern);
    } catch (const std::regex_error& e) {
        throw UsageError(std::string("check: bad --ignore pattern: ") + e.what());
    }
    _platform = openPlatform(_options.system);
    if (_platform.failed) _failed = true;
    openEntries();
    if (wanted(Finding::duplicates)) findDuplicates();
    if (wanted(Finding::split)) findSplitPackages();
    if (wanted(Finding::missing)) findMissing();
    if (wanted(Finding::members)) findMembers();
    std::fwrite(_out.data(), 1, _out.size(), stdout);
    return _found > 0 || _failed ? 1 : 0;
}

void addCheckCommand(CLI::App& app, CommandRunner& runner) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = app.add_subcommand(
        "check", "Find duplicate classes, split packages and missing classes on a class path");
    command->add_option("CLASSPATH", options->paths,
                        "Class path entries, or paths of them separated by ';' or ':'");
    command->add_option("--system", options->system,
                        "The JDK whose modules supply the platform; none for no platform");
    command
        ->add_option("--ignore", options->ignore,
                     "Leave out classes and packages whose names match (repeatable)")
        ->allow_extra_args(false);
    command
        ->add_option("--only", options->only,
                     "Only duplicates, split, missing or members (repeatable)")
        ->allow_extra_args(false)
        ->check(CLI::IsMember({"duplicates", "split", "missing", "members"}));
    addJobsOption(command, options->jobs);
    command->add_option("--format", options->format, "text or json (one finding a line)")
        ->check(CLI::IsMember({"text", "json"}));
    command->callback([options, &runner] {
        if (options->paths.empty()) throw UsageError("check: no class path given");
        runner = [options] { return CheckRun(*options).run(); };
    });
}

}  // namespace

static bool registered = registerToolCommand({41, &addCheckCommand});

}  // namespace ornith::tool
