// Documents: their arenas, loading and saving.
#include <algorithm>
#include <cstring>
#include <memory>

#include "text/cp1251.h"
#include "xml/node.h"

namespace zeph::xml::detail {

Document::Document() : NodeImpl(kDocumentNode, 0), arena_(new Arena) {
    name_ = arena_->names().pre(NameTable::kDocument);
}

Document::~Document() = default;

void Document::Gone() noexcept {
    Arena* a = arena_;
    if (a->held == 0 && a->foreign == 0) {
        // Nothing outside the document reaches into its arena: it goes at once, with every node,
        // text and name in it, without a walk over the nodes.
        delete a;
    } else {
        ClearChildren();
        ClearAttrs();
        a->owned = false;
        if (a->nodes == 0) delete a;
    }
    delete this;
}

void Document::Restart() {
    Arena* a = arena_;
    if (a->held == 0 && a->foreign == 0) {
        ForgetContent();  // it lies in the arena
        a->Reset();
        return;
    }
    // Callers still hold nodes of the old content: they keep the old arena, which goes with the
    // last of them.
    auto fresh = std::make_unique<Arena>();
    ClearChildren();
    ClearAttrs();
    ForgetContent();
    a->owned = false;
    arena_ = fresh.release();
    name_ = arena_->names().pre(NameTable::kDocument);
    if (a->nodes == 0) delete a;
}

XmlRef<IXmlElement> Document::DocumentElement() {
    for (NodeData* n : kids())
        if (n->kind() == kElementNode) return n->AsElement();
    return nullptr;
}

XmlRef<IXmlElement> Document::NewDocument(std::string_view version, std::string_view encoding,
                                          std::string_view root_name) {
    // The document's own attributes stay (nothing of ours sets any).
    std::vector<std::pair<std::string, XmlValue>> kept;
    for (const Attr& a : attrs())
        kept.emplace_back(std::string(arena().names().View(a.name)), a.value);
    Restart();
    for (auto& [name, value] : kept) SetAttrValue(name, std::move(value));
    std::string data = "version=\"";
    data += version;
    data += "\" encoding=\"";
    data += encoding.empty() ? std::string_view("windows-1251") : encoding;
    data += '"';
    Arena& a = arena();
    Element* root = NewElement(a, a.names().Intern(root_name));
    XmlRef<IXmlElement> ref(root);
    AppendOwn(NewLeaf(a, kProcessingInstructionNode, a.names().pre(NameTable::kXml), data));
    AppendOwn(root);
    return ref;
}

void Document::LoadFromBytes(std::string_view bytes) {
    Restart();
    if (bytes.size() > kBinaryMarker.size() && bytes.starts_with(kBinaryMarker))
        ReadBinary(*this, bytes.substr(kBinaryMarker.size()));
    else
        ParseText(*this, bytes);
}

void Document::LoadFromStream(IByteSource& source) {
    // One read into a buffer of the expected size (plus a byte to see the end) when the source
    // knows it; otherwise, or when the input runs longer, the buffer doubles. It is not
    // zero-filled first: only the bytes read are ever looked at.
    // A hint beyond any file worth reading at once is not trusted for the first buffer.
    constexpr std::size_t kLargestHint = std::size_t{64} << 20;
    std::size_t capacity = std::clamp<std::size_t>(source.SizeHint(), 4095, kLargestHint) + 1;
    auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
    std::size_t used = 0;
    for (;;) {
        if (used == capacity) {
            std::size_t grown = capacity * 2;
            auto larger = std::make_unique_for_overwrite<char[]>(grown);
            std::memcpy(larger.get(), bytes.get(), used);
            bytes = std::move(larger);
            capacity = grown;
        }
        std::size_t n = source.Read(bytes.get() + used, capacity - used);
        if (n == 0) break;
        used += n;
    }
    LoadFromBytes(std::string_view(bytes.get(), used));
}

void Document::LoadFromFile(const std::filesystem::path& name) {
    auto source = CurrentFileSystem().OpenRead(name);
    LoadFromStream(*source);
}

void Document::SaveToStream(IByteSink& sink) {
    // Text for a string goes straight into it rather than through a buffer of blocks.
    if (auto* strings = dynamic_cast<StringSink*>(&sink)) {
        Write(*this, strings->target(), nullptr);
        return;
    }
    std::string buffer;
    Write(*this, buffer, &sink);
    if (!buffer.empty()) sink.Write(buffer);
}

void Document::SaveToFile(const std::filesystem::path& name) {
    IFileSystem& fs = CurrentFileSystem();
    std::filesystem::path temp = TempFileName(name);
    try {
        auto writer = fs.Create(temp);
        SaveToStream(*writer);
        writer->Flush();
        writer->Close();
        writer.reset();
        fs.Replace(temp, name);
    } catch (...) {
        fs.Remove(temp);
        throw;
    }
}

}  // namespace zeph::xml::detail

namespace zeph::xml {

XmlRef<IXmlDocument> CreateXmlDocument(std::string_view root_name, std::string_view version,
                                       std::string_view encoding) {
    XmlRef<IXmlDocument> doc(new detail::Document);
    if (!root_name.empty()) doc->NewDocument(version, encoding, root_name);
    return doc;
}

XmlRef<IXmlDocument> LoadXmlDocument(const std::filesystem::path& name) {
    XmlRef<IXmlDocument> doc(new detail::Document);
    doc->LoadFromFile(name);
    return doc;
}

std::size_t LiveNameCount() noexcept {
    return detail::LiveNames();
}

void ReleaseSpareMemory() noexcept {
    detail::ReleaseSpareRegions();
}

std::size_t MemorySource::Read(char* buffer, std::size_t size) {
    std::size_t n = std::min(size, bytes_.size());
    if (n) std::memcpy(buffer, bytes_.data(), n);
    bytes_.remove_prefix(n);
    return n;
}

std::filesystem::path TempFileName(const std::filesystem::path& target) {
    std::filesystem::path temp = target;
    temp += ".tmp";
    return temp;
}

}  // namespace zeph::xml
