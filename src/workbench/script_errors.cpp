#include "workbench/script_errors.h"

#include <algorithm>
#include <iterator>

#include "text/cp1251.h"

namespace zeph::workbench {

using text::operator""_cp;

namespace {

struct CodeText {
    int code;
    std::string_view text;
};

// Run-time errors; both engines use these numbers.
constexpr CodeText kRunTime[] = {
    {5, u8"Недопустимый вызов процедуры или аргумент"_cp},
    {6, u8"Переполнение"_cp},
    {7, u8"Недостаточно памяти"_cp},
    {9, u8"Индекс вне допустимого диапазона"_cp},
    {10, u8"Массив фиксирован или временно заблокирован"_cp},
    {11, u8"Деление на ноль"_cp},
    {13, u8"Несоответствие типа"_cp},
    {14, u8"Недостаточно памяти для строк"_cp},
    {28, u8"Недостаточно места в стеке"_cp},
    {35, u8"Процедура или функция не определена"_cp},
    {51, u8"Внутренняя ошибка"_cp},
    {91, u8"Объектная переменная не задана"_cp},
    {92, u8"Цикл For не инициализирован"_cp},
    {94, u8"Недопустимое использование Null"_cp},
    {424, u8"Требуется объект"_cp},
    {429, u8"Невозможно создать объект"_cp},
    {438, u8"Объект не поддерживает это свойство или метод"_cp},
    {445, u8"Объект не поддерживает это действие"_cp},
    {449, u8"Аргумент является обязательным"_cp},
    {450, u8"Неверное число аргументов или недопустимое присвоение свойства"_cp},
    {451, u8"Объект не является коллекцией"_cp},
    {500, u8"Переменная не определена"_cp},
    {501, u8"Недопустимое присвоение"_cp},
    {505, u8"Недопустимая или неполная ссылка"_cp},
};

constexpr CodeText kVBScriptSyntax[] = {
    {1002, u8"Синтаксическая ошибка"_cp},
    {1003, u8"Ожидается \":\""_cp},
    {1005, u8"Ожидается \"(\""_cp},
    {1006, u8"Ожидается \")\""_cp},
    {1010, u8"Ожидается идентификатор"_cp},
    {1011, u8"Ожидается \"=\""_cp},
    {1012, u8"Ожидается \"If\""_cp},
    {1013, u8"Ожидается \"To\""_cp},
    {1014, u8"Ожидается \"End\""_cp},
    {1015, u8"Ожидается \"Function\""_cp},
    {1016, u8"Ожидается \"Sub\""_cp},
    {1017, u8"Ожидается \"Then\""_cp},
    {1018, u8"Ожидается \"Wend\""_cp},
    {1019, u8"Ожидается \"Loop\""_cp},
    {1020, u8"Ожидается \"Next\""_cp},
    {1021, u8"Ожидается \"Case\""_cp},
    {1022, u8"Ожидается \"Select\""_cp},
    {1023, u8"Ожидается выражение"_cp},
    {1024, u8"Ожидается оператор"_cp},
    {1025, u8"Ожидается конец оператора"_cp},
    {1026, u8"Ожидается целая константа"_cp},
    {1027, u8"Ожидается \"While\" или \"Until\""_cp},
    {1029, u8"Ожидается \"With\""_cp},
    {1031, u8"Недопустимое число"_cp},
    {1032, u8"Недопустимый символ"_cp},
    {1033, u8"Незавершенная строковая константа"_cp},
    {1037, u8"Недопустимое использование ключевого слова \"Me\""_cp},
    {1038, u8"\"Loop\" без \"Do\""_cp},
    {1039, u8"Недопустимый оператор \"Exit\""_cp},
    {1041, u8"Повторное определение имени"_cp},
    {1044, u8"Нельзя использовать скобки при вызове процедуры Sub"_cp},
    {1046, u8"Ожидается \"In\""_cp},
    {1055, u8"Неожиданный \"Next\""_cp},
};

constexpr CodeText kJScript[] = {
    {1002, u8"Синтаксическая ошибка"_cp},
    {1003, u8"Ожидается \":\""_cp},
    {1004, u8"Ожидается \";\""_cp},
    {1005, u8"Ожидается \"(\""_cp},
    {1006, u8"Ожидается \")\""_cp},
    {1007, u8"Ожидается \"]\""_cp},
    {1008, u8"Ожидается \"{\""_cp},
    {1009, u8"Ожидается \"}\""_cp},
    {1010, u8"Ожидается идентификатор"_cp},
    {1011, u8"Ожидается \"=\""_cp},
    {1014, u8"Недопустимый символ"_cp},
    {1015, u8"Незавершенная строковая константа"_cp},
    {1016, u8"Незавершенный комментарий"_cp},
    {1018, u8"Оператор \"return\" вне функции"_cp},
    {1019, u8"Оператор \"break\" вне цикла"_cp},
    {1020, u8"Оператор \"continue\" вне цикла"_cp},
    {1028, u8"Ожидается идентификатор, строка или число"_cp},
    {5001, u8"Ожидается число"_cp},
    {5002, u8"Ожидается функция"_cp},
    {5005, u8"Ожидается строка"_cp},
    {5007, u8"Требуется объект"_cp},
    {5009, u8"Неопределенный идентификатор"_cp},
    {5010, u8"Ожидается массив"_cp},
};

// Automation codes that the engines raise for their own errors.
constexpr struct {
    std::uint32_t number;
    int code;
} kAutomationCodes[] = {
    {0x8002000A, 6},   {0x8007000E, 7},   {0x8002000B, 9},   {0x8002000D, 10},
    {0x80020012, 11},  {0x80020005, 13},  {0x80020006, 438}, {0x80020003, 438},
    {0x8002000F, 449}, {0x8002000E, 450}, {0x80020011, 451},
};

std::string_view Find(const CodeText* begin, const CodeText* end, int code) {
    const CodeText* it =
        std::find_if(begin, end, [code](const CodeText& c) { return c.code == code; });
    return it == end ? std::string_view() : it->text;
}

bool HasCyrillic(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b >= 0xC0 || b == 0xA8 || b == 0xB8;  // А..я, Ё, ё
    });
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
               return text::ToLower(a) == text::ToLower(b);
           }) != text.end();
}

