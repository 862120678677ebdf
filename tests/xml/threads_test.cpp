// The thread rule of the document model: a tree is used by one thread at a time, different trees
// on different threads at once, and a tree may be handed to another thread (and freed there).
// Run under ThreadSanitizer by the tsan preset; under the other builds it is a stress test.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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

}  // namespace
}  // namespace zeph::xml::testing
