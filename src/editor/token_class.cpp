#include "editor/token_class.h"

#include <array>

#include "text/cp1251.h"

namespace zeph::editor::TokenClassTable {

namespace {

using text::operator""_cp;

struct Entry {
    std::string_view caption;
    std::string_view name;
};

const std::array<Entry, kCount>& Entries() {
    static const std::array<Entry, kCount> entries = {{
        {u8"Комментарии"_cp, "Comment"},
        {u8"События"_cp, "Event"},
        {u8"Идентификаторы"_cp, "Identifier"},
        {u8"Зарезервированные слова"_cp, "Reserved word"},
        {u8"Незарезервированные слова"_cp, "Non-reserved keyword"},
        {u8"Числа"_cp, "Number"},
        {u8"Пробелы"_cp, "Space"},
        {u8"Строки"_cp, "String"},
        {u8"Символы"_cp, "Symbol"},
    }};
    return entries;
}

}  // namespace

std::string ClassNameOf(std::string_view caption) {
    for (const auto& e : Entries())
        if (text::EqualsNoCase(e.caption, caption)) return std::string(e.name);
    return std::string(caption);
}

std::string CaptionOf(std::string_view class_name) {
    for (const auto& e : Entries())
        if (text::EqualsNoCase(e.name, class_name)) return std::string(e.caption);
    return std::string(class_name);
}

std::string_view CaptionAt(int i) {
    return Entries().at(static_cast<std::size_t>(i)).caption;
}

std::string_view ClassNameAt(int i) {
    return Entries().at(static_cast<std::size_t>(i)).name;
}

}  // namespace zeph::editor::TokenClassTable
