#include "completion/completion.h"

#include <algorithm>

#include "script/language_words.h"
#include "text/cp1251.h"

namespace zeph::completion {

namespace {

using store::kApplicationInterface;

bool IsOperatorBeforeCaret(std::string_view line, int x) {
    static constexpr std::string_view kTwo[] = {" =", "=", "= ", " >", ">", "> ", " <", "<", "< "};
    static constexpr std::string_view kThree[] = {" <>", "<>", "<> "};
    auto two = Slice(line, x - 2, 2);
    auto three = Slice(line, x - 3, 3);
    return std::find(std::begin(kTwo), std::end(kTwo), two) != std::end(kTwo) ||
           std::find(std::begin(kThree), std::end(kThree), three) != std::end(kThree);
}

// Whether the identifier run that ends before column `x` follows a ".".
bool WordFollowsDot(std::string_view line, int x) {
    int start = std::min(x - 1, static_cast<int>(line.size()));
    while (start > 0 && text::IsIdentChar(line[static_cast<std::size_t>(start - 1)])) --start;
    return start > 0 && line[static_cast<std::size_t>(start - 1)] == '.';
}

// How deep one variable's chain may lead through others (Set a = b.c, Set b = ...).
constexpr int kMaxVariableDepth = 16;

}  // namespace

CodeCompletion::CodeCompletion(ICompletionEditor& editor, ICompletionPopup& popup,
                               IDescriptionSource& source, const ITextMeasure& measure)
    : editor_(editor), popup_(popup), source_(source), measure_(measure) {}

// --- handlers -----------------------------------------------------------------------------

void CodeCompletion::ScriptTextProposalExecute(bool& can_open) {
    ClearLists();
    loaded_ = false;
    const std::string line = editor_.CaretLineText();
    const int x = editor_.CaretX();

    const std::string_view ch = Slice(line, x - 1, 1);
    std::string word = ch == "." ? editor_.WordAt(x - 2) : editor_.WordAt(x - 1);
    if (ch.empty() || ch == " " || Slice(line, x - 2, 2) == " .") word.clear();

    if (IsOperatorBeforeCaret(line, x)) {
        CompleteAfterOperator(line);
    } else if (!line.empty() && !word.empty()) {
        ResolveChain(x, line, ch == "." ? Mode::kDot : Mode::kWord);
        if (!ch.empty() && text::IsIdentChar(ch.front()) && !WordFollowsDot(line, x))
            ListScriptWords();
    } else if (word.empty()) {
        ListApplicationMembers();
    }
    // Nothing to offer: the pop-up stays closed (the component also keeps it closed when its
    // filter leaves no line).
    if (popup_.ItemList().empty()) {
        popup_.SetWidth(kEmptyPopupWidth);
        can_open = false;
    }
}

void CodeCompletion::ScriptTextProposalCodeCompletion(std::string& value) {
    (void)value;
    ClearLists();
}

void CodeCompletion::ScriptTextProposalCancelled() {
    ClearLists();
}

void CodeCompletion::ClearLists() {
    popup_.ClearLists();
    popup_.ResetFilter();
    listed_.clear();
}

void CodeCompletion::Load() {
    // One load per request is enough: the file cannot change while the request runs.
    if (loaded_) return;
    // Let the previous document go first: the new one then reuses its memory.
    description_ = Description();
    member_types_.clear();
    description_ = Description(source_.LoadDescription());
    member_types_.clear();
    loaded_ = true;
}

const Candidates& CodeCompletion::CachedMemberTypes(std::string_view name) {
    for (const auto& [word, types] : member_types_)
        if (text::EqualsNoCase(word, name)) return types;
    member_types_.emplace_back(std::string(name), description_.MemberTypes(name));
    return member_types_.back().second;
}

void CodeCompletion::PrefetchMemberTypes(const Chain& chain) {
    std::vector<std::string> words;
    auto known = [&](const std::string& w) {
        return std::any_of(member_types_.begin(), member_types_.end(),
                           [&](const auto& e) { return text::EqualsNoCase(e.first, w); }) ||
               std::any_of(words.begin(), words.end(),
                           [&](const auto& other) { return text::EqualsNoCase(other, w); });
    };
    for (const auto& w : chain)
        if (!known(w)) words.push_back(w);
    auto found = description_.MemberTypesOfEach(words);
    for (std::size_t k = 0; k < words.size(); ++k)
        member_types_.emplace_back(std::move(words[k]), std::move(found[k]));
}

// --- chain --------------------------------------------------------------------------------

Chain CodeCompletion::SplitChain(int p, std::string_view t) const {
    Chain chain;
    const std::string_view head = t.substr(0, static_cast<std::size_t>(std::clamp<long long>(
                                                  p - 1LL, 0, static_cast<long long>(t.size()))));
    bool single = false;
    long long a = p;
    if (head.empty() || head.back() != '.') {
        // The last "." of the whole text before the caret, whatever lies between it and the
        // caret.
        const auto dot = head.rfind('.');
        const std::size_t tail = dot == std::string_view::npos ? 0 : head.size() - dot;
        if (dot == std::string_view::npos) single = true;
        a = p - static_cast<long long>(tail) + 1;
        chain.push_back(editor_.WordAroundCaret());
    }
    std::string_view c = ".";
    while (a >= 0 && c == "." && !single) {
        std::string w = editor_.WordAt(static_cast<int>(a - 1));
        a -= static_cast<long long>(w.size()) + 1;
        chain.push_back(std::move(w));
        c = Slice(t, static_cast<int>(std::max<long long>(a - 1, -1)), 1);
    }
    return chain;
}

// --- resolution ---------------------------------------------------------------------------

void CodeCompletion::ResolveChain(int p, std::string_view t, Mode mode) {
    Load();
    Chain chain = SplitChain(p, t);
    PrefetchMemberTypes(chain);
    bool removed = false;
    if (mode == Mode::kWord && chain.size() >= 2) {
        // The partial name being typed; the pop-up filters by it instead.
        chain.erase(chain.begin());
        removed = true;
    }
    // A chain from a variable of the script: what it was last assigned decides.
    if ((mode == Mode::kDot || removed) && ListVariableChain(chain)) return;
    const int n = static_cast<int>(chain.size());
    if (n >= 2) {
        // Anchor: the leftmost word that is some member's name, falling back to the right.
        Candidates b;
        int i = 0;
        for (int pass = 0; pass < n - 1; ++pass) {
            b = MemberTypes(chain[i + 1]);
            while (b.empty() && i > 0) {
                --i;
                b = MemberTypes(chain[i + 1]);
            }
            ++i;
        }
        if (b.empty()) {
            // With the partial word taken off, what is left is a dotted chain like the one
            // before a typed ".": looked up by its members' names in word mode it would name no
            // entry ("Application.Map.Re" offered nothing).
            ListForSingleWord(chain, removed ? Mode::kDot : mode);
            return;
        }
        // Each further pair repeats the walk from where the previous one ended; that normally
        // adds nothing, as its lookups fail or list entries already listed.
        std::string type = b.front().second;
        for (std::size_t pair = 0; pair < b.size(); ++pair) {
            for (int k = n - 1; k >= 1; --k) type = description_.MemberTypeIn(type, chain[k - 1]);
            ListWithBases(description_.FindEntry(type));
        }
        return;
    }
    if (mode == Mode::kDot || removed) {
        ListForSingleWord(chain, Mode::kDot);
    } else {
        ListForSingleWord(chain, Mode::kWord);
    }
}

void CodeCompletion::ListForSingleWord(const Chain& chain, Mode mode) {
    const std::string& w = chain.front();
    Candidates c = mode == Mode::kDot ? MemberTypes(w) : MemberTypesWordMode(w);
    if (c.empty()) c = MemberTypes(w);
    if (c.empty()) c.emplace_back("Application", kApplicationInterface);
    for (const auto& pair : c) ListWithBases(description_.FindEntry(pair.second));
}

void CodeCompletion::ListWithBases(int entry) {
    if (entry < 0) return;
    ListEntryMembers(entry);
    for (int base : description_.BaseChain(entry)) ListEntryMembers(base);
}

void CodeCompletion::CompleteAfterOperator(std::string_view line) {
    // Continue as if the property before the operator were followed by a "." at the end of the
    // line: drop the word at the caret when the line ends in it, the operator and the blanks
    // around them. Counting a fixed number of characters from the end would leave a blank
    // before the "." (or cut into the name) for "a.b = ", "a.b <> " and "a.b=".
    auto trim = [](std::string_view s) {
        while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
        return s;
    };
    std::string_view head = trim(line);
    const std::string cur = editor_.WordAroundCaret();
    if (!cur.empty() && head.ends_with(cur)) head = trim(head.substr(0, head.size() - cur.size()));
    for (std::string_view op : {"<>", "=", ">", "<"}) {
        if (head.ends_with(op)) {
            head = trim(head.substr(0, head.size() - op.size()));
            break;
        }
    }
    std::string t(head);
    t += '.';
    ResolveChain(static_cast<int>(t.size()) + 1, t, Mode::kDot);
}

Candidates CodeCompletion::MemberTypes(std::string_view name) {
    Load();
    return CachedMemberTypes(name);
}

Candidates CodeCompletion::MemberTypesWordMode(std::string_view name) {
    // The same pairs the other way round, on the description loaded last.
    if (!description_.Loaded()) return {};
    Candidates pairs = CachedMemberTypes(name);
    for (auto& pair : pairs) std::swap(pair.first, pair.second);
    return pairs;
}

void CodeCompletion::ListApplicationMembers() {
    Load();
    ListEntryMembers(description_.FindEntry(kApplicationInterface));
}

// --- the script's own names ---------------------------------------------------------------

std::optional<std::string> CodeCompletion::VariableType(const script::Outline& outline,
                                                        std::string_view name, int line,
                                                        int column) {
    return VariableType(outline, name, line, column, 0);
}

std::optional<std::string> CodeCompletion::VariableType(const script::Outline& outline,
                                                        std::string_view name, int line, int column,
                                                        int depth) {
    if (depth > kMaxVariableDepth) return std::nullopt;
    const script::Assignment* a = outline.LatestAssignment(name, line, column);
    if (!a || a->chain.empty()) return std::nullopt;
    std::optional<std::string> type = ChainType(outline, a->chain, a->line, a->column, depth + 1);
    if (type && a->each) type = description_.FindMemberType(*type, "Item");
    return type;
}

std::optional<std::string> CodeCompletion::ChainType(const script::Outline& outline,
                                                     const std::vector<std::string>& chain,
                                                     int line, int column, int depth) {
    Load();
    const std::string& first = chain.front();
    std::optional<std::string> type;
    if (text::EqualsNoCase(first, "Application")) {
        // As "Application." resolves: the type of members of that name when the file has any.
        const Candidates& named = CachedMemberTypes(first);
        type = named.empty() ? std::string(kApplicationInterface) : named.front().second;
    } else {
        type = VariableType(outline, first, line, column, depth);
        // Otherwise one of the host's global names: the members of "Application".
        if (!type) type = description_.FindMemberType(kApplicationInterface, first);
    }
    for (std::size_t k = 1; k < chain.size() && type; ++k)
        type = description_.FindMemberType(*type, chain[k]);
    return type;
}

bool CodeCompletion::ListVariableChain(const Chain& chain) {
    const std::string& first = chain.back();
    if (!script_names_ || first.empty() || text::EqualsNoCase(first, "Application")) return false;
    const std::string script = editor_.ScriptText();
    if (script.empty()) return false;
    const script::Outline outline = script::Analyze(editor_.ScriptLanguage(), script);
    std::optional<std::string> type =
        VariableType(outline, first, editor_.CaretY(), editor_.CaretX());
    for (std::size_t k = chain.size() - 1; k-- > 0 && type;)
        type = description_.FindMemberType(*type, chain[k]);
    const int entry = type ? description_.FindEntry(*type) : -1;
    if (entry < 0) return false;
    ListWithBases(entry);
    return true;
}

void CodeCompletion::ListScriptWords() {
    const std::string script = script_names_ ? editor_.ScriptText() : std::string();
    if (script.empty()) return;
    Load();
    const script::Language language = editor_.ScriptLanguage();
    const script::Outline outline = script::Analyze(language, script);
    const int scope = outline.ScopeAt(editor_.CaretY());
    auto visible = [&](int declared_in) {
        for (int s = scope;; s = outline.procedures[static_cast<std::size_t>(s)].parent) {
            if (s == declared_in) return true;
            if (s < 0) return false;
        }
    };
    auto add = [this](EntryText entry) { AddUnlisted({entry.item}, std::move(entry)); };
    for (const script::Declaration& d : outline.declarations) {
        if (!visible(d.scope)) continue;
        switch (d.kind) {
            case script::NameKind::kConstant:
                AddConstantItem(d.name);
                break;
            case script::NameKind::kVariable:
            case script::NameKind::kParameter:
                add(NamedEntry("variable", d.name, ";"));
                break;
            case script::NameKind::kClass:
                add(NamedEntry("class", d.name, ";"));
                break;
            case script::NameKind::kProcedure:
                break;  // below, with their parameters
        }
    }
    for (const script::Procedure& p : script::NamedProcedures(outline)) {
        std::string params;
        for (const std::string& name : p.params) params.append(params.empty() ? "" : ";") += name;
        const bool function = p.kind != "Sub" && !p.kind.starts_with("Property");
        add(NamedEntry(function ? "function" : "procedure", p.name,
                       params.empty() ? ";" : "(" + params + ");",
                       function && !p.params.empty() ? "()" : ""));
    }
    add(PropertyEntry("Application", kApplicationInterface, "", false));
    add(NamedEntry("object", "WScript", ";"));
    for (const std::string& name : description_.ConstantNames()) AddConstantItem(name);
    for (std::string_view keyword : script::Keywords(language))
        add(NamedEntry("keyword", keyword, ""));
    FitPopupWidth();
}

// --- listing ------------------------------------------------------------------------------

void CodeCompletion::ListEntryMembers(int entry) {
    if (entry < 0) return;
    description_.ForEachMember(entry, [this](const MemberInfo& m) {
        switch (m.kind) {
            case MemberKind::kProperty:
                AddPropertyItem(m.name, m.type, m.params, m.has_params);
                break;
            case MemberKind::kMethod:
                AddMethodItem(m.name, m.ret, m.params, m.has_params);
                break;
            case MemberKind::kConstant:
                AddConstantItem(m.name);
                break;
        }
    });
    FitPopupWidth();
}

void CodeCompletion::AddUnlisted(std::initializer_list<std::string_view> forms, EntryText entry) {
    for (auto form : forms)
        if (listed_.count(text::ToUpper(form))) return;
    listed_.insert(text::ToUpper(entry.item));
    popup_.AddEntry(entry.item, entry.insert);
}

void CodeCompletion::AddPropertyItem(std::string_view name, std::string_view type,
                                     std::string_view params, bool has_params) {
    AddUnlisted({PlainPropertyItem(name, type), IndexedPropertyItem(name, type, params)},
                PropertyEntry(name, type, params, has_params));
}

void CodeCompletion::AddMethodItem(std::string_view name, std::string_view ret,
                                   std::string_view params, bool has_params) {
    AddUnlisted(
        {PlainProcedureItem(name), FunctionItem(name, params, ret), ProcedureItem(name, params)},
        MethodEntry(name, ret, params, has_params));
}

void CodeCompletion::AddConstantItem(std::string_view name) {
    AddUnlisted({ConstantItem(name)}, ConstantEntry(name));
}

void CodeCompletion::FitPopupWidth() {
    const auto& items = popup_.ItemList();
    if (items.empty()) {
        popup_.SetWidth(kEmptyPopupWidth);
        return;
    }
    const std::string* longest = &items.front();
    for (std::size_t i = 1; i < items.size(); ++i)
        if (items[i].size() >= longest->size()) longest = &items[i];
    popup_.SetWidth(measure_.TextWidth(*longest) + 25 * measure_.CharWidth());
}

}  // namespace zeph::completion
