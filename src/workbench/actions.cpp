#include "workbench/actions.h"

namespace zeph::workbench {

namespace {

constexpr std::uint16_t kF1 = vk::kF1;
constexpr std::uint16_t kF4 = vk::kF1 + 3;
constexpr std::uint16_t kF5 = vk::kF1 + 4;

const std::array<ActionInfo, kActionCount> kTable = {{
    {ActionId::Run, KeyStroke{kF5}, "CTRL+Enter"},
    {ActionId::New, Ctrl('N'), ""},
    {ActionId::Remove, std::nullopt, ""},
    {ActionId::SetVBScript, std::nullopt, ""},
    {ActionId::SetJavaScript, std::nullopt, ""},
    {ActionId::ReselectLanguage, Ctrl('L'), ""},
    {ActionId::OpenMenuLanguage, KeyStroke{'L', kCtrl | kShift}, ""},
    {ActionId::MoveOnScriptText, KeyStroke{vk::kEscape}, ""},
    {ActionId::CloseMainModelessDialog, Ctrl('Q'), "Esc"},
    {ActionId::Enter, KeyStroke{vk::kReturn}, ""},
    {ActionId::MoveToSaveScriptComboBox, KeyStroke{kF4}, ""},
    {ActionId::SetupZephra, Ctrl('O'), ""},
    {ActionId::SaveScriptToXML, Ctrl('S'), ""},
    {ActionId::AddObjectSelectID, KeyStroke{kF1, kCtrl}, ""},
    {ActionId::Help, KeyStroke{kF1}, ""},
}};

}  // namespace

const std::array<ActionInfo, kActionCount>& ActionTable() {
    return kTable;
}

bool ActionCarriesKey(const ActionInfo& action, KeyStroke key) {
    if (action.key && *action.key == key) return true;
    if (action.second_key.empty()) return false;
    std::optional<KeyStroke> second = ParseKeyStroke(action.second_key);
    return second && *second == key;
}

}  // namespace zeph::workbench
