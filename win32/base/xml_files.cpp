// The Windows file system of the XML document model: -W calls only, so any folder name works;
// the target of a save is replaced in one step by MoveFileExW, retried briefly while another
// process (a scanner, an editor) holds the file.
//
// Not ReplaceFileW: Wine carries it out as two renames, the target first moved away to an
// "rf*.tmp" file beside it and the new file then moved in. Another process looking in between
// finds no target at all, and a process killed in between leaves the "rf*.tmp" file behind.
// MoveFileExW is a single rename on Windows and under Wine.
#include <windows.h>

#include <cstdint>

#include "base/result.h"
#include "base/unique.h"
#include "base/wide.h"
#include "text/cp1251.h"
#include "xml/node.h"

namespace zeph::xml {

namespace {

using text::operator""_cp;
using win::UniqueFile;

constexpr int kAttempts = 20;
constexpr DWORD kPauseMs = 50;

bool IsTransient(DWORD err) {
    return err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION ||
           err == ERROR_ACCESS_DENIED;
}

std::string Reason(DWORD err) {
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
            return std::string(u8"файл не найден"_cp);
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return std::string(u8"путь не найден"_cp);
        case ERROR_ACCESS_DENIED:
            return std::string(u8"доступ запрещен"_cp);
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return std::string(u8"файл занят другим процессом"_cp);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return std::string(u8"нет места на диске"_cp);
        case ERROR_WRITE_PROTECT:
            return std::string(u8"диск защищен от записи"_cp);
        default:
            break;
    }
    std::wstring text = win::SystemText(err);
    while (!text.empty() && text.back() == L'.') text.pop_back();
    std::string code = std::string(u8"код ошибки "_cp) + std::to_string(err);
    return text.empty() ? code : win::Narrow(text) + " (" + code + ")";
}

[[noreturn]] void Fail(std::string_view pattern, const std::filesystem::path& name, DWORD err) {
    throw XmlError(detail::FileErrorText(pattern, name, Reason(err)));
}

class FileSource final : public IByteSource {
  public:
    FileSource(HANDLE h, std::filesystem::path name) : file_(h), name_(std::move(name)) {
        LARGE_INTEGER size;
        if (::GetFileSizeEx(h, &size) && size.QuadPart > 0 &&
            static_cast<unsigned long long>(size.QuadPart) < SIZE_MAX / 2)
            size_ = static_cast<std::size_t>(size.QuadPart);
    }
    std::size_t SizeHint() const override { return size_; }
    std::size_t Read(char* buffer, std::size_t size) override {
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        if (!::ReadFile(file_.get(), buffer, want, &got, nullptr))
            Fail(u8"Ошибка чтения файла \"%s\""_cp, name_, ::GetLastError());
        return got;
    }

  private:
    UniqueFile file_;
    std::filesystem::path name_;
    std::size_t size_ = 0;
};

class FileWriter final : public IFileWriter {
  public:
    FileWriter(HANDLE h, std::filesystem::path name) : file_(h), name_(std::move(name)) {}
    void Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            DWORD put = 0;
            DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
            if (!::WriteFile(file_.get(), bytes.data(), want, &put, nullptr))
                Fail(u8"Ошибка записи в файл \"%s\""_cp, name_, ::GetLastError());
            bytes.remove_prefix(put);
        }
    }
    void Flush() override {
        if (!::FlushFileBuffers(file_.get()))
            Fail(u8"Ошибка записи в файл \"%s\""_cp, name_, ::GetLastError());
    }
    void Close() override {
        HANDLE h = file_.release();
        if (h != INVALID_HANDLE_VALUE && !::CloseHandle(h))
            Fail(u8"Ошибка записи в файл \"%s\""_cp, name_, ::GetLastError());
    }

  private:
    UniqueFile file_;
    std::filesystem::path name_;
};

class HandleLock final : public IFileLock {
  public:
    explicit HandleLock(HANDLE h) : file_(h) {}

  private:
    UniqueFile file_;
};

class NoLock final : public IFileLock {};

class WindowsFileSystem final : public IFileSystem {
  public:
    std::unique_ptr<IByteSource> OpenRead(const std::filesystem::path& name) override {
        DWORD err = 0;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            // Others may read, and may rename a new file over this one: a reader must not make
            // a save of another process fail.
            HANDLE h =
                ::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE) return std::make_unique<FileSource>(h, name);
            err = ::GetLastError();
            if (err != ERROR_SHARING_VIOLATION && err != ERROR_LOCK_VIOLATION) break;
            ::Sleep(kPauseMs);
        }
        Fail(u8"Не удается открыть файл \"%s\""_cp, name, err);
    }

    std::unique_ptr<IFileWriter> Create(const std::filesystem::path& name) override {
        HANDLE h = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            Fail(u8"Не удается создать файл \"%s\""_cp, name, ::GetLastError());
        return std::make_unique<FileWriter>(h, name);
    }

    void Replace(const std::filesystem::path& from, const std::filesystem::path& to) override {
        DWORD attrs = ::GetFileAttributesW(to.c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY))
            throw XmlError(detail::FileErrorText(u8"Не удается заменить файл \"%s\""_cp, to,
                                                 u8"файл доступен только для чтения"_cp));
        DWORD err = 0;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (::MoveFileExW(from.c_str(), to.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                return;
            err = ::GetLastError();
            if (!IsTransient(err)) break;
            ::Sleep(kPauseMs);
        }
        Fail(u8"Не удается заменить файл \"%s\""_cp, to, err);
    }

    void Remove(const std::filesystem::path& name) noexcept override {
        ::DeleteFileW(name.c_str());
    }

    // The lock is an open handle that shares nothing; the file goes with the last handle, also
    // when the holder is killed.
    std::unique_ptr<IFileLock> TryLock(const std::filesystem::path& name) override {
        HANDLE h =
            ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) return std::make_unique<HandleLock>(h);
        const DWORD err = ::GetLastError();
        if (err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION) return nullptr;
        // Denied: either a holder's file on its way out, or a folder we may not write to.
        if (err == ERROR_ACCESS_DENIED &&
            (::GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES ||
             ::GetLastError() == ERROR_ACCESS_DENIED))
            return nullptr;
        return std::make_unique<NoLock>();
    }
};

}  // namespace

IFileSystem& PlatformFileSystem() {
    static WindowsFileSystem fs;
    return fs;
}

}  // namespace zeph::xml
