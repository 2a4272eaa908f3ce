// CMarkupDocument beside pugixml on equal terms, in the same run: Markup/<doc>/memory/ has both
// parsing the same bytes from memory (LoadBytes against load_buffer), Markup/<doc>/file/ both
// reading the same file (LoadFile against load_file); pugixml is the .../reference. Every
// benchmark loads its document once before timing, so neither side meets a cold heap or a cold
// page cache, and the allocator is told to keep freed memory (main): otherwise whichever side
// runs after a large free of the other finds its pages already mapped or not, depending on
// glibc's moving mmap threshold, and on a virtual machine a fresh page costs more than parsing
// it does. The "linear_*" groups compare a 20 MB load with the 2 MB load of the same kind.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <pugixml.hpp>
#include <string>

#include "markup/markup_document.h"
#include "platform/file.h"

namespace {

namespace fs = std::filesystem;

// A language file of about 4 KB: the reader's everyday job.
std::string LanguageFile() {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<language>\n";
    for (int i = 0; text.size() < 4000; ++i)
        text += "  <string ID=\"id" + std::to_string(i) + "\">提示文本 message number " +
                std::to_string(i) + "</string>\n";
    return text + "</language>\n";
}

// A generated document of at least `bytes`: groups of items with attributes, mixed text,
// references and comments.
std::string GeneratedDocument(std::size_t bytes) {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<root>\n";
    for (int g = 0; text.size() < bytes; ++g) {
        text += "<group n=\"" + std::to_string(g) + "\" kind='generated'>\n";
        for (int i = 0; i < 20; ++i) {
            const std::string n = std::to_string(g * 20 + i);
            text += "  <item id=\"" + n + "\" name=\"item &amp; " + n +
                    "\" lang=\"zh\"><title>问题 " + n + "</title><answer>answer text " + n +
                    "</answer><empty/></item>\n";
        }
        text += "  <!-- end of group -->\n</group>\n";
    }
    return text + "</root>\n";
}

std::string ToUtf16LE(const std::string& utf8) {
    const std::u16string wide = [&] {
        CMarkupDocument doc;
        doc.LoadBytes(utf8);
        return doc.GetDoc();
    }();
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : wide) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// Each test document, written once to a temp file and kept in memory.
struct TestFile {
    std::string bytes;
    std::string nativePath;
    std::u16string path;
};

const TestFile& File(const std::string& name) {
    static std::map<std::string, TestFile> files;
    if (auto found = files.find(name); found != files.end()) return found->second;
    static const fs::path dir =
        fs::temp_directory_path() / ("askgame-markup-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string bytes;
    if (name == "lang4k_utf8")
        bytes = LanguageFile();
    else if (name == "doc2m_utf8")
        bytes = GeneratedDocument(2 << 20);
    else if (name == "doc2m_utf16")
        bytes = ToUtf16LE(GeneratedDocument(2 << 20));
    else if (name == "doc20m_utf8")
        bytes = GeneratedDocument(20 << 20);
    else if (name == "doc20m_utf16")
        bytes = ToUtf16LE(GeneratedDocument(20 << 20));
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return files[name] =
               TestFile{bytes, (dir / name).string(), FromNativePath((dir / name).string())};
}

// Times `load` on a document already loaded once (the warm-up).
template <typename Load>
void Timed(benchmark::State& state, const TestFile& file, Load load) {
    load();
    for (auto _ : state)
        load();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.bytes.size()));
}

void LoadFile(benchmark::State& state, const std::string& name) {
    const TestFile& file = File(name);
    Timed(state, file, [&] {
        CMarkupDocument doc;
        benchmark::DoNotOptimize(doc.LoadFile(file.path));
    });
}

void LoadBytes(benchmark::State& state, const std::string& name) {
    const TestFile& file = File(name);
    Timed(state, file, [&] {
        CMarkupDocument doc;
        benchmark::DoNotOptimize(doc.LoadBytes(file.bytes));
    });
}

void PugiLoadBuffer(benchmark::State& state, const std::string& name) {
    const TestFile& file = File(name);
    Timed(state, file, [&] {
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_buffer(file.bytes.data(), file.bytes.size()));
    });
}

void PugiLoadFile(benchmark::State& state, const std::string& name) {
    const TestFile& file = File(name);
    Timed(state, file, [&] {
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_file(file.nativePath.c_str()));
    });
}

void Register() {
    for (const char* name : {"lang4k_utf8", "doc2m_utf8", "doc2m_utf16"}) {
        const std::string memory = std::string("Markup/") + name + "/memory/";
        benchmark::RegisterBenchmark((memory + "reference").c_str(), PugiLoadBuffer, name);
        benchmark::RegisterBenchmark((memory + "load").c_str(), LoadBytes, name);
        const std::string file = std::string("Markup/") + name + "/file/";
        benchmark::RegisterBenchmark((file + "reference").c_str(), PugiLoadFile, name);
        benchmark::RegisterBenchmark((file + "load").c_str(), LoadFile, name);
    }
    for (const char* kind : {"utf8", "utf16"}) {
        const std::string prefix = std::string("Markup/linear_") + kind;
        benchmark::RegisterBenchmark((prefix + "/reference").c_str(), LoadFile,
                                     std::string("doc2m_") + kind);
        benchmark::RegisterBenchmark((prefix + "/20MB").c_str(), LoadFile,
                                     std::string("doc20m_") + kind)
            ->Unit(benchmark::kMillisecond);
    }
}

} // namespace

// Every block up to glibc's largest mmap threshold comes from the heap, and the heap is never
// trimmed: freed memory stays mapped for the next load, whichever library makes it.
constexpr int kMmapThresholdMax = 32 << 20;

int main(int argc, char** argv) {
    mallopt(M_MMAP_THRESHOLD, kMmapThresholdMax);
    mallopt(M_TRIM_THRESHOLD, -1);
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
