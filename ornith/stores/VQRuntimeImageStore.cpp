#include "ornith/stores/VQRuntimeImageStore.h"

#include <libdeflate.h>

#include <algorithm>
#include <span>

#include "ornith/base/VQByteCursor.h"
#include "ornith/base/VQEndian.h"
#include "ornith/base/VQException.h"
#include "ornith/base/VQFormat.h"
#include "ornith/base/VQLog.h"
#include "ornith/base/VQText.h"
#include "ornith/classfile/VQPathUtilities.h"

namespace ornith {

namespace {

constexpr uint32_t kImageMagic = 0xCAFEDADA;
constexpr uint32_t kCompressedMagic = 0xCAFEFAFA;
constexpr size_t kHeaderLength = 28;              // seven 32-bit words
constexpr size_t kCompressedHeaderLength = 29;    // magic, two lengths, name, unused, flag
constexpr uint64_t kMaxIndexLength = 256u << 20;  // a full JDK's is about 1.3 MB
// Layers of compression one resource may carry (jlink writes one); a bound, so that a
// resource that inflates to another compressed resource cannot keep the reader busy.
constexpr int kMaxCompressionLayers = 4;
// The most deflate can make of one input byte, plus slack for the stream's own framing.
constexpr uint64_t kMaxInflateRatio = 1032;

enum Attribute : unsigned {
    kEnd = 0,
    kModule = 1,
    kParent = 2,
    kBase = 3,
    kExtension = 4,
    kOffset = 5,
    kCompressed = 6,
    kUncompressed = 7,
    kAttributeCount = 8,
};

// The image's name hash (FNV-1 style over the name's bytes, 31 bits), seeded either
// with the default or with the redirect table's value for a crowded bucket.
constexpr uint32_t kHashMultiplier = 0x01000193;
uint32_t imageHash(std::string_view name, uint32_t seed = kHashMultiplier) noexcept {
    for (const char c : name) seed = (seed * kHashMultiplier) ^ static_cast<uint8_t>(c);
    return seed & 0x7FFFFFFF;
}

// "java.lang" → "java/lang".
std::string internalPath(std::string_view dotted) {
    std::string path(dotted);
    std::replace(path.begin(), path.end(), '.', '/');
    return path;
}

bool startsWith(std::string_view text, std::string_view prefix) noexcept {
    return text.substr(0, prefix.size()) == prefix;
}

// Names in an image are in modified UTF-8, and hashed as such: characters beyond U+FFFF
// are stored as two three-byte surrogates where standard UTF-8, which the library speaks,
// has one four-byte sequence. Names are converted at the store's edges; almost every name
// is ASCII and passes through untouched.
bool hasFourByteSequences(std::string_view text) noexcept {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return VQUTF8SequenceLength(static_cast<uint8_t>(c)) == 4; });
}

