// bench_xml: load (parse from memory) and save (write to memory and to a file) of our XML
// document model against pugixml and libxml2 in the same process, on generated shapes:
// store-like (few elements, long multi-line attribute values), description-like (many small
// elements and attributes) and distinct names (2 million elements, each named apart), each
// measured in turns with its peers. Prints MB/s, the ratios to pugixml, the memory of the loaded
// trees as counted by allocation hooks, how the load time per name grows with distinct names,
// and a summary of the ratios.
#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "xml/xml.h"

// The replaced global operator new below hands out CountedMalloc blocks, which GCC cannot see.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#pragma GCC diagnostic ignored "-Warray-bounds"

namespace {

// --- allocation counting ------------------------------------------------------------------

std::size_t live_bytes = 0;

void* CountedMalloc(std::size_t n) {
    auto* p = static_cast<std::size_t*>(std::malloc(n + 16));
    if (!p) return nullptr;
    *p = n;
    live_bytes += n;
    return reinterpret_cast<char*>(p) + 16;
}
void CountedFree(void* q) {
    if (!q) return;
    auto* p = reinterpret_cast<std::size_t*>(static_cast<char*>(q) - 16);
    live_bytes -= *p;
    std::free(p);
}
void* CountedRealloc(void* q, std::size_t n) {
    if (!q) return CountedMalloc(n);
    auto* p = reinterpret_cast<std::size_t*>(static_cast<char*>(q) - 16);
    std::size_t old = *p;
    auto* r = static_cast<std::size_t*>(std::realloc(p, n + 16));
    if (!r) return nullptr;
    *r = n;
    live_bytes = live_bytes - old + n;
    return reinterpret_cast<char*>(r) + 16;
}
char* CountedStrdup(const char* s) {
    std::size_t n = std::strlen(s) + 1;
    auto* d = static_cast<char*>(CountedMalloc(n));
    if (d) std::memcpy(d, s, n);
    return d;
}

}  // namespace

