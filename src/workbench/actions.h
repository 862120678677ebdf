// The workbench window's action list: fifteen commands and their keys. The order is the order in
// which a pressed key is matched against them.
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
    std::optional<KeyStroke> key;
    std::string_view second_key;  // as written in the action list; empty for none
};

// All actions, in list order.
const std::array<ActionInfo, kActionCount>& ActionTable();

// Every key an action answers to: its key, then its second keys.
bool ActionCarriesKey(const ActionInfo& action, KeyStroke key);

}  // namespace zeph::workbench
