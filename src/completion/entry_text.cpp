#include "completion/entry_text.h"

namespace zeph::completion {

namespace {

std::string Concat(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (auto p : parts) size += p.size();
    std::string out;
    out.reserve(size);
    for (auto p : parts) out += p;
    return out;
}

}  // namespace

std::string_view Slice(std::string_view text, int start, int count) {
    if (start < 1) start = 1;
    if (count <= 0 || static_cast<std::size_t>(start) > text.size()) return {};
    return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count));
}

std::string PlainPropertyItem(std::string_view name, std::string_view type) {
    return Concat({"property\t", name, "\t:", type, ";"});
}

std::string IndexedPropertyItem(std::string_view name, std::string_view type,
                                std::string_view params) {
    return Concat({"property\t", name, "\t[", params, "]: ", type, ";"});
}

std::string PlainProcedureItem(std::string_view name) {
    return Concat({"procedure\t", name, "\t;"});
}

std::string FunctionItem(std::string_view name, std::string_view params, std::string_view ret) {
    return Concat({"function\t", name, "\t(", params, "): ", ret, ";"});
}

std::string ProcedureItem(std::string_view name, std::string_view params) {
    return Concat({"procedure\t", name, "\t(", params, ");"});
}

std::string ConstantItem(std::string_view name) {
    return Concat({"constant\t", name, "\t;"});
}

EntryText PropertyEntry(std::string_view name, std::string_view type, std::string_view params,
                        bool has_params) {
    if (!has_params) return {PlainPropertyItem(name, type), std::string(name)};
    return {IndexedPropertyItem(name, type, params), Concat({name, "[]"})};
}

EntryText MethodEntry(std::string_view name, std::string_view ret, std::string_view params,
                      bool has_params) {
    // Without parameters a method is a procedure whatever its result.
    if (!has_params) return {PlainProcedureItem(name), std::string(name)};
    if (!ret.empty()) return {FunctionItem(name, params, ret), Concat({name, "()"})};
    return {ProcedureItem(name, params), Concat({name, "()"})};
}

EntryText ConstantEntry(std::string_view name) {
    return {ConstantItem(name), std::string(name)};
}

EntryText NamedEntry(std::string_view kind, std::string_view name, std::string_view signature,
                     std::string_view after) {
    EntryText e;
    e.item.append(kind).append("\t").append(name).append("\t").append(signature);
    e.insert.append(name).append(after);
    return e;
}

}  // namespace zeph::completion
