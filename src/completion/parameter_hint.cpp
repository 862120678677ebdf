#include "completion/parameter_hint.h"

#include <vector>

#include "text/cp1251.h"

namespace zeph::completion {

namespace {

// The caret line as completion reads it, cut just before the member's name.
class PrefixEditor final : public ICompletionEditor {
  public:
    explicit PrefixEditor(std::string_view prefix) : prefix_(prefix) {}
    std::string CaretLineText() const override { return prefix_; }
    int CaretX() const override { return static_cast<int>(prefix_.size()) + 1; }
    int CaretY() const override { return 1; }
    std::string WordAt(int column) const override {
        const int size = static_cast<int>(prefix_.size());
        int begin = column - 1, end = column - 1;
        while (end < size && end >= 0 && text::IsIdentChar(prefix_[end])) ++end;
        while (begin > 0 && begin <= size && text::IsIdentChar(prefix_[begin - 1])) --begin;
        return begin < end ? prefix_.substr(begin, end - begin) : std::string();
    }
    std::string WordAroundCaret() const override { return WordAt(CaretX()); }

  private:
    std::string prefix_;
};

// Collects the entries a request lists.
class CollectingPopup final : public ICompletionPopup {
  public:
    void ClearLists() override { items_.clear(); }
    void AddEntry(std::string_view item, std::string_view) override { items_.emplace_back(item); }
    const std::vector<std::string>& ItemList() const override { return items_; }
    void ResetFilter() override {}
    void SetWidth(int) override {}

  private:
    std::vector<std::string> items_;
};

}  // namespace

int OpenCallColumn(std::string_view line, int caret) {
    const std::size_t end = std::min(line.size(), static_cast<std::size_t>(std::max(caret - 1, 0)));
    std::vector<std::size_t> open;
    bool quoted = false;
    for (std::size_t i = 0; i < end; ++i) {
        const char c = line[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == '(' || c == '[') {
            open.push_back(i);
        } else if ((c == ')' || c == ']') && !open.empty()) {
            open.pop_back();
        }
    }
    return open.empty() ? 0 : static_cast<int>(open.back()) + 1;
}

std::string ParameterHint(std::string_view line, int caret, IDescriptionSource& source,
                          const ITextMeasure& measure) {
    const int bracket = OpenCallColumn(line, caret);
    if (bracket == 0) return {};
    std::size_t name_end = static_cast<std::size_t>(bracket - 1);
    while (name_end > 0 && line[name_end - 1] == ' ') --name_end;
    std::size_t name_begin = name_end;
    while (name_begin > 0 && text::IsIdentChar(line[name_begin - 1])) --name_begin;
    if (name_begin == name_end) return {};
    const std::string_view name = line.substr(name_begin, name_end - name_begin);

    // With a "." before the name, the members of the object on its left; otherwise those of
    // Application, as completion offers them at the start of a word.
    PrefixEditor editor(line.substr(0, name_begin));
    CollectingPopup popup;
    CodeCompletion completion(editor, popup, source, measure);
    bool can_open = true;
    completion.ScriptTextProposalExecute(can_open);
    for (const std::string& item : popup.ItemList()) {
        // kind TAB name TAB signature
        const std::size_t tab1 = item.find('\t');
        const std::size_t tab2 = tab1 == std::string::npos ? tab1 : item.find('\t', tab1 + 1);
        if (tab2 == std::string::npos) continue;
        if (!text::EqualsNoCase(std::string_view(item).substr(tab1 + 1, tab2 - tab1 - 1), name))
            continue;
        const std::string_view signature = std::string_view(item).substr(tab2 + 1);
        if (signature.empty() || (signature[0] != '(' && signature[0] != '[')) continue;
        return item.substr(tab1 + 1, tab2 - tab1 - 1) + std::string(signature);
    }
    return {};
}

xml::XmlRef<xml::IXmlDocument> ParameterHints::HeldDescription::LoadDescription() {
    if (!document_) document_ = source_.LoadDescription();
    return document_;
}

std::string ParameterHints::AfterEdit(std::string_view line, int caret) {
    const bool opened = caret > 1 && caret - 1 <= static_cast<int>(line.size()) &&
                        (line[caret - 2] == '(' || line[caret - 2] == '[');
    if (!opened && !open_) return {};
    return Refresh(line, caret);
}

std::string ParameterHints::AfterCaretMove(std::string_view line, int caret) {
    if (!open_) return {};
    return Refresh(line, caret);
}

void ParameterHints::Close() {
    open_ = false;
    held_.Release();
}

std::string ParameterHints::Refresh(std::string_view line, int caret) {
    // A new hint reads the file afresh; an open one goes on with what it read.
    if (!open_) held_.Release();
    std::string hint;
    try {
        hint = ParameterHint(line, caret, held_, measure_);
    } catch (...) {
        hint.clear();  // no description, no hint; completion reports loading errors itself
    }
    if (hint.empty())
        Close();
    else
        open_ = true;
    return hint;
}

}  // namespace zeph::completion
