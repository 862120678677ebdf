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
    text_size_ = 0;
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
    if (bytes.size() > kBinaryMarker.size() && bytes.starts_with(kBinaryMarker)) {
        try {
            ReadBinary(*this, bytes.substr(kBinaryMarker.size()));
        } catch (const XmlParseError& e) {
            throw XmlParseError(e.what(), e.offset() + kBinaryMarker.size());
        }
    } else {
        ParseText(*this, bytes);
        text_size_ = bytes.size();
    }
}

void Document::LoadFromStream(IByteSource& source) {
    LoadFromBytes(ReadAll(source));
}

void Document::LoadFromFile(const std::filesystem::path& name) {
    const std::string bytes = ReadAll(PlatformFileSystem(), name);
    try {
        LoadFromBytes(bytes);
    } catch (const XmlParseError& e) {
        throw XmlParseError(LoadErrorText(e, name, bytes), e.offset());
    }
}

void Document::SaveToStream(IByteSink& sink) {
    // Text for a string goes straight into it rather than through a buffer of blocks.
    if (auto* strings = dynamic_cast<StringSink*>(&sink)) {
        std::string& target = strings->target();
        const std::size_t before = target.size();
        // A little more than last time, for small edits since.
        const std::size_t room = text_size_ + text_size_ / 64;
        const bool reserved = target.capacity() - before < room;
        if (reserved) target.reserve(before + room);
        Write(*this, target, nullptr);
        text_size_ = target.size() - before;
        // Edits since made the document much smaller: the string does not keep the room.
        if (reserved && text_size_ < room / 2 && room > 65536) target.shrink_to_fit();
        return;
    }
    std::string buffer;
    Write(*this, buffer, &sink);
    if (!buffer.empty()) sink.Write(buffer);
}

void Document::SaveToFile(const std::filesystem::path& name) {
    WriteSafely(PlatformFileSystem(), name, [this](IByteSink& sink) { SaveToStream(sink); });
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

}  // namespace zeph::xml
