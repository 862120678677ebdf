// The thread rule of the document model: a tree is used by one thread at a time, different trees
// on different threads at once, and a tree may be handed to another thread (and freed there).
// Run under ThreadSanitizer by the tsan preset; under the other builds it is a stress test.
#ifdef _WIN32
#include <windows.h>
#endif

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "xml/pool.h"
#include "xml/thread_memory.h"
#include "xml_test_util.h"

namespace zeph::xml::testing {
namespace {

// What one thread hands to the next: a document it built and a long value copied out of it,
// which still shares its text with the document.
struct Parcel {
    XmlRef<IXmlDocument> doc;
    XmlValue value;
    std::string expected;
};

class Mailbox {
  public:
    void Put(Parcel p) {
        {
            std::lock_guard lock(mutex_);
            items_.push_back(std::move(p));
        }
        ready_.notify_one();
    }
    // Waits for a parcel; none once the senders are done and the box is empty.
    std::optional<Parcel> Take() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !items_.empty() || closed_; });
        if (items_.empty()) return std::nullopt;
        Parcel p = std::move(items_.front());
        items_.pop_front();
        return p;
    }
    void Close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Parcel> items_;
    bool closed_ = false;
};

std::string Source(int thread, int round) {
    std::string text = "<?xml version=\"1.0\"?>\r\n<Scripts>";
    for (int i = 0; i < 60; ++i) {
        // Names repeat within a document and differ between threads and rounds.
        text += "<Script Name='s" + std::to_string(i) + "' T" + std::to_string(thread) + "_" +
                std::to_string(round % 7) + "='" + std::string(40 + i, 'a' + i % 26) +
                "'><Line N='" + std::to_string(i) + "'/></Script>";
    }
    return text + "</Scripts>";
}

TEST(XmlThreads, TreesOnSeveralThreadsAndHandedBetweenThem) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 60;
    const std::size_t names_before = LiveNameCount();
    std::vector<Mailbox> boxes(kThreads);
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            Mailbox& next = boxes[(t + 1) % kThreads];
            for (int round = 0; round < kRounds; ++round) {
                auto doc = CreateXmlDocument();
                doc->LoadFromBytes(Source(t, round));
                auto root = doc->DocumentElement();
                root->AppendElement("Added")->SetIntAttr("Round", round);
                std::string attr = "T" + std::to_string(t) + "_" + std::to_string(round % 7);
                XmlValue value = *root->ChildNodes()->Item(59)->FindAttr(attr);
                std::string text = doc->GetXml();
                if (Parse(text)->GetXml() != text) ++failures[t];
                root.reset();
                next.Put({std::move(doc), std::move(value), std::move(text)});
            }
        });
    }
    // Each box is read by a thread of its own, which checks and frees what it receives.
    std::vector<std::thread> readers;
    std::vector<int> received(kThreads, 0), bad(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        readers.emplace_back([&, t] {
            while (auto p = boxes[t].Take()) {
                ++received[t];
                if (p->doc->GetXml() != p->expected) ++bad[t];
                p->doc->DocumentElement()->AppendElement("Late");
                p->doc.reset();
                if (p->value.Raw() != std::string(40 + 59, 'a' + 59 % 26)) ++bad[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (auto& box : boxes) box.Close();
    for (auto& th : readers) th.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(failures[t], 0) << t;
        EXPECT_EQ(received[t], kRounds) << t;
        EXPECT_EQ(bad[t], 0) << t;
    }
    EXPECT_EQ(LiveNameCount(), names_before);
}

// Runs `body` on a new thread of the system's own and waits for its end. The host's threads are
// of this kind; on Windows std::thread's are not: their threads library frees their thread-local
// variables before the end of the thread is announced.
#ifdef _WIN32
template <class F>
DWORD WINAPI RunBody(void* body) {
    (*static_cast<F*>(body))();
    return 0;
}
#endif

template <class F>
void OnSystemThread(F body) {
#ifdef _WIN32
    HANDLE h = ::CreateThread(nullptr, 0, &RunBody<F>, &body, 0, nullptr);
    ASSERT_NE(h, nullptr);
    ::WaitForSingleObject(h, INFINITE);
    ::CloseHandle(h);
#else
    std::thread(body).join();
#endif
}

// What a thread keeps between documents goes back to the heap when the thread ends, or at once
// when asked.
class ThreadMemory : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!ZEPH_XML_POOL) GTEST_SKIP() << "the pool is off under AddressSanitizer";
        ReleaseSpareMemory();
        groups_before_ = PoolGroupCount();
    }

    // Loads and frees a document; returns one of its elements, still alive.
    static XmlRef<IXmlElement> UseModel() {
        return Parse(Source(0, 0))->DocumentElement()->ElementByName("Script");
    }
    // The groups the threads took and still hold, once the spare chunks are given back.
    std::size_t GroupsHeld() const {
        ReleaseSpareMemory();
        return PoolGroupCount() - groups_before_;
    }

    std::size_t groups_before_ = 0;
};

TEST_F(ThreadMemory, GivenBackWhenTheThreadEnds) {
    std::size_t held_while_running = 0;
    OnSystemThread([&] {
        UseModel();
        held_while_running = PoolGroupCount() - groups_before_;
    });
    EXPECT_EQ(held_while_running, 1u);
    EXPECT_EQ(GroupsHeld(), 0u);
}

TEST_F(ThreadMemory, GivenBackWhenAskedWhileBlocksInUseStayValid) {
    XmlRef<IXmlElement> kept;
    std::size_t held_after_release = 0, held_after_second_release = 0;
    OnSystemThread([&] {
        ReleaseThreadMemory();  // nothing kept yet: harmless
        UseModel();
        kept = UseModel();
        ReleaseThreadMemory();
        // The element still in use keeps its chunk, and with it its group.
        held_after_release = GroupsHeld();
        // Used again after the release, and released twice.
        UseModel();
        ReleaseThreadMemory();
        ReleaseThreadMemory();
        held_after_second_release = GroupsHeld();
    });
    EXPECT_EQ(held_after_release, 1u);
    EXPECT_EQ(held_after_second_release, 1u);
    EXPECT_EQ(kept->GetAttr("Name", ""), "s0");
    kept->SetAttr("Name", "changed");
    EXPECT_EQ(kept->GetAttr("Name", ""), "changed");
    kept.reset();
    EXPECT_EQ(GroupsHeld(), 0u);
}

}  // namespace
}  // namespace zeph::xml::testing
