// The configuration and script store "zpconfig.cfg": saved scripts, the scratch script, window
// placement and the editor's looks. Every operation loads the file afresh and, when it changes
// something, saves the whole document again; a save that would write what the file already
// holds writes nothing. The file's bytes are read at each user action's first load; only when
// they are exactly the bytes this store last read or wrote is the document reused (as a copy)
// instead of being parsed again. Within an action, once it saved, the file is the action's
// (under the lock) and its later loads take the saved document without reading.
//
// Saving never risks the user's scripts: the document is written to "zpconfig.cfg.tmp" and only
// then renamed over the store. The file it replaces becomes "zpconfig.cfg.bak" once per user
// action, so the backup holds the store as it was before the user's last action; it waits as
// "zpconfig.cfg.bak.new" until the save has replaced the store, so a save that fails leaves the
// old backup as it was. Processes sharing the data folder take turns through the lock file
// "zpconfig.cfg.lock", held from the first store operation of a user action to its end.
//
// A missing store is recovered from an interrupted save's temporary file, the store's copy
// waiting to become the backup, or the backup; the default store is made only when none loads,
// and a file that does not load is kept aside under a new name ("….damaged"), never deleted.
// The user is told what was recovered from where. A store that is present but does not load, or
// loads but cannot be applied (no "Configuration", a value that does not convert), keeps its
// error; when a usable temporary file or backup lies beside it, the user is asked whether to
// restore from it.
//
// The text a script had before the store replaced or removed it is kept in the version history
// beside the store (see script_history.h), written under the same lock. A history that cannot
// be written is told, never in the way of the save.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/data_folder.h"
#include "store/script_history.h"
#include "store/store_window.h"
#include "xml/xml.h"

namespace zeph::store {

inline constexpr std::string_view kStoreFileName = "zpconfig.cfg";
inline constexpr std::string_view kBackupSuffix = ".bak";

inline constexpr std::string_view kVBScript = "VBScript";

// A store whose content the operations cannot work with (no root, no "Configuration", a colour
// entry that names no token class). The message is code page 1251 text.
class StoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class ScriptStore {
  public:
    // Asks the user a yes/no question (code page 1251 text); true for yes.
    using AskUser = std::function<bool(const std::string& question)>;

    // Every file of the store goes through `files`.
    explicit ScriptStore(DataFolder folder, xml::IFileSystem& files = xml::PlatformFileSystem())
        : folder_(std::move(folder)), files_(files) {}
    ~ScriptStore();
    ScriptStore(const ScriptStore&) = delete;
    ScriptStore& operator=(const ScriptStore&) = delete;

    // Who answers the offer to restore a damaged store. Without one, the damage is reported.
    void SetAsk(AskUser ask) { ask_ = std::move(ask); }
    // How the workbench opens a stored script by name: selects its list entry, loads the store,
    // takes the script's text and language and stores it again under its normalised language.
    // ApplyStore opens the default script with it; without one that script is only named in the
    // saved-script box.
    using OpenScript = std::function<void(const std::string& name)>;
    void SetOpenScript(OpenScript open) { open_script_ = std::move(open); }
    // Who is told, once, that the store was recovered or made anew (code page 1251 text). The
    // notices of an action are told when it ends, after the lock is let go.
    using Tell = std::function<void(const std::string& notice)>;
    void SetTell(Tell tell) { tell_ = std::move(tell); }

    // One user action, which may run several operations: they share one backup and one hold on
    // the lock file (taken at the first operation, so an action that never touches the store
    // never waits), and an error after a save names what the action saved before it. Actions
    // nest; an operation called outside any action is an action of its own.
    //
    // The saves of an action are written once: a save keeps its document waiting, the later
    // operations of the action work on it, and the file is written (temporary file, flush,
    // replace) at the action's commit point. That is Commit, which the caller runs where the
    // action's work is done, and which reports a failed write by throwing as a save does. An
    // operation that fails first writes what the action saved before it, so the error can say
    // that it is saved. A save still waiting when the outermost action ends (an error outside
    // the store ended it) is written then; as that cannot throw, a failure is told as a notice.
    void BeginAction() noexcept { ++action_depth_; }
    void EndAction() noexcept;
    // Writes what the action saved so far, if anything waits. Before a dialog that works on the
    // file itself, and at the end of each user action.
    void Commit();
    class Action {
      public:
        explicit Action(ScriptStore& store) noexcept : store_(store) { store_.BeginAction(); }
        ~Action() { store_.EndAction(); }
        void Commit() { store_.Commit(); }
        Action(const Action&) = delete;
        Action& operator=(const Action&) = delete;

