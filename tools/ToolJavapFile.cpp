#include "ToolJavapFile.h"

#include <sys/stat.h>

#include <cctype>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "ToolDigest.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/stores/VQClassStore.h"
#include "ornith/stores/VQRuntimeImageStore.h"
#include "ornith/stores/zipfile.h"

namespace ornith::tool {

namespace {

std::string absolutePath(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

std::optional<int64_t> modificationTime(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return static_cast<int64_t>(status.st_mtime);
}

// "java/lang/String.class" for java.lang.String (a nested class keeps its '$').
std::string memberPath(const std::string& className) {
    std::string path = className;
    for (char& c : path)
        if (c == '.') c = '/';
    return path + ".class";
}

// The DOS date and time of an archive's member, as its local header records them, read
// as local time (as Java reads them). One archive's members are indexed at a time: a
// -v run over a whole jar asks for one member after another.
class ArchiveTimes {
public:
    std::optional<int64_t> timeOf(const std::string& archivePath, const std::string& member) {
        const std::lock_guard<std::mutex> lock(_mutex);
        try {
            if (archivePath != _path) {
                _path = archivePath;
                _offsets.clear();
                _archive = std::make_shared<VQZipArchive>(VQZipArchive::openFile(archivePath));
                _archive->readDirectory();
                _archive->forEachMember([&](const VQZipMember& m) {
                    _offsets.emplace(std::string(m.name), m.localHeaderOffset);
                    return 0;
                });
            }
            const auto found = _offsets.find(member);
            if (found == _offsets.end() || found->second == VQZipMember::kOutside)
                return std::nullopt;
            uint8_t dos[4];
            _archive->ensureOpen();
            if (_archive->readRaw(found->second + 10, dos, sizeof dos) != VQFileStatus::ok)
                return std::nullopt;
            _archive->closeFile();
            const auto time = static_cast<unsigned>(dos[0] | dos[1] << 8);
            const auto date = static_cast<unsigned>(dos[2] | dos[3] << 8);
            struct tm parts {};
            parts.tm_year = static_cast<int>((date >> 9) + 80);
            parts.tm_mon = static_cast<int>(((date >> 5) & 0xF) - 1);
            parts.tm_mday = static_cast<int>(date & 0x1F);
            parts.tm_hour = static_cast<int>(time >> 11);
            parts.tm_min = static_cast<int>((time >> 5) & 0x3F);
            parts.tm_sec = static_cast<int>((time & 0x1F) * 2);
            parts.tm_isdst = -1;
            const time_t seconds = std::mktime(&parts);
            if (seconds == static_cast<time_t>(-1)) return std::nullopt;
            return static_cast<int64_t>(seconds);
        } catch (const std::exception&) {
            // An archive that cannot be read again has no date to show.
            _path.clear();
            _offsets.clear();
            return std::nullopt;
        }
    }

private:
    std::mutex _mutex;
    std::string _path;
    std::shared_ptr<VQZipArchive> _archive;
    std::unordered_map<std::string, uint64_t> _offsets;
};

ArchiveTimes& archiveTimes() {
    static ArchiveTimes times;
    return times;
}

}  // namespace

std::string fileUriText(const std::string& absolutePath) {
    // What java.net.URI leaves as it is in a path; everything else ASCII is escaped (and
    // text beyond ASCII kept, as URI.toString keeps it).
    static constexpr std::string_view kKept = "-._~/!$&'()*+,;=:@";
    std::string text = "file://";
    for (char c : absolutePath) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || std::isalnum(byte) || kKept.find(c) != std::string_view::npos) {
            text.push_back(c);
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            text.push_back('%');
            text.push_back(kHex[byte >> 4]);
            text.push_back(kHex[byte & 0xF]);
        }
    }
    return text;
}

VQJavapFileInfo javapFileInfoForFile(const std::string& path, std::span<const uint8_t> bytes) {
    VQJavapFileInfo info;
    info.location = absolutePath(path);
    info.lastModified = modificationTime(path);
    info.size = bytes.size();
    info.sha256 = sha256Hex(bytes);
    return info;
}

VQJavapFileInfo javapFileInfoForClass(const VQClassLibrary& library, const std::string& className,
                                      std::span<const uint8_t> bytes) {
    VQJavapFileInfo info;
    info.size = bytes.size();
    info.sha256 = sha256Hex(bytes);
    for (const auto& store : library.classStores()) {
        if (!store->containsClassName(className)) continue;
        const std::string kind = store->kindName();
        const std::string entry = absolutePath(store->name());
        const std::string member = memberPath(className);
        if (kind == "VQFileSystemStore") {
            info.location = entry + "/" + member;
            info.lastModified = modificationTime(info.location);
        } else if (kind == "VQClassFileStore") {
            info.location = entry;
            info.lastModified = modificationTime(entry);
        } else if (kind == "VQRuntimeImageStore") {
            const auto* image = dynamic_cast<const VQRuntimeImageStore*>(store.get());
            const std::optional<std::string> module =
                image ? image->moduleNameForClassName(className) : std::nullopt;
            info.location = "jrt:/" + module.value_or("") + "/" + member;
            info.lastModified = modificationTime(entry);
        } else {
            // A jar, zip or jmod: javap's URI of a member of an archive.
            const std::string inArchive = kind == "VQJmodFileStore" ? "classes/" + member : member;
            info.location = "jar:" + fileUriText(entry) + "!/" + inArchive;
            info.lastModified = archiveTimes().timeOf(entry, inArchive);
        }
        break;
    }
    return info;
}

}  // namespace ornith::tool
