// The configuration and script store "zpconfig.cfg": saved scripts, the scratch script, window
// placement and the editor's looks. Every operation loads the file afresh and, when it changes
// something, saves the whole document again. The file's bytes are read every time; only when
// they are exactly the bytes this store last read or wrote is the document reused (as a copy)
// instead of being parsed again.
//
// Saving never risks the user's scripts: the document is written to "zpconfig.cfg.tmp" and only
// then put in place of the store, and the file it replaces is kept as "zpconfig.cfg.bak" (a
// second name of that file where the volume allows it, otherwise a copy). When
// the store is missing but an interrupted save left its temporary file, the store is recovered
// from that file (or, when it does not load, from the backup) instead of being replaced by the
// default file. A store that does not load is never overwritten.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "store/data_folder.h"
#include "store/store_window.h"
#include "xml/xml.h"

namespace zeph::store {

inline constexpr std::string_view kStoreFileName = "zpconfig.cfg";
inline constexpr std::string_view kBackupSuffix = ".bak";

inline constexpr std::string_view kVBScript = "VBScript";
inline constexpr std::string_view kJavaScript = "JavaScript";

// A store whose content the operations cannot work with (no root, no "Configuration", a colour
// entry that names no token class). The message is code page 1251 text.
class StoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class ScriptStore {
  public:
    explicit ScriptStore(DataFolder folder) : folder_(std::move(folder)) {}

    // The store's path, from the folder as the host names it now.
    std::filesystem::path StorePath() const;
    // Whether the store exists, after recovering it from an interrupted save.
    bool StoreExists();

    // Loads the store (it must exist); the document also becomes SharedDocument().
    xml::XmlRef<xml::IXmlDocument> LoadStore();
    // Writes the default store, replacing any file; the document also becomes SharedDocument().
    xml::XmlRef<xml::IXmlDocument> CreateDefaultStore();
    // Saves a document loaded with LoadStore (and changed) as the store, keeping the file it
    // replaces as the backup. The settings dialog saves its changes through this.
    void SaveStore(xml::IXmlDocument& doc);

    // Reads the whole store into the window: list, font, margins, colours, placement, then the
    // default script or the last text. Creates the default store when there is none.
    void ApplyStore(IStoreWindow& window);
    // Writes the window's placement, the box text, the editor text and the font into
    // "Configuration". Creates the default store (and writes nothing else) when there is none.
    void SaveWorkbenchState(IStoreWindow& window);
    // Writes one script record: the first "Script" of that name is updated in place, otherwise
    // a new one is appended. The empty name is the scratch script.
    void StoreScript(std::string_view name, std::string_view language, std::string_view text);
    // Deletes the first "Script" of that name, if any.
    void RemoveScript(std::string_view name);

  private:
    std::filesystem::path BackupPath(const std::filesystem::path& store) const;
    // Puts the store back from an interrupted save's temporary file or the backup when the
    // store is missing and the temporary file exists. Returns true when the store exists.
    bool RecoverIfMissing(const std::filesystem::path& path);

    // Keeps `bytes` and a copy of the document they hold (when it can be copied exactly).
    void Remember(std::string bytes, xml::IXmlDocument& doc) noexcept;

    DataFolder folder_;
    // The bytes this store last read or wrote and the document a load of them gives. Loads
    // still read the file every time; when it holds exactly these bytes, they hand out a copy
    // of this document instead of parsing again. It is never handed out itself.
    std::string known_bytes_;
    xml::XmlRef<xml::IXmlDocument> known_doc_;
    std::filesystem::path loaded_path_;
};

// The document the workbench loaded last (the store or the object-model description). Each
// load replaces it; nothing relies on it beyond the operation that loaded it.
xml::XmlRef<xml::IXmlDocument>& SharedDocument();

// Appends the nine "Color" entries and the "DefaultColor" entry of a new store to
// "Configuration", in the new store's order; the settings dialog's defaults are the same.
void AppendDefaultColours(xml::IXmlNode& config);

// Script record readers shared with the workbench.
// The "Language" of a script: a missing or empty value counts as "VBScript".
std::string ScriptLanguage(const xml::IXmlNode& script);

}  // namespace zeph::store