      private:
        ScriptStore& store_;
    };

    // The store's path, from the folder as the host names it now.
    std::filesystem::path StorePath() const;
    // Whether the store exists, after recovering it from an interrupted save.
    bool StoreExists();

    // Loads the store (it must exist).
    xml::XmlRef<xml::IXmlDocument> LoadStore();
    // Writes the default store, replacing any file.
    xml::XmlRef<xml::IXmlDocument> CreateDefaultStore();
    // Saves a document loaded with LoadStore (and changed) as the store, keeping the file it
    // replaces as the backup. The settings dialog saves its changes through this.
    void SaveStore(xml::IXmlDocument& doc);

    // Reads the whole store into the window: list, font, margins, colours, placement, then the
    // default script or the last text. Creates the default store when there is none. What the
    // action saved before is written first (a commit point).
    void ApplyStore(IStoreWindow& window);
    // Writes the window's placement, the box text, the editor text and the font into
    // "Configuration". Creates the default store (and writes nothing else) when there is none.
    void SaveWorkbenchState(IStoreWindow& window);
    // Writes one script record: the first "Script" of that name is updated in place, otherwise
    // a new one is appended. The empty name is the scratch script.
    void StoreScript(std::string_view name, std::string_view language, std::string_view text);
    // Deletes the first "Script" of that name, if any.
    void RemoveScript(std::string_view name);

    // The versions the history keeps of a script (byte for byte its name), newest first. A
    // history file that is not one is kept aside and told; there are no versions then.
    std::vector<ScriptVersion> History(std::string_view name);
    std::filesystem::path HistoryPath() const;
    void SetHistoryLimits(const HistoryLimits& limits) { history_limits_ = limits; }
    // Seconds since 1970-01-01 UTC, for the versions' times; the system clock by default.
    using Clock = std::function<std::int64_t()>;
    void SetClock(Clock clock) { clock_ = std::move(clock); }

    // How long an operation waits for another process's hold on the store.
    static constexpr int kLockWaitMs = 5000;
    void SetLockWait(int ms) noexcept { lock_wait_ms_ = ms; }

  private:
    // Runs an operation as an action of its own (nested in the current one): an error after
    // the action saved something says what was saved.
    template <class Body>
    auto Operation(Body&& body);
    // Takes the lock file for the current action unless it is already held.
    void Hold(const std::filesystem::path& store);
    // Reads and parses the store, or copies the known document when the file holds its bytes.
    xml::XmlRef<xml::IXmlDocument> Load(const std::filesystem::path& path);
    // Puts a missing store back from an interrupted save's temporary file, the copy waiting to
    // become the backup, or the backup; files beside it that do not load are kept aside. Beside
    // a store that is present, settles a waiting copy that an interrupted save left. Returns
    // true when the store exists.
    bool RecoverIfMissing(const std::filesystem::path& path);
    void SettleWaitingBackup(const std::filesystem::path& path);
    // After `error` loading (or applying) a store that is present: offers to put a usable
    // temporary file or backup in its place, keeping the damaged file aside. Returns true when
    // it did.
    bool OfferRestore(const std::filesystem::path& path, const std::string& error);
    // Whether the file loads as a store that can be applied; its bytes go to `bytes`.
    bool Restorable(const std::filesystem::path& file, std::string& bytes) const;
    // Why the loaded store cannot be applied to a window, if it cannot.
    static std::optional<std::string> Unusable(xml::IXmlDocument& doc,
                                               const std::filesystem::path& path);
    // Saves with `change` naming what the save writes, for the message when it fails. The
    // document waits for the action's commit point.
    void SaveChange(xml::IXmlDocument& doc, std::string change);
    // Writes the waiting save; a failure throws the save's message and drops it.
    void WritePending();
    // Writes the waiting save, if any, before an error is reported; returns the write's failure
    // message, empty when it went through or nothing waited.
    std::string WritePendingBeforeError();
    // Writes the waiting save first when it belongs to another store path (the host named
    // another folder in the middle of an action).
    void WritePendingElsewhere(const std::filesystem::path& path);
    // Drops what the store knows of the file, which may hold other bytes than it thinks.
    void Forget() noexcept;
    // Puts `bytes` in the store's place and, at the action's first save, the file it replaced
    // in the backup's.
    void WriteStore(const std::filesystem::path& path, std::string_view bytes);
    // Whether a save of `bytes` would leave the file as it is.
    bool SavesAsKnown(const std::string& bytes) noexcept;

