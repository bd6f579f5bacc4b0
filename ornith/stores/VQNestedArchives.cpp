#include "ornith/stores/VQNestedArchives.h"

#include <algorithm>

#include "ornith/base/VQException.h"
#include "ornith/base/VQFormat.h"
#include "ornith/stores/VQJarFileStore.h"
#include "ornith/stores/VQZipFileStore.h"

namespace ornith {
namespace {

constexpr std::string_view kSeparator = "!/";
// An index of an executable jar's libraries is a line per jar; anything this large is
// no index.
constexpr uint64_t kMaxIndexLength = 16u << 20;

std::string_view withoutTrailingSlash(std::string_view name) {
    while (!name.empty() && name.back() == '/') name.remove_suffix(1);
    return name;
}

bool endsWithEither(std::string_view name, std::string_view lower, std::string_view upper) {
    return name.ends_with(lower) || name.ends_with(upper);
}

std::string joinEntry(const std::vector<std::string>& pieces, size_t count) {
    std::string joined;
    for (size_t i = 0; i < count; ++i) {
        if (i) joined.append(kSeparator);
        joined.append(pieces[i]);
    }
    return joined;
}

[[noreturn]] void refuse(const std::string& reason,
                         VQErrorKind kind = VQErrorKind::corruptArchive) {
    throw VQInvalidArgumentException(reason, kind);
}

bool hasMemberUnder(const VQNestedArchives::Archive& archive, std::string_view prefix) {
    return std::any_of(archive.members.begin(), archive.members.end(),
                       [&](const VQZipMember& m) { return m.name.starts_with(prefix); });
}

// The jars directly in a directory of the archive (prefix ends in "/"), in archive order.
std::vector<std::string_view> jarsIn(const VQNestedArchives::Archive& archive,
                                     std::string_view prefix) {
    std::vector<std::string_view> jars;
    for (size_t i = 0; i < archive.members.size(); ++i) {
        const std::string_view name = archive.members[i].name;
        if (!name.starts_with(prefix)) continue;
        const std::string_view rest = name.substr(prefix.size());
        if (rest.empty() || rest.find('/') != std::string_view::npos) continue;
        // A jar stored twice is read from its first copy, as the directory lookup does.
        if (endsWithEither(rest, ".jar", ".JAR") && archive.byName.at(name) == i)
            jars.push_back(name);
    }
    return jars;
}

// The jars BOOT-INF/classpath.idx names, in its order: lines of the form
// - "BOOT-INF/lib/x.jar" (early indexes gave the bare file name).
std::vector<std::string> classPathIndex(const VQNestedArchives::Archive& archive) {
    const VQZipMember* index = archive.member("BOOT-INF/classpath.idx");
    if (!index || index->length > kMaxIndexLength) return {};
    const auto bytes = archive.archive->read(*index);
    const std::string_view text(reinterpret_cast<const char*>(bytes->bytes()), bytes->length());
    std::vector<std::string> names;
    size_t start = 0;
    while (start < text.size()) {
        size_t stop = text.find('\n', start);
        if (stop == std::string_view::npos) stop = text.size();
        std::string_view line = text.substr(start, stop - start);
        start = stop + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.starts_with("- ")) line.remove_prefix(2);
        if (line.size() >= 2 && line.front() == '"' && line.back() == '"')
            line = line.substr(1, line.size() - 2);
        if (line.empty()) continue;
        std::string name(line);
        if (name.find('/') == std::string::npos) name.insert(0, "BOOT-INF/lib/");
        names.push_back(std::move(name));
    }
    return names;
}

}  // namespace

std::optional<VQArchiveLayout> VQArchiveLayoutNamed(std::string_view name) {
    if (name == "plain") return VQArchiveLayout::plain;
    if (name == "auto") return VQArchiveLayout::automatic;
    if (name == "boot") return VQArchiveLayout::boot;
    if (name == "war") return VQArchiveLayout::war;
    if (name == "ear") return VQArchiveLayout::ear;
    return std::nullopt;
}

const char* VQArchiveLayoutName(VQArchiveLayout layout) noexcept {
    switch (layout) {
        case VQArchiveLayout::plain:
            return "plain";
        case VQArchiveLayout::automatic:
            return "auto";
        case VQArchiveLayout::boot:
            return "boot";
        case VQArchiveLayout::war:
            return "war";
        case VQArchiveLayout::ear:
            return "ear";
    }
    return "plain";
}

bool VQIsNestedEntry(std::string_view entry) noexcept {
    return entry.find(kSeparator) != std::string_view::npos;
}

