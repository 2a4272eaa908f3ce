// CMarkupDocument::LoadFile (reading, decoding and parsing) beside pugixml parsing the same
// bytes from memory in the same run. Each "<prefix>/reference" is pugixml's load_buffer; the
// "linear_*" groups compare a 20 MB load with the 2 MB load of the same kind of document.
#include <benchmark/benchmark.h>

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

// Each test document, written once to a temp file for LoadFile and kept in memory for pugixml.
struct TestFile {
    std::string bytes;
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
    return files[name] = TestFile{bytes, FromNativePath((dir / name).string())};
}

void LoadFile(benchmark::State& state, const std::string& name) {
    const TestFile& file = File(name);
    for (auto _ : state) {
        CMarkupDocument doc;
        benchmark::DoNotOptimize(doc.LoadFile(file.path));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.bytes.size()));
}

void PugiLoadBuffer(benchmark::State& state, const std::string& name) {
    const TestFile& file = File(name);
    for (auto _ : state) {
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_buffer(file.bytes.data(), file.bytes.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.bytes.size()));
}

void Register() {
    for (const char* name : {"lang4k_utf8", "doc2m_utf8", "doc2m_utf16"}) {
        const std::string prefix = std::string("Markup/") + name;
        benchmark::RegisterBenchmark((prefix + "/reference").c_str(), PugiLoadBuffer, name);
        benchmark::RegisterBenchmark((prefix + "/load").c_str(), LoadFile, name);
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

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
