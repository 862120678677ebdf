// The XML document model through which every file of the module goes: reference-counted
// documents, elements and node lists used through small interfaces, a writer with a fixed byte
// layout, a text parser and a reader of the binary form. Text is code page 1251 throughout.
//
// Depth: loading and freeing follow any nesting without recursion. Writing stops with an
// XmlError below kMaxWriteDepth levels of elements, because the indentation makes the text of a
// deeper chain grow with the square of its depth.
//
// Ownership: nodes and lists are counted intrusively and held through XmlRef<T>. A node lives
// while a caller or a child list refers to it; one node may be listed by two parents (its parent
// link then names the newer one). Freeing, parsing and writing are iterative, so documents nested
// arbitrarily deep never exhaust the stack.
//
// Threads: a tree (a document and everything reached from it, including documents sharing nodes
// with it) is used by one thread at a time; it may be handed to another thread and freed there.
// Different trees may be used on different threads at once.
//
// Errors are XmlError exceptions whose what() is code page 1251 text.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace zeph::xml {

namespace detail {
struct ValueAccess;
}

inline constexpr std::size_t kMaxWriteDepth = 1000;

class XmlError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// An error of the text parser or of the binary reader, with the offset in the input (in bytes
// from its start) where reading stopped. Its text is the reader's own.
class XmlParseError : public XmlError {
  public:
    XmlParseError(const std::string& message, std::size_t offset)
        : XmlError(message), offset_(offset) {}
    std::size_t offset() const noexcept { return offset_; }

  private:
    std::size_t offset_;
};

// --- reference counting -------------------------------------------------------------------

class IXmlBase {
  public:
    IXmlBase(const IXmlBase&) = delete;
    IXmlBase& operator=(const IXmlBase&) = delete;

    void AddRef() const noexcept {
        if (refs_++ == 0) const_cast<IXmlBase*>(this)->Held();
    }
    void Release() const noexcept {
        if (--refs_ == 0) const_cast<IXmlBase*>(this)->Free();
    }
    // The references of callers (a node listed by a parent is not counted here).
    std::uint32_t RefCount() const noexcept { return refs_; }

  protected:
    IXmlBase() = default;
    virtual ~IXmlBase() = default;
    // Called when the first reference comes: a document learns which of its nodes are held.
    virtual void Held() noexcept {}
    // Called when the last reference goes; a node listed by a parent lives on.
    virtual void Free() noexcept { delete this; }

  private:
    mutable std::uint32_t refs_ = 0;
};

