// The file system in use, reading a whole file, the safe write, the fault-injecting wrapper and
// the texts of file errors.
#include <algorithm>

#include "text/cp1251.h"
#include "xml/file_faults.h"
#include "xml/node.h"

namespace zeph::xml {

namespace {
IFileSystem* current_fs = nullptr;
}

IFileSystem& CurrentFileSystem() {
    return current_fs ? *current_fs : PlatformFileSystem();
}

IFileSystem* SetFileSystem(IFileSystem* fs) noexcept {
    return std::exchange(current_fs, fs);
}

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

// --- fault injection ----------------------------------------------------------------------

namespace {

using Hook = std::function<void(FileStep, const std::filesystem::path&)>;

class FaultySource final : public IByteSource {
  public:
    FaultySource(std::unique_ptr<IByteSource> inner, const Hook& hook, std::filesystem::path name)
        : inner_(std::move(inner)), hook_(hook), name_(std::move(name)) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        hook_(FileStep::Read, name_);
        return inner_->Read(buffer, size);
    }
    std::size_t SizeHint() const override { return inner_->SizeHint(); }

  private:
    std::unique_ptr<IByteSource> inner_;
    const Hook& hook_;
    std::filesystem::path name_;
};

class FaultyWriter final : public IFileWriter {
  public:
    FaultyWriter(std::unique_ptr<IFileWriter> inner, const Hook& hook, std::filesystem::path name)
        : inner_(std::move(inner)), hook_(hook), name_(std::move(name)) {}
    void Write(std::string_view bytes) override {
        try {
            hook_(FileStep::Write, name_);
        } catch (...) {
            inner_->Write(bytes.substr(0, bytes.size() / 2));
            throw;
        }
        inner_->Write(bytes);
    }
    void Flush() override {
        hook_(FileStep::Flush, name_);
        inner_->Flush();
    }
    void Close() override {
        hook_(FileStep::Close, name_);
        inner_->Close();
    }

  private:
    std::unique_ptr<IFileWriter> inner_;
    const Hook& hook_;
    std::filesystem::path name_;
};

}  // namespace

std::unique_ptr<IByteSource> FaultInjectingFileSystem::OpenRead(const std::filesystem::path& name) {
    hook_(FileStep::OpenRead, name);
    return std::make_unique<FaultySource>(inner_.OpenRead(name), hook_, name);
}

std::unique_ptr<IFileWriter> FaultInjectingFileSystem::Create(const std::filesystem::path& name) {
    hook_(FileStep::Create, name);
    return std::make_unique<FaultyWriter>(inner_.Create(name), hook_, name);
}

void FaultInjectingFileSystem::Replace(const std::filesystem::path& from,
                                       const std::filesystem::path& to) {
    hook_(FileStep::Replace, to);
    inner_.Replace(from, to);
}

void FaultInjectingFileSystem::Remove(const std::filesystem::path& name) noexcept {
    try {
        hook_(FileStep::Remove, name);
    } catch (...) {
        return;
    }
    inner_.Remove(name);
}

}  // namespace zeph::xml