std::vector<std::string> VQSplitNestedEntry(std::string_view entry) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t stop; (stop = entry.find(kSeparator, start)) != std::string_view::npos;
         start = stop + kSeparator.size())
        pieces.emplace_back(entry.substr(start, stop - start));
    pieces.emplace_back(entry.substr(start));
    return pieces;
}

const VQZipMember* VQNestedArchives::Archive::member(std::string_view name) const {
    const auto found = byName.find(name);
    return found == byName.end() ? nullptr : &members[found->second];
}

VQNestedArchives::VQNestedArchives(VQNestingOptions options) : _options(options) {}

VQNestedArchives::~VQNestedArchives() = default;

VQZipArchive VQNestedArchives::openMember(const Archive& outer, const VQZipMember& member,
                                          std::string name, size_t depth) {
    if (depth > _options.maxDepth)
        refuse(VQFormat("archives nested more than %zu deep", _options.maxDepth),
               VQErrorKind::unsupportedArchive);
    const std::string memberName(member.name);
    const VQZipArchive& source = *outer.archive;
    if (member.compressionMethod == 0) {
        bool unreadable = false;
        const std::optional<uint64_t> location =
            member.localHeaderOffset == VQZipMember::kOutside
                ? std::nullopt
                : source.dataLocation(member.localHeaderOffset, &unreadable);
        if (!location)
            refuse(VQFormat("Corrupt zip file %s (invalid local header).", source.name().c_str()));
        // Members lie before the directory. One that reaches into it is no archive of its
        // own: it holds (part of) the archive around it, and may hold itself.
        const uint64_t end = source.directoryStart();
        if (*location > end || member.length > end - *location)
            refuse(VQFormat("%s overlaps the central directory of %s", memberName.c_str(),
                            source.name().c_str()));
        return VQZipArchive::window(outer.archive, *location, member.length, std::move(name));
    }
    // Inflated whole, once: a deflated stream cannot be read from the middle.
    const uint64_t left = _options.inflateBudget - std::min(_inflated, _options.inflateBudget);
    if (member.compressionMethod == 8 && member.length > left)
        refuse(VQFormat("inflating %s takes %llu bytes, more than the %llu left of the inflate "
                        "budget",
                        memberName.c_str(), static_cast<unsigned long long>(member.length),
                        static_cast<unsigned long long>(left)),
               VQErrorKind::unsupportedArchive);
    auto bytes = source.read(member);
    _inflated += bytes->length();
    return VQZipArchive::withBuffer(std::move(bytes), std::move(name));
}

const VQNestedArchives::Archive& VQNestedArchives::archive(const std::string& entry) {
    std::vector<std::string> pieces = VQSplitNestedEntry(entry);
    for (std::string& piece : pieces) piece.assign(withoutTrailingSlash(piece));
    if (pieces.size() - 1 > _options.maxDepth)
        refuse(VQFormat("archives nested more than %zu deep", _options.maxDepth),
               VQErrorKind::unsupportedArchive);
    const std::string key = joinEntry(pieces, pieces.size());
    if (auto found = _archives.find(key); found != _archives.end()) return *found->second;

    auto opened = std::make_unique<Archive>();
    std::shared_ptr<VQZipArchive> archive;
    if (pieces.size() == 1) {
        archive = std::make_shared<VQZipArchive>(VQZipArchive::openFile(key));
    } else {
        const Archive& outer = this->archive(joinEntry(pieces, pieces.size() - 1));
        const VQZipMember* member = outer.member(pieces.back());
        if (!member || member->name.ends_with('/'))
            refuse(VQFormat("no archive %s in %s", pieces.back().c_str(),
                            outer.archive->name().c_str()),
                   VQErrorKind::other);
        opened->depth = outer.depth + 1;
        archive = std::make_shared<VQZipArchive>(openMember(outer, *member, key, opened->depth));
    }
    if (archive->readDirectory() != 0)
        if (const VQZipProblem& problem = archive->problem())
            throw VQInvalidArgumentException(
                VQFormat("Corrupt zip file %s (%s).", key.c_str(), problem.reason), problem.kind,
                problem.offset, problem.reason);
    // Names stay where the directory holds them; the archive keeps it.
    archive->forEachMember([&](const VQZipMember& member) {
        opened->byName.try_emplace(member.name, opened->members.size());
        opened->members.push_back(member);
        return 0;
    });
    opened->archive = std::move(archive);
    return *_archives.emplace(key, std::move(opened)).first->second;
}

