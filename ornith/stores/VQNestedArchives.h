#pragma once
// Archives inside archives, as applications are shipped: a class-path entry OUTER!/PATH
// names an archive or a directory inside an archive, at any depth (app.jar!/BOOT-INF/lib/
// x.jar, app.war!/WEB-INF/classes, app.ear!/web.war!/WEB-INF/lib/y.jar), as the "!/" of
// java's jar: URLs does.
//
// A stored nested archive is read in place, a window of the outer file (no copy, no
// temporary file); a deflated one is inflated once into memory, bounded by its recorded
// size and by a budget shared by everything one group (a class library) inflates. Hostile
// nesting is refused with a reason: a member that reaches into its archive's central
// directory (which any archive that contains itself does, so every level of nesting is
// strictly smaller than the one around it), nesting deeper than a limit, and inflating
// beyond the budget.
//
// Layouts name the entries an application's own loader reads from an archive: an
// executable jar's BOOT-INF/classes and BOOT-INF/lib/*.jar (in the order of
// BOOT-INF/classpath.idx when there is one), a web archive's WEB-INF/classes and
// WEB-INF/lib/*.jar, an enterprise archive's lib/*.jar and its modules.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ornith/stores/zipfile.h"

namespace ornith {

class VQZipFileStore;

enum class VQArchiveLayout : uint8_t { plain, automatic, boot, war, ear };

// "plain", "auto", "boot", "war", "ear"; absent for any other name.
std::optional<VQArchiveLayout> VQArchiveLayoutNamed(std::string_view name);
const char* VQArchiveLayoutName(VQArchiveLayout layout) noexcept;

// True when the entry holds "!/": it names something inside an archive.
bool VQIsNestedEntry(std::string_view entry) noexcept;
// The entry's pieces between the "!/" separators: "a.jar!/b.jar!/c" gives a.jar, b.jar, c.
std::vector<std::string> VQSplitNestedEntry(std::string_view entry);

struct VQNestingOptions {
    // Levels of archives inside the outermost file: app.jar!/lib/x.jar is one.
    size_t maxDepth = 8;
    // Bytes that deflated nested archives may take when inflated, in total.
    uint64_t inflateBudget = uint64_t{256} << 20;
};

// The nested archives of one group of stores: each outer archive is opened and its
// directory read once however many entries name members of it. Not synchronised, like
// the class library that owns it.
class VQNestedArchives {
public:
    explicit VQNestedArchives(VQNestingOptions options = {});
    ~VQNestedArchives();
    VQNestedArchives(const VQNestedArchives&) = delete;
    VQNestedArchives& operator=(const VQNestedArchives&) = delete;

    const VQNestingOptions& options() const noexcept { return _options; }
    // Bytes inflated so far, against the budget.
    uint64_t inflatedBytes() const noexcept { return _inflated; }

    // A store for OUTER!/PATH...: a jar store (a zip store for a name ending in .zip)
    // over the nested archive, or over the members below a directory of the archive.
    // Raises VQInvalidArgumentException saying why the entry cannot be read.
    std::shared_ptr<VQZipFileStore> storeForEntry(const std::string& entry);

    // The entries a layout makes of an archive entry (a file or a nested entry), in the
    // order its loader searches them. Automatic picks the layout from the members
    // (BOOT-INF/, WEB-INF/, or an .ear name or META-INF/application.xml) and gives
    // nothing for an archive of none; plain gives nothing. Raises as storeForEntry.
    std::vector<std::string> layoutEntries(const std::string& entry, VQArchiveLayout layout);
    // The layout automatic picks for the entry, plain for none.
    VQArchiveLayout detectLayout(const std::string& entry);

    // An opened archive with its directory.
    struct Archive {
        std::shared_ptr<const VQZipArchive> archive;
        std::vector<VQZipMember> members;  // directory order; names point into its directory
        std::unordered_map<std::string_view, size_t> byName;  // the first of each name
        size_t depth = 0;
        const VQZipMember* member(std::string_view name) const;
    };
    // The archive an entry names (OUTER or OUTER!/A!/B), opened once and kept.
    const Archive& archive(const std::string& entry);
    // A member of an opened archive opened as an archive, with the checks above: a
    // window for a stored member, memory for a deflated one. depth is the new archive's.
    VQZipArchive openMember(const Archive& outer, const VQZipMember& member, std::string name,
                            size_t depth);

private:
    VQNestingOptions _options;
    uint64_t _inflated = 0;
    std::unordered_map<std::string, std::unique_ptr<Archive>> _archives;
};

}  // namespace ornith
