// The workbench window's action list: fifteen commands with their captions, keys and tool-bar
// images. The order is the order in which a pressed key is matched against them.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "workbench/keys.h"

namespace zeph::workbench {

enum class ActionId {
    Run,
    New,
    Remove,
    SetVBScript,
    SetJavaScript,
    ReselectLanguage,
    OpenMenuLanguage,
    MoveOnScriptText,
    CloseMainModelessDialog,
    Enter,
    MoveToSaveScriptComboBox,
    SetupZephra,
    SaveScriptToXML,
    AddObjectSelectID,
    Help,
};

inline constexpr std::size_t kActionCount = 15;

struct ActionInfo {
    ActionId id;
    std::string_view name;     // component name
    std::string_view caption;  // code page 1251
    std::optional<KeyStroke> key;
    std::string_view second_key;  // as written in the action list; empty for none
    int image;                    // index into the tool-bar images, -1 for none
    std::string_view handler;
};

// All actions, in list order.
const std::array<ActionInfo, kActionCount>& ActionTable();
const ActionInfo& Action(ActionId id);

// Every key an action answers to: its key, then its second keys.
bool ActionCarriesKey(const ActionInfo& action, KeyStroke key);

}  // namespace zeph::workbench
