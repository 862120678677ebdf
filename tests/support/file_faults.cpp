#include "support/file_faults.h"

namespace zeph::xml {

namespace {

class FaultySource final : public IByteSource {
  public:
    FaultySource(std::unique_ptr<IByteSource> inner, const FaultInjectingFileSystem& files,
                 std::filesystem::path name)
        : inner_(std::move(inner)), files_(files), name_(std::move(name)) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        files_.Step(FileStep::Read, name_);
        return inner_->Read(buffer, size);
    }
    std::size_t SizeHint() const override { return inner_->SizeHint(); }

  private:
    std::unique_ptr<IByteSource> inner_;
    const FaultInjectingFileSystem& files_;
    std::filesystem::path name_;
};

class FaultyWriter final : public IFileWriter {
  public:
    FaultyWriter(std::unique_ptr<IFileWriter> inner, const FaultInjectingFileSystem& files,
                 std::filesystem::path name)
        : inner_(std::move(inner)), files_(files), name_(std::move(name)) {}
    void Write(std::string_view bytes) override {
        try {
            files_.Step(FileStep::Write, name_);
        } catch (...) {
            inner_->Write(bytes.substr(0, bytes.size() / 2));
            throw;
        }
        inner_->Write(bytes);
    }
    void Flush() override {
        files_.Step(FileStep::Flush, name_);
        inner_->Flush();
    }
    void Close() override {
        files_.Step(FileStep::Close, name_);
        inner_->Close();
    }

  private:
    std::unique_ptr<IFileWriter> inner_;
    const FaultInjectingFileSystem& files_;
    std::filesystem::path name_;
};

}  // namespace

std::unique_ptr<IByteSource> FaultInjectingFileSystem::OpenRead(const std::filesystem::path& name) {
    Step(FileStep::OpenRead, name);
    return std::make_unique<FaultySource>(inner_.OpenRead(name), *this, name);
}

std::unique_ptr<IFileWriter> FaultInjectingFileSystem::Create(const std::filesystem::path& name) {
    Step(FileStep::Create, name);
    return std::make_unique<FaultyWriter>(inner_.Create(name), *this, name);
}

void FaultInjectingFileSystem::Replace(const std::filesystem::path& from,
                                       const std::filesystem::path& to) {
    Step(FileStep::Replace, to);
    inner_.Replace(from, to);
}

void FaultInjectingFileSystem::Remove(const std::filesystem::path& name) noexcept {
    try {
        Step(FileStep::Remove, name);
    } catch (...) {
        return;
    }
    inner_.Remove(name);
}

}  // namespace zeph::xml
