// The store's side of the version history: the text a stored script had goes to the history
// file beside the store before it is replaced, and a history that does not load is set aside.
// A history that cannot be written never fails the user's save; the user is told once.
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "store/script_history.h"
#include "store/script_store.h"
#include "store/store_files.h"
#include "text/cp1251.h"

namespace zeph::store {

using text::operator""_cp;
namespace fs = std::filesystem;
using files::PathText;

fs::path ScriptStore::HistoryPath() const {
    return FileInFolder(folder_, kHistoryFileName);
}

std::vector<ScriptVersion> ScriptStore::LoadHistory(const fs::path& path) {
    try {
        return ReadHistory(files_, path);
    } catch (const HistoryDamaged& e) {
        // Kept aside, not deleted: its versions may still be read by hand.
        const fs::path aside = files::MoveAside(files_, path);
        Notice(std::string(e.what()) + "\r\n" +
               std::string(u8"История версий скриптов отложена как \""_cp) + PathText(aside) +
               std::string(u8"\", начата новая."_cp));
        return {};
    }
}

void ScriptStore::KeepVersion(const xml::IXmlNode& record, std::string_view name) noexcept {
    try {
        std::string old_text = record.GetAttr("Text", "");
        if (old_text.empty()) return;
        const fs::path path = HistoryPath();
        std::vector<ScriptVersion> history = LoadHistory(path);
        const std::int64_t now = clock_ ? clock_()
                                        : std::chrono::duration_cast<std::chrono::seconds>(
                                              std::chrono::system_clock::now().time_since_epoch())
                                              .count();
        const std::size_t size = old_text.size();
        if (!AddVersion(history,
                        {std::string(name), ScriptLanguage(record), now, std::move(old_text)},
                        history_limits_)) {
            Notice(
                std::string(
                    u8"Прежний текст скрипта не помещен в историю версий: он слишком велик ("_cp) +
                std::to_string(size) + std::string(u8" байт)."_cp));
            return;
        }
        xml::WriteSafely(files_, path, HistoryBytes(history));
        history_failing_ = false;
    } catch (const std::exception& e) {
        if (std::exchange(history_failing_, true)) return;
        try {
            Notice(
                std::string(
                    u8"Не удалось записать историю версий скриптов: прежний текст скрипта в нее не попал.\r\n"_cp) +
                e.what());
        } catch (...) {
        }
    } catch (...) {
    }
}

}  // namespace zeph::store
