#include "workbench/output.h"

#include "text/cp1251.h"

namespace zeph::workbench {

using text::operator""_cp;

std::size_t OutputLog::Append(std::string_view text, std::optional<CaretPos> pos) {
    std::size_t added = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        // A break at the very end closes the last line; it opens none.
        if (end == text.size() && start == text.size() && added > 0) break;
        entries_.push_back({std::string(text.substr(start, end - start)), pos});
        ++added;
        if (end == text.size()) break;
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    std::size_t dropped = 0;
    while (entries_.size() > kMaxLines) {
        entries_.pop_front();
        ++dropped;
    }
    return dropped;
}

std::optional<CaretPos> OutputLog::PositionAt(std::size_t index) const {
    if (index >= entries_.size()) return std::nullopt;
    return entries_[index].pos;
}

std::string FinishedText(std::chrono::milliseconds elapsed) {
    const long long ms = elapsed.count() < 0 ? 0 : elapsed.count();
    const long long hundredths = (ms + 5) / 10;
    const long long cents = hundredths % 100;
    std::string out(u8"Выполнено за "_cp);
    out += std::to_string(hundredths / 100);
    out += cents < 10 ? ",0" : ",";
    out += std::to_string(cents);
    out += u8" с"_cp;
    return out;
}

namespace {

std::string SameLine(int line) {
    return std::string(u8" (строка "_cp) + std::to_string(line) + ")";
}

}  // namespace

std::string FailedText(const ScriptError& error) {
    std::string place(u8"строка "_cp);
    place += std::to_string(error.line);
    place += u8", позиция "_cp;
    place += std::to_string(error.column + 1);
    if (error.stopped) return std::string(u8"Остановлено: "_cp) + place;
    // A description that ends with its line already: here the line stands in front.
    std::string_view description = error.description;
    const std::string same_line = SameLine(error.line);
    if (description.ends_with(same_line)) description.remove_suffix(same_line.size());
    return std::string(u8"Ошибка ("_cp) + place + "): " + std::string(description);
}

std::string ErrorBoxText(const ScriptError& error) {
    if (error.line <= 0 || error.description.ends_with(SameLine(error.line)))
        return error.description;
    return error.description + SameLine(error.line);
}

std::string EchoText(const std::vector<std::string>& args) {
    std::string line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i > 0) line += ' ';
        line += args[i];
    }
    return line;
}

}  // namespace zeph::workbench
