// The POSIX file layer of the XML document model: plain descriptors, fsync before the rename
// that replaces the target.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "text/cp1251.h"
#include "xml/node.h"

namespace zeph::xml {

namespace {

using text::operator""_cp;

std::string Reason(int err) {
    switch (err) {
        case ENOENT:
            return std::string(u8"файл или папка не найдены"_cp);
        case EACCES:
        case EPERM:
            return std::string(u8"доступ запрещен"_cp);
        case ENOSPC:
            return std::string(u8"нет места на диске"_cp);
        case EROFS:
            return std::string(u8"файловая система доступна только для чтения"_cp);
        case EISDIR:
            return std::string(u8"это папка, а не файл"_cp);
        case EBUSY:
        case ETXTBSY:
            return std::string(u8"файл занят"_cp);
        default:
            return std::string(u8"код ошибки "_cp) + std::to_string(err);
    }
}

[[noreturn]] void Fail(std::string_view pattern, const std::filesystem::path& name, int err) {
    throw XmlError(detail::FileErrorText(pattern, name, Reason(err)));
}

class Descriptor {
  public:
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const noexcept { return fd_; }
    int release() noexcept { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

class FileSource final : public IByteSource {
  public:
    FileSource(int fd, std::filesystem::path name) : fd_(fd), name_(std::move(name)) {
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
            size_ = static_cast<std::size_t>(st.st_size);
    }
    std::size_t SizeHint() const override { return size_; }
    std::size_t Read(char* buffer, std::size_t size) override {
        for (;;) {
            ssize_t n = ::read(fd_.get(), buffer, size);
            if (n >= 0) return static_cast<std::size_t>(n);
            if (errno != EINTR) Fail(u8"Ошибка чтения файла \"%s\""_cp, name_, errno);
        }
    }

  private:
    Descriptor fd_;
    std::filesystem::path name_;
    std::size_t size_ = 0;
};

class FileWriter final : public IFileWriter {
  public:
    FileWriter(int fd, std::filesystem::path name) : fd_(fd), name_(std::move(name)) {}
    void Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            ssize_t n = ::write(fd_.get(), bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                Fail(u8"Ошибка записи в файл \"%s\""_cp, name_, errno);
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    void Flush() override {
        if (::fsync(fd_.get()) != 0) Fail(u8"Ошибка записи в файл \"%s\""_cp, name_, errno);
    }
    void Close() override {
        if (fd_.get() >= 0 && ::close(fd_.release()) != 0)
            Fail(u8"Ошибка записи в файл \"%s\""_cp, name_, errno);
    }

  private:
    Descriptor fd_;
    std::filesystem::path name_;
};

class NoLock final : public IFileLock {};

// flock() on an open lock file; the holder removes the file when it lets go, so the folder keeps
// no trace. A taker checks that the file it locked is still the one under the name: the previous
// holder may have removed it between the open and the lock.
class FlockLock final : public IFileLock {
  public:
    FlockLock(int fd, std::filesystem::path name) : fd_(fd), name_(std::move(name)) {}
    ~FlockLock() override { ::unlink(name_.c_str()); }  // before the descriptor closes

  private:
    Descriptor fd_;
    std::filesystem::path name_;
};

class PosixFileSystem final : public IFileSystem {
  public:
    std::unique_ptr<IByteSource> OpenRead(const std::filesystem::path& name) override {
        int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) Fail(u8"Не удается открыть файл \"%s\""_cp, name, errno);
        Descriptor d(fd);
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))
            Fail(u8"Не удается открыть файл \"%s\""_cp, name, EISDIR);
        return std::make_unique<FileSource>(d.release(), name);
    }

    std::unique_ptr<IFileWriter> Create(const std::filesystem::path& name) override {
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) Fail(u8"Не удается создать файл \"%s\""_cp, name, errno);
        return std::make_unique<FileWriter>(fd, name);
    }

    void Replace(const std::filesystem::path& from, const std::filesystem::path& to) override {
        struct stat st;
        if (::stat(to.c_str(), &st) == 0) {
            // A read-only target stays read-only and unchanged, as an in-place write would.
            if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)))
                throw XmlError(detail::FileErrorText(u8"Не удается заменить файл \"%s\""_cp, to,
                                                     u8"файл доступен только для чтения"_cp));
            ::chmod(from.c_str(), st.st_mode & 07777);
        }
        if (::rename(from.c_str(), to.c_str()) != 0)
            Fail(u8"Не удается заменить файл \"%s\""_cp, to, errno);
        // Make the rename itself durable.
        std::filesystem::path folder = to.parent_path();
        int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }

    void Remove(const std::filesystem::path& name) noexcept override { ::unlink(name.c_str()); }

    std::unique_ptr<IFileLock> TryLock(const std::filesystem::path& name) override {
        int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) return std::make_unique<NoLock>();
        Descriptor d(fd);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
            return errno == EWOULDBLOCK || errno == EINTR ? nullptr : std::make_unique<NoLock>();
        struct stat held, named;
        if (::fstat(fd, &held) != 0 || ::stat(name.c_str(), &named) != 0 ||
            held.st_ino != named.st_ino || held.st_dev != named.st_dev)
            return nullptr;  // removed by its last holder meanwhile: the next try makes a new one
        return std::make_unique<FlockLock>(d.release(), name);
    }
};

}  // namespace

IFileSystem& PlatformFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

}  // namespace zeph::xml
