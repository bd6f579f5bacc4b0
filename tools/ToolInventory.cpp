#include "ToolInventory.h"

#include <algorithm>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

#include "ToolDigest.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/stores/VQJarManifest.h"
#include "ornith/stores/zipfile.h"

namespace ornith::tool {
namespace {

// Archives are hashed in pieces of this size, read into one buffer for every archive.
constexpr size_t kHashChunk = 1 << 20;
// pom.properties files are a few lines; anything this large is not one.
constexpr uint64_t kMaxPomProperties = 1 << 20;

bool endsWithAnyCase(std::string_view name, std::string_view suffix) {
    if (name.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), name.end() - suffix.size(), [](char a, char b) {
        return a == std::tolower(static_cast<unsigned char>(b));
    });
}

bool isArchiveName(std::string_view name) {
    return endsWithAnyCase(name, ".jar") || endsWithAnyCase(name, ".war") ||
           endsWithAnyCase(name, ".ear") || endsWithAnyCase(name, ".zip") ||
           endsWithAnyCase(name, ".rar");
}

// The archive's own bytes, read once through both digests. A digest that cannot be
// taken is the archive's problem, as unreadable bytes are: the other archives go on.
void hashArchive(const VQZipArchive& archive, ArchiveRecord& record, std::vector<uint8_t>& buffer) {
    try {
        Digest sha256(DigestKind::sha256), sha1(DigestKind::sha1);
        buffer.resize(kHashChunk);
        for (uint64_t at = 0; at < archive.size();) {
            const size_t n =
                static_cast<size_t>(std::min<uint64_t>(kHashChunk, archive.size() - at));
            if (archive.readRaw(at, buffer.data(), n) != VQFileStatus::ok) {
                record.problem = "its bytes cannot be read";
                return;
            }
            sha256.update(buffer.data(), n);
            sha1.update(buffer.data(), n);
            at += n;
        }
        record.sha256 = sha256.finishHex();
        record.sha1 = sha1.finishHex();
    } catch (const std::runtime_error& failure) {
        record.problem = std::string("its digests cannot be taken: ") + failure.what();
    }
}

std::string dottedPackage(std::string_view member) {
    const size_t slash = member.rfind('/');
    std::string package(slash == std::string_view::npos ? std::string_view()
                                                        : member.substr(0, slash));
    std::replace(package.begin(), package.end(), '/', '.');
    return package;
}

// The first two components of a dotted name (the whole of a shorter one).
std::string topLevel(std::string_view name) {
    const size_t first = name.find('.');
    if (first == std::string_view::npos) return std::string(name);
    const size_t second = name.find('.', first + 1);
    return std::string(name.substr(0, second));
}

std::string lastComponent(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class Walker {
public:
    Walker(const VQNestingOptions& nesting, std::vector<ArchiveRecord>& records)
        : _nested(nesting), _records(records) {}

    void walk(const std::shared_ptr<VQZipArchive>& archive, const std::string& path,
              std::optional<size_t> parent, size_t depth) {
        const size_t index = add(path, parent, depth);
        _records[index].size = archive->size();
        hashArchive(*archive, _records[index], _buffer);
        if (_records[index].problem) return;
        if (archive->readDirectory() != 0) {
            if (const VQZipProblem& problem = archive->problem()) {
                _records[index].problem = problem.reason;
                return;
            }
        }
        std::vector<VQZipMember> nested;
        std::set<std::string> packages;
        archive->forEachMember([&](const VQZipMember& member) {
            try {
                readMember(*archive, member, _records[index], packages, nested);
            } catch (const std::exception& failure) {
                if (!_records[index].problem)
                    _records[index].problem = std::string(member.name) + ": " + failure.what();
            }
            return 0;
        });
        if (const VQZipProblem& problem = archive->problem(); problem && !_records[index].problem)
            _records[index].problem = problem.reason;
        foreignPackages(_records[index], packages);
        VQNestedArchives::Archive outer;
        outer.archive = archive;
        for (const VQZipMember& member : nested) {
            const std::string childPath = path + "!/" + std::string(member.name);
            try {
                auto child = std::make_shared<VQZipArchive>(
                    _nested.openMember(outer, member, childPath, depth + 1));
                walk(child, childPath, index, depth + 1);
            } catch (const std::exception& failure) {
                const size_t failed = add(childPath, index, depth + 1);
                _records[failed].size = member.length;
                _records[failed].problem = failure.what();
            }
        }
    }

    size_t add(const std::string& path, std::optional<size_t> parent, size_t depth) {
        const size_t index = _records.size();
        ArchiveRecord& record = _records.emplace_back();
        record.path = path;
        record.parent = parent;
        record.depth = depth;
        if (parent) _records[*parent].children.push_back(index);
        return index;
    }

private:
    void readMember(const VQZipArchive& archive, const VQZipMember& member, ArchiveRecord& record,
                    std::set<std::string>& packages, std::vector<VQZipMember>& nested) {
        const std::string_view name = member.name;
        if (name.ends_with('/')) return;
        if (name.size() == 20 && endsWithAnyCase(name, "meta-inf/manifest.mf")) {
            if (member.length > VQJarManifest::kMaxLength) return;
            record.manifest = manifestFacts(archive.read(member, &_context)->span());
        } else if (name.starts_with("META-INF/maven/") && name.ends_with("/pom.properties")) {
            if (member.length > kMaxPomProperties) return;
            const auto bytes = archive.read(member, &_context);
            if (auto coordinates = mavenCoordinatesFromPomProperties(std::string_view(
                    reinterpret_cast<const char*>(bytes->bytes()), bytes->length())))
                record.maven.push_back(std::move(*coordinates));
        } else if (name.ends_with(".class")) {
            const bool module =
                name == "module-info.class" ||
                (name.starts_with("META-INF/versions/") && name.ends_with("/module-info.class"));
            if (module) {
                if (record.moduleName && name != "module-info.class") return;
                readModule(archive.read(member, &_context), record);
                return;
            }
            if (name.starts_with("META-INF/")) return;
            const auto bytes = archive.read(member, &_context);
            const uint8_t* p = bytes->bytes();
            if (bytes->length() < 8 || p[0] != 0xCA || p[1] != 0xFE || p[2] != 0xBA || p[3] != 0xBE)
                return;
            const int major = p[6] << 8 | p[7];
            record.minClassVersion =
                record.classCount ? std::min(record.minClassVersion, major) : major;
            record.maxClassVersion = std::max(record.maxClassVersion, major);
            ++record.classCount;
            packages.insert(dottedPackage(name));
        } else if (isArchiveName(name)) {
            nested.push_back(member);
        }
    }

    static void readModule(const std::shared_ptr<const VQByteBuffer>& bytes,
                           ArchiveRecord& record) {
        try {
            const auto module = VQJavaClass::classWithData(*bytes);
            if (const auto* descriptor = module ? module->moduleDescriptor() : nullptr) {
                record.moduleName = descriptor->moduleName();
                record.moduleVersion = descriptor->version();
            }
        } catch (const std::exception&) {
            // A module-info that does not parse names no module.
        }
    }

    // Packages whose first two components are neither the group's nor the module's. Older
    // groups are no package name (commons-cli's classes are org.apache.commons.cli): a
    // package that holds the group or artifact, its '-' read as '.', is the archive's own too.
    static void foreignPackages(ArchiveRecord& record, const std::set<std::string>& packages) {
        std::set<std::string> own;
        std::vector<std::string> needles;
        auto dotted = [](std::string name) {
            std::replace(name.begin(), name.end(), '-', '.');
            return "." + name + ".";
        };
        if (const MavenCoordinates* primary = record.primaryCoordinates()) {
            own.insert(topLevel(primary->groupId));
            needles.push_back(dotted(primary->groupId));
            needles.push_back(dotted(primary->artifactId));
        }
        if (record.moduleName) own.insert(topLevel(*record.moduleName));
        if (record.manifest.automaticModuleName)
            own.insert(topLevel(*record.manifest.automaticModuleName));
        if (own.empty()) return;
        for (const std::string& package : packages) {
            const std::string within = "." + package + ".";
            for (const std::string& needle : needles)
                if (within.find(needle) != std::string::npos) own.insert(topLevel(package));
        }
        std::set<std::string> foreign;
        for (const std::string& package : packages) {
            if (package.empty()) continue;
            const std::string top = topLevel(package);
            if (!own.count(top)) foreign.insert(top);
        }
        record.foreignPackages.assign(foreign.begin(), foreign.end());
    }

    VQNestedArchives _nested;
    std::vector<ArchiveRecord>& _records;
    std::vector<uint8_t> _buffer;
    VQZipReadContext _context;
};

nlohmann::json recordJson(const ArchiveRecord& record, const std::vector<ArchiveRecord>& records) {
    nlohmann::json object;
    object["path"] = record.path;
    if (record.parent) object["parent"] = records[*record.parent].path;
    object["depth"] = record.depth;
    object["size"] = record.size;
    if (!record.sha256.empty()) {
        object["sha256"] = record.sha256;
        object["sha1"] = record.sha1;
    }
    object["maven"] = nlohmann::json::array();
    for (const MavenCoordinates& c : record.maven)
        object["maven"].push_back({{"groupId", c.groupId},
                                   {"artifactId", c.artifactId},
                                   {"version", c.version},
                                   {"purl", mavenPackageUrl(c)}});
    if (record.manifest.implementationTitle)
        object["implementationTitle"] = *record.manifest.implementationTitle;
    if (record.manifest.implementationVersion)
        object["implementationVersion"] = *record.manifest.implementationVersion;
    if (record.manifest.automaticModuleName)
        object["automaticModuleName"] = *record.manifest.automaticModuleName;
    object["multiRelease"] = record.manifest.multiRelease;
    if (record.moduleName) {
        object["module"] = {{"name", *record.moduleName}};
        if (record.moduleVersion) object["module"]["version"] = *record.moduleVersion;
    }
    object["classes"] = record.classCount;
    if (record.classCount)
        object["classFileVersions"] = {{"min", record.minClassVersion},
                                       {"max", record.maxClassVersion}};
    object["foreignPackages"] = record.foreignPackages;
    if (record.problem) object["error"] = *record.problem;
    return object;
}

std::string dump(const nlohmann::json& value, int indent = -1) {
    // Member names are bytes of any kind: invalid UTF-8 is replaced, never thrown on.
    return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

const MavenCoordinates* ArchiveRecord::primaryCoordinates() const {
    if (maven.empty()) return nullptr;
    const std::string file = lastComponent(path);
    for (const MavenCoordinates& c : maven)
        if (file.starts_with(c.artifactId + "-") || file.starts_with(c.artifactId + ".")) return &c;
    return &maven.front();
}

void inventoryArchive(const std::string& path, const VQNestingOptions& nesting,
                      std::vector<ArchiveRecord>& records) {
    Walker walker(nesting, records);
    std::shared_ptr<VQZipArchive> archive;
    try {
        archive = std::make_shared<VQZipArchive>(VQZipArchive::openFile(path));
    } catch (const std::exception& failure) {
        const size_t index = walker.add(path, std::nullopt, 0);
        records[index].problem = failure.what();
        return;
    }
    walker.walk(archive, path, std::nullopt, 0);
}

std::string inventoryJsonLines(const std::vector<ArchiveRecord>& records) {
    std::string out;
    for (const ArchiveRecord& record : records)
        out.append(dump(recordJson(record, records))).push_back('\n');
    return out;
}

std::string inventoryText(const std::vector<ArchiveRecord>& records) {
    std::string out;
    for (const ArchiveRecord& record : records) {
        out.append(record.path).push_back('\n');
        auto line = [&](std::string_view key, const std::string& value) {
            out.append("  ").append(key).append(": ").append(value).push_back('\n');
        };
        if (record.problem) line("error", *record.problem);
        line("size", std::to_string(record.size));
        if (!record.sha256.empty()) {
            line("sha256", record.sha256);
            line("sha1", record.sha1);
        }
        for (const MavenCoordinates& c : record.maven)
            line("maven", c.groupId + ":" + c.artifactId + ":" + c.version);
        if (record.manifest.implementationTitle)
            line("implementation-title", *record.manifest.implementationTitle);
        if (record.manifest.implementationVersion)
            line("implementation-version", *record.manifest.implementationVersion);
        if (record.manifest.automaticModuleName)
            line("automatic-module-name", *record.manifest.automaticModuleName);
        if (record.manifest.multiRelease) line("multi-release", "true");
        if (record.moduleName)
            line("module",
                 *record.moduleName + (record.moduleVersion ? "@" + *record.moduleVersion : ""));
        std::string classes = std::to_string(record.classCount);
        if (record.classCount)
            classes += " (class-file versions " + std::to_string(record.minClassVersion) + " to " +
                       std::to_string(record.maxClassVersion) + ")";
        line("classes", classes);
        if (!record.foreignPackages.empty()) {
            std::string packages;
            for (const std::string& p : record.foreignPackages)
                packages.append(packages.empty() ? "" : ", ").append(p);
            line("foreign-packages", packages);
        }
    }
    return out;
}

std::string inventoryCycloneDx(const std::vector<ArchiveRecord>& records, const char* toolVersion) {
    // bom-refs are the archives' paths, made unique when one is given twice.
    std::map<std::string, int> seen;
    std::vector<std::string> refs;
    refs.reserve(records.size());
    for (const ArchiveRecord& record : records) {
        const int n = seen[record.path]++;
        refs.push_back(n ? record.path + "#" + std::to_string(n + 1) : record.path);
    }
    auto component = [&](auto& self, size_t index) -> nlohmann::json {
        const ArchiveRecord& record = records[index];
        nlohmann::json c;
        c["type"] = "library";
        c["bom-ref"] = refs[index];
        const MavenCoordinates* primary = record.primaryCoordinates();
        if (primary) {
            c["group"] = primary->groupId;
            c["name"] = primary->artifactId;
            c["version"] = primary->version;
            c["purl"] = mavenPackageUrl(*primary);
        } else {
            c["name"] = lastComponent(record.path);
            if (record.manifest.implementationVersion)
                c["version"] = *record.manifest.implementationVersion;
        }
        if (!record.sha256.empty())
            c["hashes"] = {{{"alg", "SHA-256"}, {"content", record.sha256}},
                           {{"alg", "SHA-1"}, {"content", record.sha1}}};
        nlohmann::json properties = {
            {{"name", "ornith:path"}, {"value", record.path}},
            {{"name", "ornith:classes"}, {"value", std::to_string(record.classCount)}}};
        if (record.moduleName)
            properties.push_back({{"name", "ornith:module"}, {"value", *record.moduleName}});
        for (const std::string& p : record.foreignPackages)
            properties.push_back({{"name", "ornith:foreignPackage"}, {"value", p}});
        if (record.problem)
            properties.push_back({{"name", "ornith:error"}, {"value", *record.problem}});
        c["properties"] = std::move(properties);
        nlohmann::json inner = nlohmann::json::array();
        // The other coordinates of a shaded jar are what it carries inside.
        for (const MavenCoordinates& other : record.maven) {
            if (&other == primary) continue;
            inner.push_back({{"type", "library"},
                             {"bom-ref", refs[index] + "#" + mavenPackageUrl(other)},
                             {"group", other.groupId},
                             {"name", other.artifactId},
                             {"version", other.version},
                             {"purl", mavenPackageUrl(other)}});
        }
        for (size_t child : record.children) inner.push_back(self(self, child));
        if (!inner.empty()) c["components"] = std::move(inner);
        return c;
    };
    nlohmann::json bom;
    bom["bomFormat"] = "CycloneDX";
    bom["specVersion"] = "1.5";
    bom["version"] = 1;
    bom["metadata"]["tools"]["components"] = {
        {{"type", "application"}, {"name", "ornith"}, {"version", toolVersion}}};
    bom["components"] = nlohmann::json::array();
    for (size_t i = 0; i < records.size(); ++i)
        if (!records[i].parent) bom["components"].push_back(component(component, i));
    return dump(bom, 2) + "\n";
}

}  // namespace ornith::tool