// An owning pointer to a counted object.
template <class T>
class XmlRef {
  public:
    XmlRef() noexcept = default;
    XmlRef(std::nullptr_t) noexcept {}
    explicit XmlRef(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    XmlRef(const XmlRef& o) noexcept : XmlRef(o.p_) {}
    XmlRef(XmlRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U>
    requires std::is_convertible_v<U*, T*> XmlRef(const XmlRef<U>& o)
    noexcept : XmlRef(static_cast<T*>(o.get())) {}
    template <class U>
    requires std::is_convertible_v<U*, T*> XmlRef(XmlRef<U>&& o)
    noexcept : p_(o.get()) { o.detach(); }
    ~XmlRef() {
        if (p_) p_->Release();
    }
    XmlRef& operator=(XmlRef o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset() noexcept { XmlRef().swap(*this); }
    void swap(XmlRef& o) noexcept { std::swap(p_, o.p_); }
    // Gives up ownership without releasing (the caller takes over the reference).
    T* detach() noexcept { return std::exchange(p_, nullptr); }

    template <class U>
    bool operator==(const XmlRef<U>& o) const noexcept {
        return p_ == o.get();
    }
    bool operator==(std::nullptr_t) const noexcept { return p_ == nullptr; }

  private:
    T* p_ = nullptr;
};

// --- attribute values ---------------------------------------------------------------------

// An attribute value keeps the type of whatever stored it; it becomes text only when it is read
// as text or written out.
class XmlValue {
  public:
    enum class Type : std::uint8_t {
        Empty,
        Null,
        Text,
        Integer,  // any integer type of the binary form, and SetIntAttr (32-bit)
        Boolean,
        Float,     // 32- and 64-bit floats
        Currency,  // amount times 10000
        Date,      // days since 30 December 1899, fraction is the time of day
        Bytes,
    };

    XmlValue() noexcept = default;
    XmlValue(std::string_view text) {
        // Most values are short: those are made here, without a call.
        if (text.size() <= kInline) {
            type_ = Type::Text;
            size_ = static_cast<std::uint32_t>(text.size());
            if (size_) std::memcpy(u_.inline_text, text.data(), size_);
        } else {
            SetText(Type::Text, text);
        }
    }
    XmlValue(const char* text) : XmlValue(std::string_view(text)) {}
    XmlValue(const std::string& text) : XmlValue(std::string_view(text)) {}
    XmlValue(std::int32_t value) noexcept : type_(Type::Integer) { u_.i = value; }
    XmlValue(bool value) noexcept : type_(Type::Boolean) { u_.i = value ? 1 : 0; }
    XmlValue(const XmlValue& other);
    XmlValue(XmlValue&& other) noexcept
        : type_(other.type_),
          shared_(other.shared_.load(std::memory_order_relaxed)),
          in_document_(other.in_document_),
          size_(other.size_),
          u_(other.u_) {
        other.type_ = Type::Empty;
        other.size_ = 0;
    }
    XmlValue& operator=(const XmlValue& other);
    XmlValue& operator=(XmlValue&& other) noexcept;
    ~XmlValue() {
        if (size_ > kInline && !in_document_) FreeText();
    }

    static XmlValue Null();
    static XmlValue Integer(std::int64_t value);
    static XmlValue Float(double value);
    static XmlValue Currency(std::int64_t times10000);
    static XmlValue Date(double days);
    static XmlValue Bytes(std::string_view bytes);

    Type type() const noexcept { return type_; }
    // Raw storage, by type: Integer, Boolean (0/1) and Currency use AsInt64; Float and Date use
    // AsDouble; Text and Bytes use Raw (empty for the other types).
    std::int64_t AsInt64() const noexcept { return size_ ? 0 : u_.i; }
    double AsDouble() const noexcept { return size_ ? 0.0 : u_.d; }
    std::string_view Raw() const noexcept {
        return {size_ > kInline ? u_.ptr : u_.inline_text, size_};
    }

    // The value as text: integers in decimal, booleans "True"/"False".
    std::string ToText() const;
    // The value as the writer puts it into a file: like ToText, but booleans as "1"/"0".
    std::string ToFileText() const;
    // Conversions of the typed getters; a value that does not convert raises XmlError.
    std::int32_t ToInt() const;
    bool ToBool() const;

    // Equality as the attribute search sees it: texts byte for byte; otherwise the two values
    // are compared by type, and a pair that cannot be compared is unequal.
    bool Matches(const XmlValue& other) const;

  private:
    friend struct detail::ValueAccess;

    // Documents hold many short values: texts up to this size live inside the value. Longer ones
    // of values in a document lie in the document's memory and are copied when the value is;
    // those of other values are shared by their copies (a count ahead of the bytes).
    static constexpr std::uint32_t kInline = 16;

    void SetText(Type type, std::string_view text);
    void FreeText() noexcept;

    Type type_ = Type::Empty;
    // Whether a long text may have other holders: until it is first copied, freeing it need not
    // read its count (which would fetch its block from memory only to find 1).
    mutable std::atomic<bool> shared_{false};
    // The long text lies in a document's memory, which gives it back.
    bool in_document_ = false;
    std::uint32_t size_ = 0;  // of the text; 0 for numbers
    union {
        std::int64_t i;
        double d;
        char* ptr;
        char inline_text[kInline];
    } u_{0};
};

// --- byte streams -------------------------------------------------------------------------

class IByteSource {
  public:
    virtual ~IByteSource() = default;
    // Reads up to `size` bytes; returns 0 only at the end of the input. Errors raise XmlError.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
    // The number of bytes the source expects to give (a file's size), or 0 when unknown. Only a
    // hint for the reader's buffer: the input may still end sooner or run longer.
    virtual std::size_t SizeHint() const { return 0; }
};

class IByteSink {
  public:
    virtual ~IByteSink() = default;
    // Writes all of `bytes` or raises XmlError.
    virtual void Write(std::string_view bytes) = 0;
};

// Reads from bytes the caller keeps alive.
class MemorySource final : public IByteSource {
  public:
    explicit MemorySource(std::string_view bytes) noexcept : bytes_(bytes) {}
    std::size_t Read(char* buffer, std::size_t size) override;
    std::size_t SizeHint() const override { return bytes_.size(); }

  private:
    std::string_view bytes_;
};

// Appends to a string.
class StringSink final : public IByteSink {
  public:
    StringSink() = default;
    explicit StringSink(std::string* target) noexcept : target_(target) {}
    void Write(std::string_view bytes) override { target_->append(bytes); }
    const std::string& str() const noexcept { return *target_; }
    std::string& target() noexcept { return *target_; }

  private:
    std::string own_;
    std::string* target_ = &own_;
};

// --- files --------------------------------------------------------------------------------

class IFileWriter : public IByteSink {
  public:
    // Pushes everything written so far to the disk.
    virtual void Flush() = 0;
    // Closes the file; errors of the close raise XmlError. The destructor closes silently.
    virtual void Close() = 0;
};

// An exclusive hold on a lock file; destroying it lets the next holder in.
class IFileLock {
  public:
    virtual ~IFileLock() = default;
};

// The file operations behind LoadFromFile, SaveToFile and the store. The documents use the
// platform's own (PlatformFileSystem); code that must survive failing files takes one as a
// parameter, so its tests can hand it one that fails.
class IFileSystem {
  public:
    virtual ~IFileSystem() = default;
    // Opens an existing file for reading; others may read it meanwhile, not write it.
    virtual std::unique_ptr<IByteSource> OpenRead(const std::filesystem::path& name) = 0;
    // Creates the file for writing, truncating an existing one.
    virtual std::unique_ptr<IFileWriter> Create(const std::filesystem::path& name) = 0;
    // Puts `from` in place of `to` in one step (`to` may or may not exist); retries briefly
    // while another process holds `to`. On failure both files stay as they were. A read-only
    // `to` is not replaced.
    virtual void Replace(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Deletes the file if it exists; never fails.
    virtual void Remove(const std::filesystem::path& name) noexcept = 0;
    // Takes the lock file `name` for this process alone, without waiting: nullptr while another
    // holder has it. The hold ends with the returned object or with the process, so a crashed
    // holder never blocks anyone. Where no lock file can be made at all (a read-only folder)
    // the returned lock holds nothing: nothing can be saved there to be protected anyway.
    virtual std::unique_ptr<IFileLock> TryLock(const std::filesystem::path& name) = 0;
};

IFileSystem& PlatformFileSystem();

// WriteSafely writes the whole file to this one next to the target first (the target's full name
// plus ".tmp", e.g. "zpconfig.cfg.tmp"), flushes it and only then replaces the target, so the
// target always holds either the old or the new bytes. A file of this name left behind comes
// from an interrupted save; the next save overwrites it.
std::filesystem::path TempFileName(const std::filesystem::path& target);

// Reads the source to its end: one read into a buffer of the expected size (plus a byte to see
// the end) when the source knows it; otherwise, or when the input runs longer, the buffer doubles.
std::string ReadAll(IByteSource& source);
std::string ReadAll(IFileSystem& files, const std::filesystem::path& name);

// The text of `error`, met loading `bytes` read from `file`: the error's own text, then the file
// and, for a parse error, the place: line and column (from 1, counted in bytes) in XML text, the
// offset from the start in the binary form.
std::string LoadErrorText(const XmlError& error, const std::filesystem::path& file,
                          std::string_view bytes);

// Lets `write` fill TempFileName(name), flushes and closes it and only then puts it in the
// target's place. On any failure the temporary file is removed and the target stays as it was.
void WriteSafely(IFileSystem& files, const std::filesystem::path& name,
                 const std::function<void(IByteSink&)>& write);
void WriteSafely(IFileSystem& files, const std::filesystem::path& name, std::string_view bytes);

// --- nodes --------------------------------------------------------------------------------

enum NodeKind : int {
    kElementNode = 1,
    kTextNode = 3,
    kCDataNode = 4,
    kProcessingInstructionNode = 7,
    kCommentNode = 8,
    kDocumentNode = 9,
};

class IXmlNode;
class IXmlElement;

class IXmlNodeList : public IXmlBase {
  public:
    virtual int Count() const = 0;
    // Raises XmlError for an index outside 0 .. Count() - 1.
    virtual XmlRef<IXmlNode> Item(int index) const = 0;
};

class IXmlNode : public IXmlBase {
  public:
    // Element name or instruction target; "#text", "#cdata-section", "#comment", "#document".
    virtual std::string NodeName() const = 0;
    virtual int NodeType() const = 0;
    // The node's XML text exactly as the writer puts it into a file.
    virtual std::string GetXml() const = 0;

    // The live child list (created empty on first use).
    virtual XmlRef<IXmlNodeList> ChildNodes() = 0;
    // Adds the node at the end. A node already listed elsewhere stays listed there too. A node
    // cannot be added into its own subtree, and a document cannot become a child.
    virtual void AppendChild(const XmlRef<IXmlNode>& node) = 0;
    // Removes the first occurrence; returns its former index, or -1 when it was not a child.
    virtual int RemoveChild(const XmlRef<IXmlNode>& node) = 0;
    virtual XmlRef<IXmlElement> AppendElement(std::string_view name) = 0;
    virtual void RemoveAllChilds() = 0;
    // A new list of the direct child elements with that name, in document order.
    virtual XmlRef<IXmlNodeList> ElementsByName(std::string_view name) = 0;
    virtual XmlRef<IXmlElement> ElementByName(std::string_view name) = 0;
    // The first child element with that name whose attribute equals `value` (XmlValue::Matches).
    virtual XmlRef<IXmlElement> ElementByAttr(std::string_view name, std::string_view attr_name,
                                              const XmlValue& value) = 0;

    virtual int AttrCount() const = 0;
    // Raises XmlError for an index outside 0 .. AttrCount() - 1.
    virtual std::string AttrName(int index) const = 0;
    // The stored value, or nullptr when the attribute is absent.
    virtual const XmlValue* FindAttr(std::string_view name) const = 0;
    virtual std::string GetAttr(std::string_view name, std::string_view default_value) const = 0;
    virtual void SetAttr(std::string_view name, std::string_view value) = 0;
    // Present but not an integer: XmlError.
    virtual std::int32_t GetIntAttr(std::string_view name, std::int32_t default_value) const = 0;
    virtual void SetIntAttr(std::string_view name, std::int32_t value) = 0;
    // Present but neither a number nor "True"/"False" (any case): XmlError.
    virtual bool GetBoolAttr(std::string_view name, bool default_value) const = 0;
    virtual void SetBoolAttr(std::string_view name, bool value) = 0;
    // The index of the first allowed text equal to the value ignoring case; the default when the
    // attribute is absent; XmlError listing the allowed texts when none matches.
    virtual int GetEnumAttr(std::string_view name, std::span<const std::string_view> allowed,
                            int default_index) const = 0;
    int GetEnumAttr(std::string_view name, std::initializer_list<std::string_view> allowed,
                    int default_index) const {
        return GetEnumAttr(name, std::span<const std::string_view>(allowed.begin(), allowed.size()),
                           default_index);
    }
    // Stores any value (typed, as the binary form does).
    virtual void SetAttrValue(std::string_view name, XmlValue value) = 0;

    // The parent link (the newest parent), or nullptr; not an owning reference.
    virtual IXmlNode* ParentNode() const = 0;
    // The text of a text node, CDATA section or comment, the data text of an instruction; empty
    // for elements and documents.
    virtual std::string NodeValue() const = 0;
};

class IXmlElement : public IXmlNode {};

class IXmlDocument : public IXmlNode {
  public:
    // The first child element, or none.
    virtual XmlRef<IXmlElement> DocumentElement() = 0;
    // Clears the document, inserts the declaration (empty encoding means "windows-1251") and a
    // root element with that name, and returns the root.
    virtual XmlRef<IXmlElement> NewDocument(std::string_view version, std::string_view encoding,
                                            std::string_view root_name) = 0;
    // Clears the document and reads XML text or the binary form. On an error the document keeps
    // what was read up to it.
    virtual void LoadFromStream(IByteSource& source) = 0;
    // Loads bytes already in memory (the same as LoadFromStream over them, without a copy).
    virtual void LoadFromBytes(std::string_view bytes) = 0;
    // A parse error names the file and the place (LoadErrorText).
    virtual void LoadFromFile(const std::filesystem::path& name) = 0;
    // Writes the bytes of GetXml().
    virtual void SaveToStream(IByteSink& sink) = 0;
    // Writes safely through TempFileName(name); on any failure the old file stays as it was.
    virtual void SaveToFile(const std::filesystem::path& name) = 0;
};

// A new empty document with its own memory and names; with a root name, NewDocument(version,
// encoding, root_name) is applied.
XmlRef<IXmlDocument> CreateXmlDocument(std::string_view root_name = {},
                                       std::string_view version = "1.0",
                                       std::string_view encoding = {});
// A new document loaded with LoadFromFile.
XmlRef<IXmlDocument> LoadXmlDocument(const std::filesystem::path& name);

// Names held by all documents and nodes alive: each document keeps its own names, and they go
// with the last node that uses them.
std::size_t LiveNameCount() noexcept;

// Documents that go leave a few megabytes of their memory for the next ones; this gives it back
// to the system (when the module is unloaded, or before memory is measured).
void ReleaseSpareMemory() noexcept;

}  // namespace zeph::xml
