// A file system that wraps another and fails on request, for testing what a failure at each step
// of loading or saving leaves behind. Code under test takes it where it takes a file system.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "xml/xml.h"

namespace zeph::xml {

enum class FileStep { OpenRead, Read, Create, Write, Flush, Close, Replace, Remove };

class FaultInjectingFileSystem final : public IFileSystem {
  public:
    using Hook = std::function<void(FileStep, const std::filesystem::path&)>;

    // `hook` runs before each step and fails the step by throwing (e.g. XmlError); without one
    // every step goes through. A failing Write first writes half of its bytes, as a crash or a
    // full disk in mid-write would. A throwing Remove is swallowed and leaves the file, as a
    // crash before the clean-up would.
    explicit FaultInjectingFileSystem(Hook hook = {}, IFileSystem& inner = PlatformFileSystem())
        : hook_(std::move(hook)), inner_(inner) {}

    // The hook for the steps from now on; returns the previous one.
    Hook SetHook(Hook hook) { return std::exchange(hook_, std::move(hook)); }

    std::unique_ptr<IByteSource> OpenRead(const std::filesystem::path& name) override;
    std::unique_ptr<IFileWriter> Create(const std::filesystem::path& name) override;
    void Replace(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void Remove(const std::filesystem::path& name) noexcept override;
    std::unique_ptr<IFileLock> TryLock(const std::filesystem::path& name) override {
        return inner_.TryLock(name);
    }

    // Runs the hook, if any, for one step.
    void Step(FileStep step, const std::filesystem::path& name) const {
        if (hook_) hook_(step, name);
    }

  private:
    Hook hook_;
    IFileSystem& inner_;
};

// Puts a hook in place for a scope, then the previous one back.
class ScopedFaults {
  public:
    ScopedFaults(FaultInjectingFileSystem& files, FaultInjectingFileSystem::Hook hook)
        : files_(files), previous_(files.SetHook(std::move(hook))) {}
    ~ScopedFaults() { files_.SetHook(std::move(previous_)); }
    ScopedFaults(const ScopedFaults&) = delete;
    ScopedFaults& operator=(const ScopedFaults&) = delete;

  private:
    FaultInjectingFileSystem& files_;
    FaultInjectingFileSystem::Hook previous_;
};

}  // namespace zeph::xml
