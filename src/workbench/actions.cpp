#include "workbench/actions.h"

#include "text/cp1251.h"

namespace zeph::workbench {

using text::operator""_cp;

namespace {

constexpr std::uint16_t kF1 = vk::kF1;
constexpr std::uint16_t kF4 = vk::kF1 + 3;
constexpr std::uint16_t kF5 = vk::kF1 + 4;

const std::array<ActionInfo, kActionCount> kTable = {{
    {ActionId::Run, "RunAction", u8"Выполнить"_cp, KeyStroke{kF5}, "CTRL+Enter", 0,
     "ExeButtonClick"},
    {ActionId::New, "NewAction", u8"Новый скрипт"_cp, Ctrl('N'), "", 1, "NewActionExecute"},
    {ActionId::Remove, "RemoveAction", u8"Удалить"_cp, std::nullopt, "", 2,
     "RemoveToolButtonClick"},
    {ActionId::SetVBScript, "SetVBScript", "VBScript", std::nullopt, "", -1,
     "SetVBScriptMenuItemClick"},
    {ActionId::SetJavaScript, "SetJavaScript", "JavaScript", std::nullopt, "", -1,
     "SetJavaScriptMenuItemClick"},
    {ActionId::ReselectLanguage, "ReselectLanguageAction", u8"Поменять язык"_cp, Ctrl('L'), "", 3,
     "SetLanguageClick"},
    {ActionId::OpenMenuLanguage, "OpenMenuLanguageAction", u8"Открытие меню языка"_cp,
     KeyStroke{'L', kCtrl | kShift}, "", -1, "OpenMenuLanguageActionExecute"},
    {ActionId::MoveOnScriptText, "MoveOnScriptTextAction", u8"Переход на ScriptTextEdit"_cp,
     KeyStroke{vk::kEscape}, "", -1, "MoveOnScriptTextActionExecute"},
    {ActionId::CloseMainModelessDialog, "CloseMainModelessDialog", u8"Выход"_cp, Ctrl('Q'), "Esc",
     -1, "CloseMainModelessDialogExecute"},
    {ActionId::Enter, "EnterAction", u8"Сохранение по Enter"_cp, KeyStroke{vk::kReturn}, "", -1,
     "EnterActionExecute"},
    {ActionId::MoveToSaveScriptComboBox, "MoveToSaveScriptComboBoxAction",
     u8"Переход к Списку Сохранений"_cp, KeyStroke{kF4}, "", -1,
     "MoveToSaveScriptComboBoxActionExecute"},
    {ActionId::SetupZephra, "SetupZephraAction", u8"Открытие окна настройки..."_cp, Ctrl('O'), "",
     4, "SetupZephraActionExecute"},
    {ActionId::SaveScriptToXML, "SaveScriptToXMLAction", u8"Сохранить скрипт"_cp, Ctrl('S'), "", -1,
     "EnterActionExecute"},
    {ActionId::AddObjectSelectID, "AddObjectSelectIDAction", u8"Вставка ID выделенного объекта"_cp,
     KeyStroke{kF1, kCtrl}, "", -1, "AddObjectSelectIDActionExecute"},
    {ActionId::Help, "HelpAction", "HelpAction", KeyStroke{kF1}, "", -1, "HelpActionExecute"},
}};

}  // namespace

const std::array<ActionInfo, kActionCount>& ActionTable() {
    return kTable;
}

const ActionInfo& Action(ActionId id) {
    return kTable[static_cast<std::size_t>(id)];
}

bool ActionCarriesKey(const ActionInfo& action, KeyStroke key) {
    if (action.key && *action.key == key) return true;
    if (action.second_key.empty()) return false;
    std::optional<KeyStroke> second = ParseKeyStroke(action.second_key);
    return second && *second == key;
}

}  // namespace zeph::workbench