bool SaysCompilation(std::string_view text) {
    return ContainsNoCase(text, "compil") || ContainsNoCase(text, u8"компил"_cp);
}

// A description that says no more than which engine failed, or how ("runtime error").
bool Generic(std::string_view description, std::string_view source) {
    if (description.empty() || description == source) return true;
    if (description.starts_with("0x") || description.starts_with("0X")) return true;
    return SaysCompilation(description) || ContainsNoCase(description, "runtime error") ||
           ContainsNoCase(description, u8"ошибка выполнения"_cp);
}

}  // namespace

int ScriptErrorCode(std::int32_t number) {
    const auto bits = static_cast<std::uint32_t>(number);
    if ((bits & 0xFFFF0000u) == 0x800A0000u) return static_cast<int>(bits & 0xFFFFu);
    for (const auto& m : kAutomationCodes)
        if (m.number == bits) return m.code;
    return number > 0 && number <= 0xFFFF ? static_cast<int>(number) : 0;
}

std::string ScriptErrorText(std::string_view language, std::int32_t number, int line) {
    const int code = ScriptErrorCode(number);
    if (code == 0) return {};
    std::string_view text = language == "VBScript"
                                ? Find(std::begin(kVBScriptSyntax), std::end(kVBScriptSyntax), code)
                                : Find(std::begin(kJScript), std::end(kJScript), code);
    if (text.empty()) text = Find(std::begin(kRunTime), std::end(kRunTime), code);
    if (text.empty()) return {};
    std::string out(text);
    if (line > 0) out += std::string(u8" (строка "_cp) + std::to_string(line) + ")";
    return out;
}

std::string ErrorDescription(std::string_view language, std::int32_t number,
                             std::string_view source, std::string_view description) {
    const bool generic = Generic(description, source);
    if (!generic && HasCyrillic(description)) return std::string(description);
    std::string ours = ScriptErrorText(language, number, 0);
    if (!ours.empty()) return ours;
    return generic ? std::string() : std::string(description);
}

std::string UnknownErrorText(std::int32_t number, std::string_view source,
                             std::string_view description) {
    if (SaysCompilation(source) || SaysCompilation(description))
        return std::string(u8"Синтаксическая ошибка"_cp);
    std::string text(u8"Ошибка выполнения скрипта"_cp);
    if (static_cast<std::uint32_t>(number) == 0x80004005u || number == 0) return text;
    static const char kDigits[] = "0123456789ABCDEF";
    std::string code = "0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        code.push_back(kDigits[(static_cast<std::uint32_t>(number) >> shift) & 0xF]);
    return text + std::string(u8" (код "_cp) + code + ")";
}

}  // namespace zeph::workbench
