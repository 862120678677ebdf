#include "store/store_files.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>

#include "store/script_store.h"
#include "text/cp1251.h"

namespace zeph::store::files {

using text::operator""_cp;

std::string PathText(const fs::path& path) {
    try {
        return text::FromUtf16(path.u16string());
    } catch (const std::exception&) {
        return path.string();
    }
}

bool FileExists(const fs::path& path) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    return status.type() != fs::file_type::not_found;
}

bool Loads(xml::IFileSystem& files, const fs::path& path, std::string* bytes) noexcept {
    try {
        if (!FileExists(path)) return false;
        std::string read = xml::ReadAll(files, path);
        auto doc = xml::CreateXmlDocument();
        doc->LoadFromBytes(read);
        if (!doc->DocumentElement()) return false;
        if (bytes) *bytes = std::move(read);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

namespace {

// The backup's copy is a second one: it is not flushed, since the store written right after it
// is, and a failure to write it does not stop the save of the store itself.
void WriteBackup(xml::IFileSystem& files, const fs::path& path, std::string_view bytes) noexcept {
    try {
        auto writer = files.Create(path);
        writer->Write(bytes);
        writer->Close();
    } catch (const std::exception&) {
        files.Remove(path);  // no half backup
    }
}

}  // namespace

// A second name for the same file costs nothing, and a save never writes into the old file (it
// puts a new one in its place), so the copy keeps the old bytes. Where the volume has no such
// names, the bytes are copied. Either way the store itself is untouched: a crash here leaves it
// as it was.
void CopyForBackup(xml::IFileSystem& files, const fs::path& store,
                   const fs::path& waiting) noexcept {
    files.Remove(waiting);
    std::error_code ec;
    // A link shares the store's attributes: where the store is read-only, so would the link be,
    // and Windows refuses to remove a read-only file, so a failed save would leave it behind.
    const fs::perms perms = fs::status(store, ec).permissions();
    if (!ec && (perms & fs::perms::owner_write) != fs::perms::none) {
        fs::create_hard_link(store, waiting, ec);
        if (!ec) return;
    }
    try {
        WriteBackup(files, waiting, xml::ReadAll(files, store));
    } catch (const std::exception&) {
    }
}

void TakeAsBackup(xml::IFileSystem& files, const fs::path& waiting,
                  const fs::path& backup) noexcept {
    if (!FileExists(waiting)) return;
    try {
        files.Replace(waiting, backup);
    } catch (const std::exception&) {
        files.Remove(waiting);
    }
}

fs::path AsideName(const fs::path& file) {
    for (int n = 1;; ++n) {
        fs::path aside = file;
        aside += n == 1 ? std::string(".damaged") : ".damaged" + std::to_string(n);
        if (!FileExists(aside)) return aside;
    }
}

fs::path MoveAside(xml::IFileSystem& files, const fs::path& file) {
    fs::path aside = AsideName(file);
    files.Replace(file, aside);
    return aside;
}

std::unique_ptr<xml::IFileLock> LockStore(xml::IFileSystem& files, const fs::path& store,
                                          int wait_ms) {
    fs::path name = store;
    name += ".lock";
    // The turn: whoever wants the lock takes "<lock>.next" first and holds it while it waits. A
    // holder that lets go and wants the lock again at once finds a waiter holding the turn and
    // waits behind it; without the turn, polling would rarely hit the moment the lock is free.
    fs::path turn_name = name;
    turn_name += ".next";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    std::unique_ptr<xml::IFileLock> turn;
    for (;;) {
        if (!turn) turn = files.TryLock(turn_name);
        if (turn) {
            if (auto lock = files.TryLock(name)) return lock;  // the turn passes on here
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    throw StoreError(std::string(u8"Файл настроек \""_cp) + PathText(store) +
                     std::string(u8"\" занят другой копией программы; ничего не изменено. "
                                 u8"Повторите действие через несколько секунд."_cp));
}

}  // namespace zeph::store::files
