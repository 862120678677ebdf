// A file system that wraps another and fails on request, for testing what a failure at each step
// of loading or saving leaves behind.
#pragma once

#include <functional>

#include "xml/xml.h"

namespace zeph::xml {

enum class FileStep { OpenRead, Read, Create, Write, Flush, Close, Replace, Remove };

class FaultInjectingFileSystem final : public IFileSystem {
  public:
    // `hook` runs before each step and fails the step by throwing (e.g. XmlError). A failing
    // Write first writes half of its bytes, as a crash or a full disk in mid-write would. A
    // throwing Remove is swallowed and leaves the file, as a crash before the clean-up would.
    explicit FaultInjectingFileSystem(
        std::function<void(FileStep, const std::filesystem::path&)> hook,
        IFileSystem& inner = PlatformFileSystem())
        : hook_(std::move(hook)), inner_(inner) {}

    std::unique_ptr<IByteSource> OpenRead(const std::filesystem::path& name) override;
    std::unique_ptr<IFileWriter> Create(const std::filesystem::path& name) override;
    void Replace(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void Remove(const std::filesystem::path& name) noexcept override;
    std::unique_ptr<IFileLock> TryLock(const std::filesystem::path& name) override {
        return inner_.TryLock(name);
    }

  private:
    std::function<void(FileStep, const std::filesystem::path&)> hook_;
    IFileSystem& inner_;
};

// Puts a file system in place for a scope.
class ScopedFileSystem {
  public:
    explicit ScopedFileSystem(IFileSystem& fs) noexcept : previous_(SetFileSystem(&fs)) {}
    ~ScopedFileSystem() { SetFileSystem(previous_); }
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

  private:
    IFileSystem* previous_;
};

}  // namespace zeph::xml
