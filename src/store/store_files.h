// The files beside the store and how the store handles them: the backup, files kept aside, and
// the lock that lets one process at a time work on the store. Each goes through the store's
// file system.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "xml/xml.h"

namespace zeph::store::files {

namespace fs = std::filesystem;

// The path as code page 1251 text for messages.
std::string PathText(const fs::path& path);

// Missing only when the platform says so for sure; a path that cannot be examined counts as
// present, so that loading it reports the real error instead of the file being replaced.
bool FileExists(const fs::path& path);

// Whether the file reads as a store document (well-formed, with a root element); its bytes go to
// `bytes` when it does.
bool Loads(xml::IFileSystem& files, const fs::path& path, std::string* bytes = nullptr) noexcept;

// Puts a copy of the store about to be replaced beside it as `waiting` (see the .cpp). Never
// fails: without a copy the save goes on, and the old backup stays.
void CopyForBackup(xml::IFileSystem& files, const fs::path& store,
                   const fs::path& waiting) noexcept;
// Makes `waiting` the backup once the save it preceded has replaced the store. Never fails: a
// backup that cannot be replaced stays as it was, and the copy goes.
void TakeAsBackup(xml::IFileSystem& files, const fs::path& waiting,
                  const fs::path& backup) noexcept;

// A free name beside `file` for keeping it aside.
fs::path AsideName(const fs::path& file);

// Renames `file` to a free name beside it ("<name>.damaged", "<name>.damaged2", ...) and returns
// that name. Nothing is ever deleted on the way.
fs::path MoveAside(xml::IFileSystem& files, const fs::path& file);

// Takes the lock file, waiting up to `wait_ms` for another process to let go; raises StoreError
// with a message for the user when it cannot be had. Waiters take turns with the holder: one
// that lets go and comes straight back waits behind a process that was waiting.
std::unique_ptr<xml::IFileLock> LockStore(xml::IFileSystem& files, const fs::path& store,
                                          int wait_ms);

}  // namespace zeph::store::files
