#pragma once
// Failures of the class-file, model, store and library layers: a named exception with a reason.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace ornith {

// What kind of failure an exception reports, so that a caller can act on it without
// reading its text. The raise site sets it; the reason stays the text a person reads.
enum class VQErrorKind {
    other,                  // a failure with no kind of its own below
    notClassFile,           // the bytes do not start as a class file does, or are too long
    truncatedClassFile,     // a class file ends before its structure does
    badPoolIndex,           // a constant-pool index out of range or of the wrong kind
    unknownConstant,        // a constant-pool tag the class-file format does not define
    malformedAttribute,     // an attribute's bytes disagree with its own structure
    unreadableFile,         // a file that exists but cannot be opened or read
    corruptArchive,         // an archive, image or member whose bytes are damaged
    unsupportedArchive,     // an archive feature that cannot be read (a compression method)
    noStoreForEntry,        // a class-path entry that no store kind accepts
    notImplemented,         // an operation that a kind does not supply
    internalInconsistency,  // the library's own state disagrees with itself
};

// The kind's name as scripts see it ("truncatedClassFile").
const char* VQErrorKindName(VQErrorKind kind) noexcept;

class VQException : public std::runtime_error {
public:
    VQException(std::string name, std::string reason, VQErrorKind kind = VQErrorKind::other,
                std::optional<uint64_t> offset = std::nullopt, std::string detail = {});

    const std::string& name() const noexcept { return _name; }
    const std::string& reason() const noexcept { return _reason; }
    VQErrorKind kind() const noexcept { return _kind; }
    // Where in the file or member decoding stopped, when the raise site knows it.
    std::optional<uint64_t> offset() const noexcept { return _offset; }
    // The cause alone, without the message around it ("invalid compressed data" of a
    // corrupt archive's reason); empty where the reason is all there is to say.
    const std::string& detail() const noexcept { return _detail; }

private:
    std::string _name;
    std::string _reason;
    VQErrorKind _kind;
    std::optional<uint64_t> _offset;
    std::string _detail;
};

class VQInvalidArgumentException : public VQException {
public:
    explicit VQInvalidArgumentException(std::string reason, VQErrorKind kind = VQErrorKind::other,
                                        std::optional<uint64_t> offset = std::nullopt,
                                        std::string detail = {});
};

class VQInternalInconsistencyException : public VQException {
public:
    explicit VQInternalInconsistencyException(
        std::string reason, VQErrorKind kind = VQErrorKind::internalInconsistency);
};

}  // namespace ornith