std::string toModifiedUtf8(std::string_view text) {
    if (!hasFourByteSequences(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    const uint8_t* const end = p + text.size();
    while (p < end) {
        const VQUTF8Step step = VQDecodeUTF8(p, end);
        if (step.valid && step.value >= 0x10000) {
            char bytes[6];
            out.append(bytes, VQEncodeModifiedUTF8(step.value, bytes));
        } else {
            // Everything else is the same in both forms, and ill-formed bytes are kept.
            out.append(reinterpret_cast<const char*>(p), step.length);
        }
        p += step.length;
    }
    return out;
}

std::string fromModifiedUtf8(std::string_view text) {
    // A high surrogate is ED A0..AF; without one the text is standard UTF-8 already.
    if (text.find('\xED') == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    const uint8_t* const end = p + text.size();
    while (p < end) {
        // Only surrogate pairs differ from UTF-8; everything else, C0 80 and ill-formed
        // bytes too, is kept as the image has it.
        if (*p == 0xED) {
            const VQUTF8Step step = VQDecodeModifiedUTF8(p, end);
            if (step.valid && step.value >= 0x10000) {
                VQAppendUTF8(out, step.value);
                p += step.length;
                continue;
            }
        }
        out.push_back(static_cast<char>(*p++));
    }
    return out;
}

[[noreturn]] void refuse(const std::string& reason,
                         VQErrorKind kind = VQErrorKind::corruptArchive) {
    throw VQInvalidArgumentException(reason, kind);
}

struct InflaterDeleter {
    void operator()(libdeflate_decompressor* d) const noexcept { libdeflate_free_decompressor(d); }
};

}  // namespace

const VQClassStoreKind VQRuntimeImageStore::storeKind{
    "VQRuntimeImageStore", &VQRuntimeImageStore::canGrokName, &VQRuntimeImageStore::storeWithName};

bool VQRuntimeImageStore::canGrokName(const std::string& name) {
    const std::string_view n(name);
    const size_t slash = n.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? n : n.substr(slash + 1);
    return last == "modules" && VQIsRegularFile(name);
}

std::shared_ptr<VQClassStore> VQRuntimeImageStore::storeWithName(const std::string& name) {
    return std::make_shared<VQRuntimeImageStore>(name);
}

VQRuntimeImageStore::VQRuntimeImageStore(std::string name) : _name(std::move(name)) {
    VQFileStatus status = VQFileStatus::ok;
    _file = VQFile::openRegular(_name, &status);
    if (!_file) refuse(VQFileStatusText(status), VQErrorKind::unreadableFile);

    uint8_t header[kHeaderLength];
    if (_file.size() < kHeaderLength || _file.readAt(0, header, kHeaderLength) != VQFileStatus::ok)
        refuse("not a runtime image (too short for its header)");
    // The image is written in the byte order of the machine that made it; the magic says
    // which.
    if (VQLoadLE32(header) == kImageMagic)
        _bigEndian = false;
    else if (VQLoadBE32(header) == kImageMagic)
        _bigEndian = true;
    else
        refuse("not a runtime image (bad magic)");
    const uint32_t version = loadU32(header + 4);
    if (version != 0x00010000)
        refuse(
            VQFormat("runtime image version %u.%u not supported", version >> 16, version & 0xFFFF));
    _resourceCount = loadU32(header + 12);
    _tableLength = loadU32(header + 16);
    const uint64_t locationsLength = loadU32(header + 20);
    const uint64_t stringsLength = loadU32(header + 24);
    const uint64_t tableBytes = uint64_t{_tableLength} * 4;
    _indexLength = kHeaderLength + 2 * tableBytes + locationsLength + stringsLength;
    if (_indexLength > _file.size()) refuse("runtime image truncated (index beyond the file)");
    if (_indexLength > kMaxIndexLength) refuse("runtime image index too large");

    _index = VQLargeBytes(static_cast<size_t>(_indexLength - kHeaderLength));
    if (const VQFileStatus read = _file.readAt(kHeaderLength, _index.data(), _index.size());
        read != VQFileStatus::ok)
        refuse(VQFileStatusText(read));
    _offsetsStart = static_cast<size_t>(tableBytes);
    _locationsStart = static_cast<size_t>(2 * tableBytes);
    _locationsLength = static_cast<size_t>(locationsLength);
    _stringsStart = _locationsStart + _locationsLength;
    _stringsLength = static_cast<size_t>(stringsLength);
}

std::string VQRuntimeImageStore::kindName() const {
    return "VQRuntimeImageStore";
}

const std::string& VQRuntimeImageStore::name() const {
    return _name;
}

// ---- The index ----

uint32_t VQRuntimeImageStore::loadU32(const uint8_t* p) const noexcept {
    return _bigEndian ? VQLoadBE32(p) : VQLoadLE32(p);
}

std::optional<std::string_view> VQRuntimeImageStore::stringAt(uint64_t offset) const noexcept {
    if (offset >= _stringsLength) return std::nullopt;
    const std::string_view strings(reinterpret_cast<const char*>(_index.data() + _stringsStart),
                                   _stringsLength);
    const size_t end = strings.find('\0', static_cast<size_t>(offset));
    if (end == std::string_view::npos) return std::nullopt;
    return strings.substr(static_cast<size_t>(offset), end - static_cast<size_t>(offset));
}

bool VQRuntimeImageStore::locationAt(uint64_t offset, Location& location) const noexcept {
    if (offset >= _locationsLength) return false;
    VQByteCursor cursor(
        std::span<const uint8_t>(_index.data() + _locationsStart, _locationsLength));
    cursor.seek(static_cast<size_t>(offset));
    uint64_t values[kAttributeCount] = {};
    // Each attribute is a byte (kind << 3 | length - 1) and a big-endian value of 1 to 8
    // bytes; the list ends at a byte below 8. Every attribute consumes at least two bytes,
    // so the walk ends within the table whatever the bytes say.
    for (;;) {
        uint8_t head = 0;
        if (!cursor.u8(head)) return false;
        if (head < 8) break;
        const unsigned kind = head >> 3;
        if (kind >= kAttributeCount) return false;
        const std::span<const uint8_t> bytes = cursor.bytes((head & 7u) + 1u);
        if (bytes.empty()) return false;
        uint8_t wide[8] = {};
        std::copy(bytes.begin(), bytes.end(), wide + (8 - bytes.size()));
        values[kind] = VQLoadBE64(wide);
    }
    location =
        Location{values[kModule], values[kParent],     values[kBase],        values[kExtension],
                 values[kOffset], values[kCompressed], values[kUncompressed]};
    return true;
}

// The full name is "/MODULE/PARENT/BASE.EXTENSION", each part present only when its
// string offset is not zero (the base always is). Compared piece by piece, without
// building the name.
bool VQRuntimeImageStore::nameMatches(const Location& location,
                                      std::string_view fullName) const noexcept {
    auto take = [&fullName](std::string_view piece) {
        if (!startsWith(fullName, piece)) return false;
        fullName.remove_prefix(piece.size());
        return true;
    };
    auto takeString = [&](uint64_t offset) {
        const auto text = stringAt(offset);
        return text && take(*text);
    };
    if (location.module != 0 && !(take("/") && takeString(location.module) && take("/")))
        return false;
    if (location.parent != 0 && !(takeString(location.parent) && take("/"))) return false;
    if (!takeString(location.base)) return false;
    if (location.extension != 0 && !(take(".") && takeString(location.extension))) return false;
    return fullName.empty();
}

std::optional<std::string> VQRuntimeImageStore::fullNameOf(const Location& location) const {
    const auto module = stringAt(location.module), parent = stringAt(location.parent),
               base = stringAt(location.base), extension = stringAt(location.extension);
    if (!module || !parent || !base || !extension) return std::nullopt;
    std::string name;
    if (location.module != 0) name.append("/").append(*module).append("/");
    if (location.parent != 0) name.append(*parent).append("/");
    name.append(*base);
    if (location.extension != 0) name.append(".").append(*extension);
    return name;
}

std::optional<VQRuntimeImageStore::Location> VQRuntimeImageStore::findLocation(
    std::string_view name) const {
    if (_tableLength == 0) return std::nullopt;
    std::string converted;
    std::string_view fullName = name;
    if (hasFourByteSequences(name)) fullName = converted = toModifiedUtf8(name);
    const uint32_t bucket = imageHash(fullName) % _tableLength;
    const auto redirect = static_cast<int32_t>(loadU32(_index.data() + size_t{bucket} * 4));
    uint32_t slot;
    if (redirect < 0) {
        // The bucket holds one name: the value is the complement of its slot.
        slot = ~static_cast<uint32_t>(redirect);
    } else if (redirect > 0) {
        // A crowded bucket: the value seeds a second hash that spreads its names.
        slot = imageHash(fullName, static_cast<uint32_t>(redirect)) % _tableLength;
    } else {
        return std::nullopt;
    }
    // A hostile redirect may name a slot outside the table; the table is never chained,
    // so one step is all there is.
    if (slot >= _tableLength) return std::nullopt;
    const uint32_t offset = loadU32(_index.data() + _offsetsStart + size_t{slot} * 4);
    Location location;
    // Every hash table answers some slot for any name: only the name stored there says
    // whether it is the one asked for.
    if (!locationAt(offset, location) || !nameMatches(location, fullName)) return std::nullopt;
    return location;
}

// ---- Contents ----

std::shared_ptr<const VQByteBuffer> VQRuntimeImageStore::readResource(const Location& location,
                                                                      std::string_view what) const {
    auto fail = [&](const std::string& reason) -> std::shared_ptr<const VQByteBuffer> {
        VQLog(VQFormat("Cannot read %.*s from the runtime image %s: %s",
                       static_cast<int>(what.size()), what.data(), _name.c_str(), reason.c_str()));
        return nullptr;
    };
    const bool compressed = location.compressedLength != 0;
    const uint64_t stored = compressed ? location.compressedLength : location.length;
    // The contents follow the index, which the constructor found within the file.
    const uint64_t contentSpace = _file.size() - _indexLength;
    if (location.length > kVQMaxDataLength || stored > contentSpace ||
        location.offset > contentSpace - stored)
        return fail("resource lies outside the file");
    auto buffer = VQByteBuffer::bufferWithLength(static_cast<size_t>(stored));
    if (const VQFileStatus status =
            _file.readAt(_indexLength + location.offset, buffer->mutableBytes(), buffer->length());
        status != VQFileStatus::ok)
        return fail(VQFileStatusText(status));
    if (!compressed) return buffer;

    std::shared_ptr<const VQByteBuffer> content = std::move(buffer);
    for (int layer = 0;; ++layer) {
        if (content->length() < kCompressedHeaderLength ||
            loadU32(content->bytes()) != kCompressedMagic)
            break;
        if (layer == kMaxCompressionLayers) return fail("too many layers of compression");
        const uint8_t* header = content->bytes();
        const uint64_t payloadLength = _bigEndian ? VQLoadBE64(header + 4) : VQLoadLE64(header + 4);
        const uint64_t length = _bigEndian ? VQLoadBE64(header + 12) : VQLoadLE64(header + 12);
        const auto method = stringAt(loadU32(header + 20));
        if (!method) return fail("compression method not named");
        if (*method != "zip")
            return fail(VQFormat("compressed by '%.*s', which is not supported",
                                 static_cast<int>(method->size()), method->data()));
        const uint64_t available = content->length() - kCompressedHeaderLength;
        if (payloadLength > available) return fail("compressed length beyond the resource");
        if (length > kVQMaxDataLength || length > payloadLength * kMaxInflateRatio + 64)
            return fail("inflated length out of bounds");
        std::unique_ptr<libdeflate_decompressor, InflaterDeleter> inflater(
            libdeflate_alloc_decompressor());
        if (!inflater) return fail("out of memory");
        auto out = VQByteBuffer::bufferWithLength(static_cast<size_t>(length));
        size_t produced = 0;
        if (libdeflate_zlib_decompress(inflater.get(), header + kCompressedHeaderLength,
                                       static_cast<size_t>(payloadLength), out->mutableBytes(),
                                       out->length(), &produced) != LIBDEFLATE_SUCCESS ||
            produced != length)
            return fail("compressed data corrupt");
        content = std::move(out);
    }
    if (content->length() != location.length) return fail("length differs from the index");
    return content;
}

std::vector<uint32_t> VQRuntimeImageStore::directoryValues(std::string_view fullName) const {
    std::vector<uint32_t> values;
    const auto location = findLocation(fullName);
    if (!location) return values;
    const auto content = readResource(*location, fullName);
    if (!content) return values;
    values.reserve(content->length() / 4);
    for (size_t at = 0; at + 4 <= content->length(); at += 4)
        values.push_back(loadU32(content->bytes() + at));
    return values;
}

std::shared_ptr<const VQByteBuffer> VQRuntimeImageStore::dataForResourceName(
    std::string_view fullName) const {
    if (!_isUsableName(fullName)) return nullptr;
    const auto location = findLocation(fullName);
    return location ? readResource(*location, fullName) : nullptr;
}

// ---- Packages and classes ----

const std::vector<std::string_view>* VQRuntimeImageStore::modulesOfPackage(
    std::string_view packageName) const {
    const std::string key(packageName);
    if (auto cached = _packageModules.find(key); cached != _packageModules.end())
        return &cached->second;
    const std::string directory = "/packages/" + key;
    if (!findLocation(directory)) return nullptr;
    // Pairs of (no resources of its own in that module, the module's name).
    std::vector<std::string_view> modules;
    const std::vector<uint32_t> values = directoryValues(directory);
    for (size_t i = 0; i + 1 < values.size(); i += 2)
        if (const auto module = stringAt(values[i + 1]); module && !module->empty())
            modules.push_back(*module);
    return &_packageModules.emplace(key, std::move(modules)).first->second;
}

std::optional<VQRuntimeImageStore::Location> VQRuntimeImageStore::classLocation(
    std::string_view className, std::string_view* moduleName) const {
    if (!_isUsableName(className)) return std::nullopt;
    const size_t dot = className.rfind('.');
    // No module puts a class in the unnamed package: a bare name (module-info among
    // them) names nothing here.
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == className.size())
        return std::nullopt;
    const auto* modules = modulesOfPackage(className.substr(0, dot));
    if (!modules) return std::nullopt;
    const std::string path = internalPath(className.substr(0, dot)) + "/" +
                             std::string(className.substr(dot + 1)) + ".class";
    std::string fullName;
    for (const std::string_view module : *modules) {
        fullName.assign("/").append(module).append("/").append(path);
        if (auto location = findLocation(fullName)) {
            if (moduleName) *moduleName = module;
            return location;
        }
    }
    return std::nullopt;
}

bool VQRuntimeImageStore::containsClassName(std::string_view className) const {
    return classLocation(className).has_value();
}

std::shared_ptr<const VQByteBuffer> VQRuntimeImageStore::dataForClassName(
    std::string_view className) const {
    const auto location = classLocation(className);
    return location ? readResource(*location, className) : nullptr;
}

std::optional<std::string> VQRuntimeImageStore::moduleNameForClassName(
    std::string_view className) const {
    std::string_view module;
    if (!classLocation(className, &module)) return std::nullopt;
    return fromModifiedUtf8(module);
}

std::optional<std::string> VQRuntimeImageStore::moduleNameForPackageName(
    std::string_view packageName) const {
    if (packageName.empty() || !_isUsableName(packageName)) return std::nullopt;
    // Pairs of (no resources of the package in that module, the module's name).
    const std::vector<uint32_t> values = directoryValues("/packages/" + std::string(packageName));
    for (size_t i = 0; i + 1 < values.size(); i += 2) {
        if (values[i] != 0) continue;
        if (const auto module = stringAt(values[i + 1]); module && !module->empty())
            return fromModifiedUtf8(*module);
    }
    return std::nullopt;
}

bool VQRuntimeImageStore::containsPackageName(std::string_view packageName) const {
    if (packageName.empty()) return true;
    return _isUsableName(packageName) && findLocation("/packages/" + std::string(packageName));
}

const std::vector<std::string>& VQRuntimeImageStore::allPackageNames() const {
    if (_packageNames) return *_packageNames;
    std::vector<std::string> names;
    // /packages lists the location of every /packages/P, intermediate packages included.
    for (const uint32_t offset : directoryValues("/packages")) {
        Location location;
        if (!locationAt(offset, location)) continue;
        const auto full = fullNameOf(location);
        if (!full || !startsWith(*full, "/packages/")) continue;
        // Listed only when found by name too, so that a listing never names a package
        // that containsPackageName denies, whatever a damaged index says.
        if (full->size() > 10 && findLocation(*full))
            names.push_back(fromModifiedUtf8(std::string_view(*full).substr(10)));
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return *(_packageNames = std::move(names));
}

std::optional<std::vector<std::string>> VQRuntimeImageStore::packageNamesInPackage(
    std::optional<std::string_view> packageName) const {
    if (!packageName || !containsPackageName(*packageName)) return std::nullopt;
    const std::vector<std::string>& all = allPackageNames();
    std::vector<std::string> names;
    const std::string prefix =
        packageName->empty() ? std::string() : std::string(*packageName) + ".";
    for (auto it = std::lower_bound(all.begin(), all.end(), prefix);
         it != all.end() && startsWith(*it, prefix); ++it) {
        const std::string_view rest = std::string_view(*it).substr(prefix.size());
        if (!rest.empty() && rest.find('.') == std::string_view::npos) names.emplace_back(rest);
    }
    return names;
}

std::optional<std::vector<std::string>> VQRuntimeImageStore::classNamesInPackage(
    std::optional<std::string_view> packageName) const {
    if (!packageName || !_isUsableName(*packageName)) return std::nullopt;
    if (packageName->empty()) return std::vector<std::string>();
    const auto* modules = modulesOfPackage(*packageName);
    if (!modules) return std::nullopt;
    const std::string path = toModifiedUtf8(internalPath(*packageName));
    std::vector<std::string> names;
    for (const std::string_view module : *modules) {
        // /modules/M/java/lang lists the package's resources and subdirectories.
        const std::string directory = "/modules/" + std::string(module) + "/" + path;
        for (const uint32_t offset : directoryValues(directory)) {
            Location location;
            if (!locationAt(offset, location)) continue;
            const auto owner = stringAt(location.module), parent = stringAt(location.parent),
                       base = stringAt(location.base), extension = stringAt(location.extension);
            if (!owner || !parent || !base || !extension) continue;
            if (*owner != module || *parent != path || *extension != "class" || base->empty())
                continue;
            // As for packages: what is listed is found by name.
            std::string name = fromModifiedUtf8(*base);
            if (!classLocation(std::string(*packageName) + "." + name)) continue;
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::vector<std::string> VQRuntimeImageStore::moduleNames() const {
    std::vector<std::string> names;
    for (const uint32_t offset : directoryValues("/modules")) {
        Location location;
        if (!locationAt(offset, location)) continue;
        const auto full = fullNameOf(location);
        if (full && startsWith(*full, "/modules/") && full->size() > 9)
            names.push_back(fromModifiedUtf8(std::string_view(*full).substr(9)));
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::vector<std::string> VQRuntimeImageStore::resourceNames() const {
    std::vector<std::string> names;
    for (uint32_t slot = 0; slot < _tableLength; ++slot) {
        const uint32_t offset = loadU32(_index.data() + _offsetsStart + size_t{slot} * 4);
        Location location;
        if (offset == 0 || !locationAt(offset, location)) continue;
        if (auto full = fullNameOf(location)) names.push_back(fromModifiedUtf8(*full));
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace ornith
