// What the store does with the files beside it when the store is missing or cannot be used: an
// interrupted save is finished or undone, a missing store comes back from the newest copy that
// loads, and the user is told (or asked) which file it came from. Files that do not load are kept
// aside, never deleted.
#include <string>
#include <utility>
#include <vector>

#include "store/script_store.h"
#include "store/store_files.h"
#include "text/cp1251.h"

namespace zeph::store {

namespace {

using text::operator""_cp;
namespace fs = std::filesystem;
using files::FileExists;
using files::PathText;

std::string Quoted(const fs::path& file) {
    return "\"" + PathText(file.filename()) + "\"";
}

std::string QuotedList(const std::vector<fs::path>& files) {
    std::string text;
    for (std::size_t i = 0; i < files.size(); ++i) text += (i ? ", " : "") + Quoted(files[i]);
    return text;
}

std::string MissingText(const fs::path& store) {
    return std::string(u8"Файл настроек \""_cp) + PathText(store) +
           std::string(u8"\" не найден."_cp);
}

// The files of the folder that did not load and were kept aside, for the notice.
std::string AsideText(const std::vector<fs::path>& aside) {
    if (aside.empty()) return {};
    return std::string(u8" Файлы, которые не удалось прочитать, оставлены рядом: "_cp) +
           QuotedList(aside) + ".";
}

}  // namespace

bool ScriptStore::RecoverIfMissing(const fs::path& path) {
    WritePendingElsewhere(path);
    // A save of this action waits to be written: the store is there for the action.
    if (pending_) return true;
    if (FileExists(path)) {
        SettleWaitingBackup(path);
        return true;
    }
    written_hold_ = 0;  // what comes back is not what this store wrote
    const fs::path temp = xml::TempFileName(path);
    const fs::path waiting = WaitingBackupPath(path);
    const fs::path backup = BackupPath(path);
    std::vector<fs::path> aside;
    // An interrupted save: its temporary file holds the newest document if it is complete, and
    // the store it replaced, waiting beside it, becomes the backup.
    if (files::Loads(files_, temp)) {
        files_.Replace(temp, path);
        files::TakeAsBackup(files_, waiting, backup);
        Notice(MissingText(path) + std::string(u8" Он восстановлен из файла "_cp) + Quoted(temp) +
               std::string(u8", оставшегося от прерванного сохранения."_cp));
        return true;
    }
    // A partial one may still hold most of the scripts: it is kept, only out of the way.
    if (FileExists(temp)) aside.push_back(files::MoveAside(files_, temp));
    // Then the store as that save found it.
    if (files::Loads(files_, waiting)) {
        files_.Replace(waiting, path);
        Notice(MissingText(path) + std::string(u8" Он восстановлен из файла "_cp) +
               Quoted(waiting) + std::string(u8", сохраненного перед прерванным сохранением."_cp) +
               AsideText(aside));
        return true;
    }
    if (FileExists(waiting)) aside.push_back(files::MoveAside(files_, waiting));
    // Otherwise the store as it was before the last action.
    std::string bytes;
    if (files::Loads(files_, backup, &bytes)) {
        xml::WriteSafely(files_, path, bytes);
        Notice(MissingText(path) + std::string(u8" Он восстановлен из резервной копии "_cp) +
               Quoted(backup) +
               std::string(u8"; изменения, сделанные после нее, могли пропасть."_cp) +
               AsideText(aside));
        return true;
    }
    // Nothing loads: the default store follows, and the next save's backup must not take the
    // place of a damaged backup that may still hold something.
    if (FileExists(backup)) aside.push_back(files::MoveAside(files_, backup));
    if (!aside.empty())
        lost_ = MissingText(path) +
                std::string(
                    u8" Восстановить его не из чего: файлы рядом с ним не читаются и "
                    u8"оставлены под именами "_cp) +
                QuotedList(aside) + ".";
    return false;
}

// A copy left waiting beside a store that is present: a save was interrupted. If the store still
// holds the copy's bytes, the save never replaced it and the old backup stays; otherwise the copy
// is what the save replaced, and becomes the backup.
void ScriptStore::SettleWaitingBackup(const fs::path& path) {
    const fs::path waiting = WaitingBackupPath(path);
    if (!FileExists(waiting)) return;
    std::string copy;
    if (!files::Loads(files_, waiting, &copy)) {
        // Cut short while it was copied, before the save wrote anything: the store it copies is
        // whole.
        files_.Remove(waiting);
        return;
    }
    std::string store;
    try {
        store = xml::ReadAll(files_, path);
    } catch (const std::exception&) {
        return;  // settled by a later load
    }
    if (store == copy)
        files_.Remove(waiting);
    else
        files::TakeAsBackup(files_, waiting, BackupPath(path));
}

bool ScriptStore::OfferRestore(const fs::path& path, const std::string& error) {
    if (!ask_) return false;
    const fs::path temp = xml::TempFileName(path);
    std::string bytes;
    const bool from_temp = Restorable(temp, bytes);
    if (!from_temp && !Restorable(BackupPath(path), bytes)) return false;
    const fs::path source = from_temp ? temp : BackupPath(path);
    // Restoring writes through the temporary file: a partial one is kept aside first.
    const bool temp_aside = !from_temp && FileExists(temp);
    std::string question = error + std::string(u8"\r\n\r\nРядом лежит "_cp) +
                           std::string(from_temp ? u8"копия из незавершенного сохранения"_cp
                                                 : u8"резервная копия"_cp) +
                           " " + Quoted(source) +
                           std::string(
                               u8". Восстановить файл настроек из нее? Поврежденный файл останется "
                               u8"рядом под именем "_cp) +
                           Quoted(files::AsideName(path)) + ".";
    if (temp_aside)
        question += std::string(u8" Копия из незавершенного сохранения "_cp) + Quoted(temp) +
                    std::string(u8" для этого не годится и тоже останется рядом под именем "_cp) +
                    Quoted(files::AsideName(temp)) + ".";
    if (!ask_(question)) return false;
    written_hold_ = 0;  // the store is about to hold another file's bytes
    files::MoveAside(files_, path);
    if (from_temp) {
        files_.Replace(temp, path);
    } else {
        if (temp_aside) files::MoveAside(files_, temp);
        xml::WriteSafely(files_, path, bytes);
    }
    return true;
}

// The notices of what the store did by itself, told once by whoever shows them; a notice lost
// for want of memory is not worth failing the action for.
void ScriptStore::Notice(std::string text) {
    try {
        notices_.push_back(std::move(text));
    } catch (const std::exception&) {
    }
}

}  // namespace zeph::store
