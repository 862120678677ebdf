#include "completion/description_cache.h"

#include <utility>

namespace zeph::completion {

xml::XmlRef<xml::IXmlDocument> DescriptionCache::Load(const std::filesystem::path& file) {
    std::string bytes = xml::ReadAll(files_, file);
    if (document_ && file == file_ && bytes == bytes_) return document_;
    // The old document goes first: the new one then reuses its memory.
    Clear();
    auto document = xml::CreateXmlDocument();
    try {
        document->LoadFromBytes(bytes);
    } catch (const xml::XmlParseError& e) {
        throw xml::XmlParseError(xml::LoadErrorText(e, file, bytes), e.offset());
    }
    file_ = file;
    bytes_ = std::move(bytes);
    document_ = document;
    return document;
}

void DescriptionCache::Clear() {
    document_ = {};
    bytes_ = {};
    file_.clear();
}

}  // namespace zeph::completion