void* operator new(std::size_t n) {
    if (void* p = CountedMalloc(n)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    CountedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    CountedFree(p);
}
// Aligned blocks (our document arenas' regions) count too; they are given back with their size.
void* operator new(std::size_t n, std::align_val_t align) {
    auto a = static_cast<std::size_t>(align);
    if (void* p = std::aligned_alloc(a, (n + a - 1) / a * a)) {
        live_bytes += n;
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p, std::size_t n, std::align_val_t) noexcept {
    if (!p) return;
    live_bytes -= n;
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    if (!p) return;
    live_bytes -= malloc_usable_size(p);
    std::free(p);
}

namespace {

using namespace zeph::xml;

// --- inputs -------------------------------------------------------------------------------

std::string StoreLike(std::size_t target) {
    auto doc = CreateXmlDocument("Config");
    auto root = doc->DocumentElement();
    auto window = root->AppendElement("Window");
    window->SetIntAttr("Left", 100);
    window->SetAttr("State", "Normal");
    auto scripts = root->AppendElement("Scripts");
    std::string text;
    for (int line = 0; line < 60; ++line)
        text += "\tIf obj.Count > " + std::to_string(line) +
                " Then MsgBox \"\xc2\xfb\xe1\xf0\xe0\xed\xee: \" & obj.Name ' note\r\n";
    for (int i = 0; doc->GetXml().size() < target; ++i) {
        for (int k = 0; k < 50; ++k) {
            auto s = scripts->AppendElement("Script");
            s->SetAttr("Name", "\xd1\xea\xf0\xe8\xef\xf2 " + std::to_string(i * 50 + k));
            s->SetAttr("Language", k % 2 ? "VBScript" : "JavaScript");
            s->SetAttr("Text", text);
        }
    }
    return doc->GetXml();
}

std::string DescriptionLike(std::size_t target) {
    auto doc = CreateXmlDocument("TypeLibrary");
    auto root = doc->DocumentElement();
    for (int i = 0; doc->GetXml().size() < target; ++i) {
        for (int k = 0; k < 200; ++k) {
            auto itf = root->AppendElement("Interface");
            itf->SetAttr("Name", "ITellurObject" + std::to_string(i * 200 + k));
            itf->SetAttr("Guid", "{6B29FC40-CA47-1067-B31D-00DD010662DA}");
            for (int m = 0; m < 12; ++m) {
                auto p = itf->AppendElement(m % 3 ? "Property" : "Method");
                p->SetAttr("Name", "Member" + std::to_string(m));
                p->SetAttr("Type", m % 2 ? "Long" : "BSTR");
                p->SetBoolAttr("ReadOnly", m % 4 == 0);
                p->SetIntAttr("DispId", m + 1);
                if (m % 3 == 0) p->AppendElement("Param")->SetAttr("Name", "Index");
            }
        }
    }
    return doc->GetXml();
}

// --- timing -------------------------------------------------------------------------------

// CPU time of this thread: the figures stay comparable on a machine busy with other work.
double CpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Timer {
    double t0 = 0, t1 = 0;
    void Start() { t0 = CpuSeconds(); }
    void Stop() { t1 = CpuSeconds(); }
};

// Best times of several measurements taken in turns, one of each per round, so that a change
// of the machine's speed during the run touches all of them alike.
template <std::size_t N>
std::array<double, N> BestInTurns(int runs, const std::array<std::function<void(Timer&)>, N>& fns) {
    std::array<double, N> best;
    best.fill(1e9);
    for (int i = 0; i < runs; ++i) {
        for (std::size_t k = 0; k < N; ++k) {
            Timer t;
            fns[k](t);
            best[k] = std::min(best[k], t.t1 - t.t0);
        }
    }
    return best;
}

template <std::size_t N>
std::array<double, N> BestInTurns(int runs, const std::array<std::function<void()>, N>& fns) {
    std::array<std::function<void(Timer&)>, N> timed;
    for (std::size_t k = 0; k < N; ++k)
        timed[k] = [&fn = fns[k]](Timer& t) {
            t.Start();
            fn();
            t.Stop();
        };
    return BestInTurns<N>(runs, timed);
}

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override {
        out.append(static_cast<const char*>(data), size);
    }
};

// Ratios ours/pugixml of one shape: above 1 ours is faster; for memory, below 1 ours is smaller.
struct Ratios {
    std::string shape;
    double load, free, save_memory, save_file, memory;
};

// libxml2 is left out where its own name dictionary would take minutes (its figures then read
// "nan").
Ratios Shape(const char* name, const std::string& input, int runs, bool with_libxml2 = true) {
    const double mb = static_cast<double>(input.size()) / 1e6;
    std::filesystem::path folder = std::filesystem::temp_directory_path();
    std::printf("\n%s: %.2f MB\n", name, mb);

    // Load: the parse alone; each library frees its tree outside the timed part. Ours and
    // pugixml are measured in turns; libxml2 on its own, since its heap use between their runs
    // would slow them both.
    using Timed = std::function<void(Timer&)>;
    Timed ours_load_fn = [&](Timer& t) {
        auto doc = CreateXmlDocument();
        t.Start();
        doc->LoadFromBytes(input);
        t.Stop();
    };
    Timed pugi_load_fn = [&](Timer& t) {
        pugi::xml_document doc;
        t.Start();
        doc.load_buffer(input.data(), input.size());
        t.Stop();
    };
    Timed lx_load_fn = [&](Timer& t) {
        t.Start();
        xmlDocPtr doc = xmlReadMemory(input.data(), static_cast<int>(input.size()), nullptr,
                                      nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
        t.Stop();
        xmlFreeDoc(doc);
    };
    const auto [ours_load, pugi_load] = BestInTurns<2>(runs, {ours_load_fn, pugi_load_fn});
    const double lx_load = with_libxml2 ? BestInTurns<1>(runs, {lx_load_fn})[0] : NAN;

    // Freeing a loaded tree.
    Timed ours_free_fn = [&](Timer& t) {
        auto doc = CreateXmlDocument();
        doc->LoadFromBytes(input);
        t.Start();
        doc.reset();
        t.Stop();
    };
    Timed pugi_free_fn = [&](Timer& t) {
        auto doc = std::make_unique<pugi::xml_document>();
        doc->load_buffer(input.data(), input.size());
        t.Start();
        doc.reset();
        t.Stop();
    };
    Timed lx_free_fn = [&](Timer& t) {
        xmlDocPtr doc = xmlReadMemory(input.data(), static_cast<int>(input.size()), nullptr,
                                      nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
        t.Start();
        xmlFreeDoc(doc);
        t.Stop();
    };
    const auto [ours_free, pugi_free] = BestInTurns<2>(runs, {ours_free_fn, pugi_free_fn});
    const double lx_free = with_libxml2 ? BestInTurns<1>(runs, {lx_free_fn})[0] : NAN;

    // Tree memory. Memory our documents keep for the next ones is given back first, so that the
    // tree's regions are all counted.
    ReleaseSpareMemory();
    std::size_t before = live_bytes;
    std::size_t ours_mem, pugi_mem, lx_mem = 0;
    {
        auto doc = CreateXmlDocument();
        doc->LoadFromBytes(input);
        ours_mem = live_bytes - before;
    }
    {
        pugi::xml_document doc;
        before = live_bytes;
        doc.load_buffer(input.data(), input.size());
        pugi_mem = live_bytes - before;
    }
    if (with_libxml2) {
        before = live_bytes;
        xmlDocPtr doc = xmlReadMemory(input.data(), static_cast<int>(input.size()), nullptr,
                                      nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
        lx_mem = live_bytes - before;
        xmlFreeDoc(doc);
    }

    // Save, to memory and to a file.
    auto ours = CreateXmlDocument();
    ours->LoadFromBytes(input);
    pugi::xml_document pdoc;
    pdoc.load_buffer(input.data(), input.size());
    xmlDocPtr ldoc = with_libxml2
                         ? xmlReadMemory(input.data(), static_cast<int>(input.size()), nullptr,
                                         nullptr, XML_PARSE_NONET | XML_PARSE_HUGE)
                         : nullptr;
    using Plain = std::function<void()>;
    Plain ours_save_fn = [&] {
        std::string out;
        StringSink sink(&out);
        ours->SaveToStream(sink);
    };
    Plain pugi_save_fn = [&] {
        StringWriter w;
        pdoc.save(w);
    };
    Plain lx_save_fn = [&] {
        xmlChar* mem = nullptr;
        int size = 0;
        xmlDocDumpMemory(ldoc, &mem, &size);
        xmlFree(mem);
    };
    const auto [ours_save, pugi_save] = BestInTurns<2>(runs, {ours_save_fn, pugi_save_fn});
    const double lx_save = with_libxml2 ? BestInTurns<1>(runs, {lx_save_fn})[0] : NAN;
    // Saved as the module saves its files: into a temporary file, flushed to the disk, renamed
    // over the old one. SaveToFile does all of it; the peers get the same steps around their own
    // writes, so that the ratio compares the writing and not the safety.
    auto file = folder / "zeph_bench_xml.xml";
    auto temp = folder / "zeph_bench_xml.xml.tmp";
    auto safely = [&](const std::function<void()>& write_temp) {
        write_temp();
        const int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
        std::filesystem::rename(temp, file);
        const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    };
    Plain ours_file_fn = [&] { ours->SaveToFile(file); };
    Plain pugi_file_fn = [&] { safely([&] { pdoc.save_file(temp.c_str()); }); };
    Plain lx_file_fn = [&] { safely([&] { xmlSaveFile(temp.c_str(), ldoc); }); };
    const auto [ours_file, pugi_file] = BestInTurns<2>(runs, {ours_file_fn, pugi_file_fn});
    const double lx_file = with_libxml2 ? BestInTurns<1>(runs, {lx_file_fn})[0] : NAN;
    std::filesystem::remove(file);
    if (ldoc) xmlFreeDoc(ldoc);

    auto row = [&](const char* what, double o, double p, double l) {
        std::printf(
            "  %-16s ours %8.1f MB/s   pugixml %8.1f MB/s   libxml2 %8.1f MB/s   "
            "ours/pugixml %.2fx   ours/libxml2 %.2fx\n",
            what, mb / o, mb / p, mb / l, p / o, l / o);
    };
    row("load", ours_load, pugi_load, lx_load);
    row("free", ours_free, pugi_free, lx_free);
    row("save to memory", ours_save, pugi_save, lx_save);
    row("save to file", ours_file, pugi_file, lx_file);
    std::printf(
        "  %-16s ours %8.1f MB        pugixml %8.1f MB        libxml2 %8.1f MB        "
        "ours/pugixml %.2fx   ours/libxml2 %.2fx\n",
        "tree memory", ours_mem / 1e6, pugi_mem / 1e6, lx_mem / 1e6,
        static_cast<double>(ours_mem) / pugi_mem,
        lx_mem ? static_cast<double>(ours_mem) / lx_mem : NAN);
    return {name,
            pugi_load / ours_load,
            pugi_free / ours_free,
            pugi_save / ours_save,
            pugi_file / ours_file,
            static_cast<double>(ours_mem) / static_cast<double>(pugi_mem)};
}

// Many distinct element names: the load time per name must not grow with their number (a name
// table that does not grow makes it grow linearly, and the whole load quadratic).
std::string DistinctNames(std::size_t count) {
    std::string text = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Scripts>";
    text.reserve(count * 12 + 64);
    for (std::size_t i = 0; i < count; ++i) text += "<n" + std::to_string(i) + "/>";
    return text + "</Scripts>";
}

// Loads (from a file, as the module opens its files) of growing numbers of distinct names;
// prints the time per name of each and the ratio of the largest to the smallest, ours and
// pugixml's over the same files: pugixml keeps no table of names, so its growth is what the
// memory hierarchy alone adds, and ours over it is what our names cost beyond that.
void DistinctNamesGrowth(int runs) {
    std::printf("\ndistinct names: load from a file, CPU time per name\n");
    const std::size_t counts[] = {50'000, 200'000, 800'000, 2'000'000};
    auto file = std::filesystem::temp_directory_path() / "zeph_bench_names.xml";
    double first = 0, last = 0, pugi_first = 0, pugi_last = 0;
    for (std::size_t count : counts) {
        std::string input = DistinctNames(count);
        {
            std::FILE* f = std::fopen(file.c_str(), "wb");
            std::fwrite(input.data(), 1, input.size(), f);
            std::fclose(f);
        }
        // Wall time, since reading the file is part of opening it, and CPU time, which a busy
        // machine disturbs less; the growth ratio is taken from the latter.
        double wall = 1e9, cpu = 1e9, pugi_cpu = 1e9;
        for (int i = 0; i < std::max(1, runs / 2); ++i) {
            {
                auto doc = CreateXmlDocument();
                auto t0 = std::chrono::steady_clock::now();
                double c0 = CpuSeconds();
                doc->LoadFromFile(file);
                double c1 = CpuSeconds();
                auto t1 = std::chrono::steady_clock::now();
                wall = std::min(wall, std::chrono::duration<double>(t1 - t0).count());
                cpu = std::min(cpu, c1 - c0);
            }
            pugi::xml_document pdoc;
            double c0 = CpuSeconds();
            pdoc.load_file(file.c_str());
            pugi_cpu = std::min(pugi_cpu, CpuSeconds() - c0);
        }
        const double per_name = cpu / static_cast<double>(count) * 1e9;
        const double pugi_per_name = pugi_cpu / static_cast<double>(count) * 1e9;
        if (count == counts[0]) {
            first = per_name;
            pugi_first = pugi_per_name;
        }
        last = per_name;
        pugi_last = pugi_per_name;
        std::printf(
            "  %9zu names  %6.1f MB  opened in %7.3f s (CPU %7.3f s)  %6.1f ns per name  "
            "pugixml %6.1f ns\n",
            count, static_cast<double>(input.size()) / 1e6, wall, cpu, per_name, pugi_per_name);
    }
    std::filesystem::remove(file);
    const double growth = last / first, pugi_growth = pugi_last / pugi_first;
    std::printf(
        "  per-name time at %zu names / at %zu names: ours %.2fx, pugixml %.2fx, ours over "
        "pugixml's %.2fx (linear: about 1)\n",
        counts[std::size(counts) - 1], counts[0], growth, pugi_growth, growth / pugi_growth);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    pugi::set_memory_management_functions(CountedMalloc, CountedFree);
    xmlMemSetup(CountedFree, CountedMalloc, CountedRealloc, CountedStrdup);
    xmlInitParser();
    std::printf(
        "bench_xml: best of %d runs (thread CPU time); ratios above 1 mean ours is faster (or "
        "smaller is "
        "better for memory)\n",
        runs);
    if (std::getenv("BENCH_DUMP")) {
        std::FILE* f = std::fopen(std::getenv("BENCH_DUMP"), "wb");
        auto s = DescriptionLike(5000000);
        std::fwrite(s.data(), 1, s.size(), f);
        std::fclose(f);
        // The store-like shape beside it, for profiling the two apart.
        f = std::fopen((std::string(std::getenv("BENCH_DUMP")) + ".store").c_str(), "wb");
        s = StoreLike(5000000);
        std::fwrite(s.data(), 1, s.size(), f);
        std::fclose(f);
        return 0;
    }
    std::vector<Ratios> all;
    all.push_back(Shape("store-like (multi-line attribute values)", StoreLike(5'000'000), runs));
    all.push_back(Shape("description-like (many small elements and attributes)",
                        DescriptionLike(5'000'000), runs));
    all.push_back(Shape("distinct names (every element named apart)", DistinctNames(2'000'000),
                        std::max(1, runs / 2), false));
    DistinctNamesGrowth(runs);
    std::printf("\nsummary, ours/pugixml (speed: above 1 is faster; memory: below 1 is smaller)\n");
    std::printf("  %-18s %7s %7s %7s %7s %7s\n", "shape", "load", "free", "save", "file", "memory");
    for (const Ratios& r : all)
        std::printf("  %-18s %6.2fx %6.2fx %6.2fx %6.2fx %6.2fx\n",
                    r.shape.substr(0, r.shape.find(" (")).c_str(), r.load, r.free, r.save_memory,
                    r.save_file, r.memory);
    xmlCleanupParser();
    return 0;
}
