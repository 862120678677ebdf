// The host description as last parsed, kept with the bytes it was parsed from. Completion asks
// for the description at every request and the parameter hints at every hint they open; parsing
// a large description each time makes the editor lag. A load reads the file again and hands out
// the same document while its bytes are the same, so an edited description is seen at once.
#pragma once

#include <filesystem>
#include <string>

#include "xml/xml.h"

namespace zeph::completion {

class DescriptionCache {
  public:
    explicit DescriptionCache(xml::IFileSystem& files = xml::PlatformFileSystem())
        : files_(files) {}

    // The document of `file`: the one kept when the file holds the same bytes as when it was
    // parsed, otherwise parsed anew (and kept). Errors are those of xml::LoadXmlDocument, with
    // the file and the place; a file that does not load leaves nothing kept.
    xml::XmlRef<xml::IXmlDocument> Load(const std::filesystem::path& file);
    // Lets the kept document go.
    void Clear();

  private:
    xml::IFileSystem& files_;
    std::filesystem::path file_;
    std::string bytes_;
    xml::XmlRef<xml::IXmlDocument> document_;
};

}  // namespace zeph::completion
