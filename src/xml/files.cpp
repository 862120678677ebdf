// Reading a whole file, the safe write and the texts of file errors, over any file system.
#include <algorithm>

#include "text/cp1251.h"
#include "xml/node.h"

namespace zeph::xml {

namespace detail {

std::string PathText(const std::filesystem::path& name) {
    auto u8 = name.u8string();
    return text::FromUtf8(std::string_view(reinterpret_cast<const char*>(u8.data()), u8.size()));
}

std::string FileErrorText(std::string_view pattern, const std::filesystem::path& name,
                          std::string_view reason) {
    return Format(pattern, PathText(name)) + ": " + std::string(reason);
}

}  // namespace detail

std::filesystem::path TempFileName(const std::filesystem::path& target) {
    std::filesystem::path temp = target;
    temp += ".tmp";
    return temp;
}

std::string ReadAll(IByteSource& source) {
    // A hint beyond any file worth reading at once is not trusted for the first buffer.
    constexpr std::size_t kLargestHint = std::size_t{64} << 20;
    std::string bytes(std::clamp<std::size_t>(source.SizeHint(), 4095, kLargestHint) + 1, '\0');
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) bytes.resize(bytes.size() * 2);
        const std::size_t n = source.Read(bytes.data() + used, bytes.size() - used);
        if (n == 0) break;
        used += n;
    }
    bytes.resize(used);
    return bytes;
}

std::string ReadAll(IFileSystem& files, const std::filesystem::path& name) {
    return ReadAll(*files.OpenRead(name));
}

std::string LoadErrorText(const XmlError& error, const std::filesystem::path& file,
                          std::string_view bytes) {
    using text::operator""_cp;
    std::string text = error.what();
    text += std::string(u8" (файл \""_cp) + detail::PathText(file) + "\"";
    if (const auto* parse = dynamic_cast<const XmlParseError*>(&error)) {
        const std::size_t at = std::min(parse->offset(), bytes.size());
        if (bytes.size() > detail::kBinaryMarker.size() &&
            bytes.starts_with(detail::kBinaryMarker)) {
            text += std::string(u8", смещение "_cp) + std::to_string(at);
        } else {
            const std::string_view before = bytes.substr(0, at);
            const std::size_t line_start = before.rfind('\n') + 1;  // 0 when there is none
            const auto lines = std::count(before.begin(), before.end(), '\n');
            text += std::string(u8", строка "_cp) + std::to_string(lines + 1) +
                    std::string(u8", столбец "_cp) + std::to_string(at - line_start + 1);
        }
    }
    return text + ")";
}

void WriteSafely(IFileSystem& files, const std::filesystem::path& name,
                 const std::function<void(IByteSink&)>& write) {
    const std::filesystem::path temp = TempFileName(name);
    try {
        auto writer = files.Create(temp);
        write(*writer);
        writer->Flush();
        writer->Close();
        writer.reset();
        files.Replace(temp, name);
    } catch (...) {
        files.Remove(temp);
        throw;
    }
}

void WriteSafely(IFileSystem& files, const std::filesystem::path& name, std::string_view bytes) {
    WriteSafely(files, name, [bytes](IByteSink& sink) { sink.Write(bytes); });
}

}  // namespace zeph::xml
