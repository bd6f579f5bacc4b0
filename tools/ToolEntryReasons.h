#pragma once
// Why a class-path entry or a file gives the tool nothing, in the system's words where the
// system has them. The stores answer an unusable archive or directory with an empty
// index (as a class path must go on past it); an archive's store remembers why, and a
// directory or file is looked at again to say why.

#include <optional>
#include <string>

#include "ornith/stores/VQZipFileStore.h"

namespace ornith::tool {

// Why the file cannot be opened for reading ("permission denied"); absent when it can.
std::optional<std::string> unopenableFileReason(const std::string& path);
// Why an archive's store indexed nothing, as the store found it: the file cannot be
// opened, it is too large, or it is no zip archive. Absent for a readable archive that
// simply holds no classes (a manifest-only "pathing jar", resources).
std::optional<std::string> unusableArchiveReason(const VQZipFileStore& store);
// Why a directory cannot be listed; absent when it can.
std::optional<std::string> unreadableDirectoryReason(const std::string& path);

}  // namespace ornith::tool