std::shared_ptr<VQZipFileStore> VQNestedArchives::storeForEntry(const std::string& entry) {
    std::vector<std::string> pieces = VQSplitNestedEntry(entry);
    if (pieces.size() < 2) refuse("names nothing inside an archive", VQErrorKind::other);
    const std::string last(withoutTrailingSlash(pieces.back()));
    const Archive& outer = archive(joinEntry(pieces, pieces.size() - 1));
    const VQZipMember* member = last.empty() ? nullptr : outer.member(last);
    if (member && !member->name.ends_with('/')) {
        VQZipArchive nested = openMember(outer, *member, entry, outer.depth + 1);
        if (endsWithEither(last, ".zip", ".ZIP"))
            return std::make_shared<VQZipFileStore>(entry, std::move(nested), std::string_view());
        return std::make_shared<VQJarFileStore>(entry, std::move(nested), std::string_view());
    }
    // A directory of the archive, read as if it were the root of one.
    const std::string prefix = last.empty() ? std::string() : last + "/";
    if (!prefix.empty() && !hasMemberUnder(outer, prefix))
        refuse(VQFormat("no member %s in %s", last.c_str(), outer.archive->name().c_str()),
               VQErrorKind::other);
    VQZipArchive whole = VQZipArchive::window(outer.archive, 0, outer.archive->size(), entry);
    return std::make_shared<VQJarFileStore>(entry, std::move(whole), prefix);
}

VQArchiveLayout VQNestedArchives::detectLayout(const std::string& entry) {
    const Archive& opened = archive(entry);
    if (hasMemberUnder(opened, "BOOT-INF/")) return VQArchiveLayout::boot;
    if (hasMemberUnder(opened, "WEB-INF/")) return VQArchiveLayout::war;
    if (endsWithEither(withoutTrailingSlash(entry), ".ear", ".EAR") ||
        opened.member("META-INF/application.xml"))
        return VQArchiveLayout::ear;
    return VQArchiveLayout::plain;
}

std::vector<std::string> VQNestedArchives::layoutEntries(const std::string& entry,
                                                         VQArchiveLayout layout) {
    if (layout == VQArchiveLayout::automatic) layout = detectLayout(entry);
    if (layout == VQArchiveLayout::plain) return {};
    const Archive& opened = archive(entry);
    const std::string base = std::string(withoutTrailingSlash(entry)) + std::string(kSeparator);
    std::vector<std::string> entries;
    auto classesAndJars = [&](std::string_view classes, std::string_view lib, bool byName) {
        if (hasMemberUnder(opened, std::string(classes) + "/"))
            entries.push_back(base + std::string(classes));
        std::vector<std::string_view> jars = jarsIn(opened, lib);
        if (byName) std::sort(jars.begin(), jars.end());
        for (std::string_view jar : jars) entries.push_back(base + std::string(jar));
    };
    switch (layout) {
        case VQArchiveLayout::boot: {
            if (hasMemberUnder(opened, "BOOT-INF/classes/"))
                entries.push_back(base + "BOOT-INF/classes");
            // The index's order first, then any jar it leaves out, in archive order.
            std::vector<std::string_view> jars = jarsIn(opened, "BOOT-INF/lib/");
            std::vector<bool> listed(jars.size(), false);
            for (const std::string& name : classPathIndex(opened)) {
                const auto at = std::find(jars.begin(), jars.end(), name);
                if (at == jars.end() || listed[static_cast<size_t>(at - jars.begin())]) continue;
                listed[static_cast<size_t>(at - jars.begin())] = true;
                entries.push_back(base + name);
            }
            for (size_t i = 0; i < jars.size(); ++i)
                if (!listed[i]) entries.push_back(base + std::string(jars[i]));
            break;
        }
        case VQArchiveLayout::war:
            classesAndJars("WEB-INF/classes", "WEB-INF/lib/", true);
            break;
        case VQArchiveLayout::ear: {
            std::vector<std::string_view> libs = jarsIn(opened, "lib/");
            std::sort(libs.begin(), libs.end());
            for (std::string_view jar : libs) entries.push_back(base + std::string(jar));
            std::vector<std::string_view> modules;
            for (const VQZipMember& m : opened.members)
                if (m.name.find('/') == std::string_view::npos &&
                    (endsWithEither(m.name, ".jar", ".JAR") ||
                     endsWithEither(m.name, ".war", ".WAR")))
                    modules.push_back(m.name);
            std::sort(modules.begin(), modules.end());
            modules.erase(std::unique(modules.begin(), modules.end()), modules.end());
            for (std::string_view module : modules) {
                const std::string nested = base + std::string(module);
                if (endsWithEither(module, ".war", ".WAR")) {
                    const auto web = layoutEntries(nested, VQArchiveLayout::war);
                    entries.insert(entries.end(), web.begin(), web.end());
                } else {
                    entries.push_back(nested);
                }
            }
            break;
        }
        case VQArchiveLayout::plain:
        case VQArchiveLayout::automatic:
            break;
    }
    return entries;
}

}  // namespace ornith