    // Keeps `bytes`, the file's bytes as read (or, `written`, as saved), and a copy of the
    // document they hold (when it can be copied exactly).
    void Remember(std::string bytes, xml::IXmlDocument& doc, bool written) noexcept;
    // Keeps a notice for the end of the action.
    void Notice(std::string text);
    // Adds the text a record held to the history before the save that replaces it. Never
    // fails: a failure is told once, until a later write succeeds.
    void KeepVersion(const xml::IXmlNode& record, std::string_view name) noexcept;
    // The history's versions; a damaged file is kept aside and told, and none are read.
    std::vector<ScriptVersion> LoadHistory(const std::filesystem::path& path);

    DataFolder folder_;
    xml::IFileSystem& files_;
    AskUser ask_;
    OpenScript open_script_;
    Tell tell_;
    int action_depth_ = 0;
    int operation_depth_ = 0;
    int lock_wait_ms_ = kLockWaitMs;
    std::unique_ptr<xml::IFileLock> lock_;
    // Counts the holds, so that the store knows whether the file has been ours since a load.
    unsigned hold_count_ = 0;
    unsigned known_hold_ = 0;
    // The hold in which the store was last checked for use, so that it is offered back once.
    unsigned checked_hold_ = 0;
    bool backup_taken_ = false;
    // A save waiting for the commit point: its bytes are the known bytes, its document the known
    // document, and `pending_changes_` says what it holds.
    bool pending_ = false;
    std::filesystem::path pending_path_;
    std::vector<std::string> pending_changes_;
    // The hold of the lock in which this store wrote the file (0 for none): until it ends, the
    // file holds the known bytes.
    unsigned written_hold_ = 0;
    // What the current action saved so far, for a message about a later failure.
    std::vector<std::string> saved_;
    // Notices for the end of the action; the files kept aside when nothing could be recovered.
    std::vector<std::string> notices_;
    std::string lost_;
    // The bytes this store last read or wrote and the document a load of them gives. Loads
    // read the file (but for those of an action after its save); when it holds exactly these
    // bytes, they hand out a copy of this document instead of parsing again. It is never
    // handed out itself.
    std::string known_bytes_;
    xml::XmlRef<xml::IXmlDocument> known_doc_;
    // Whether a save of the known document gives exactly the known bytes (the store wrote
    // them); otherwise what it gives, once asked for.
    bool known_is_saved_form_ = false;
    std::optional<std::string> known_saved_form_;
    std::filesystem::path loaded_path_;
    HistoryLimits history_limits_;
    Clock clock_;
    bool history_failing_ = false;
};

// The store's side files, from the store's path.
std::filesystem::path BackupPath(const std::filesystem::path& store);
std::filesystem::path WaitingBackupPath(const std::filesystem::path& store);

// Appends the nine "Color" entries and the "DefaultColor" entry of a new store to
// "Configuration", in the new store's order; the settings dialog's defaults are the same.
void AppendDefaultColours(xml::IXmlNode& config);

// Takes a "Color" record's style and colours into a token class: a style flag is on only when
// its text is exactly "1", a missing colour reads as 0. The store and the settings preview agree.
void ApplyColourRecord(const xml::IXmlNode& colour, editor::THighlighterAttributes& cls);

// Script record readers shared with the workbench.
// The first "Script" record directly below `root` whose "Name" is `name`, compared byte for byte
// and case-sensitively (the names "a" and "A" are two scripts); none when there is no such
// record. A record without "Name" is found only by the name `nameless`, when one is given:
// storing reads it as "none" and the close-time save as "ScriptNameError", while opening and
// removing never find it.
xml::XmlRef<xml::IXmlNode> FindScriptRecord(xml::IXmlNode& root, std::string_view name,
                                            std::optional<std::string_view> nameless = {});
// The "Language" of a script: a missing or empty value counts as "VBScript".
std::string ScriptLanguage(const xml::IXmlNode& script);

}  // namespace zeph::store
