// XmlDocument against pugixml, the library a user would pick instead, on the same bytes in the
// same process. Every iteration runs both, one after the other, and each case reports
//   ratio = pugixml's time / XmlDocument's time   (1 means as fast; bench/check_xml_bench.py)
// Files: data/KeyboardLayout.xml, data/device.xml (set-up cost) and a generated key-profile-like
// file of about 5 MB (attributes and texts with non-ASCII characters; deterministic).
// pugixml is linked by this benchmark only.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>
#include <string>

#include "bench/scratch_folder.h"
#include "common/strings.h"
#include "common/xml_document.h"

namespace {

const char* const kProfileAttributes[] = {"code", "layer", "name", "color", "macro", "desc"};

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in) std::abort();
  return bytes.str();
}

std::string DataFile(const std::string& name) {
  const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  return (folder / name).string();
}

// About 5 MB of key records: six attributes each and a text, some of them not ASCII.
const std::string& ProfileBytes() {
  static const std::string bytes = [] {
    const char* const words[] = {"Taste", "clé", "键位", "Ünterseite", "macro", "light", "Fn层", "ñandú"};
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<KeyProfile name=\"Büro 默认\">\r\n";
    uint32_t state = 12345;
    const auto next = [&] { return state = state * 1664525u + 1013904223u; };
    for (int i = 0; out.size() < 5'000'000; ++i) {
      out += "  <key code=\"" + std::to_string(next() % 256) + "\" layer=\"" + std::to_string(i % 2) +
             "\" name=\"" + words[next() % 8] + " " + std::to_string(i) + "\" color=\"#" +
             std::to_string(next() % 1000000) + "\" macro=\"" + std::to_string(next() % 50) + "\" desc=\"" +
             words[next() % 8] + " &amp; " + words[next() % 8] + "\">" + words[next() % 8] + " text " +
             std::to_string(i) + "</key>\r\n";
    }
    return out + "</KeyProfile>\r\n";
  }();
  return bytes;
}

const std::string& Folder() { return bench_support::ScratchFolder(); }

const std::string& ProfilePath() {
  static const std::string path = [] {
    const std::string file = Folder() + "profile.xml";
    std::ofstream(file, std::ios::binary) << ProfileBytes();
    return file;
  }();
  return path;
}

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Runs `ours` and `theirs` alternately, once per iteration each, and reports their times and ratio.
template <class Ours, class Theirs>
void SideBySide(benchmark::State& state, Ours ours, Theirs theirs) {
  double oursSeconds = 0, theirsSeconds = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    ours();
    oursSeconds += Seconds(start);
    start = Clock::now();
    theirs();
    theirsSeconds += Seconds(start);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["xml_ms"] = oursSeconds * 1e3 / n;
  state.counters["pugixml_ms"] = theirsSeconds * 1e3 / n;
  state.counters["ratio"] = theirsSeconds / oursSeconds;
}

void ParseOurs(const std::string& bytes, XmlDocument& doc) {
  XmlDocument::DecodeFileBytes(doc.Text(), doc.Result(), bytes);
  benchmark::DoNotOptimize(doc.ParseDocument());
}

void ParseTheirs(const std::string& bytes, pugi::xml_document& doc) {
  benchmark::DoNotOptimize(doc.load_buffer(bytes.data(), bytes.size()));
}

void BM_ParseMemory(benchmark::State& state, const std::string* bytes) {
  SideBySide(
      state,
      [&] {
        XmlDocument doc;
        ParseOurs(*bytes, doc);
      },
      [&] {
        pugi::xml_document doc;
        ParseTheirs(*bytes, doc);
      });
}

void BM_LoadFile(benchmark::State& state) {
  const std::wstring path = Utf8ToWide(ProfilePath());
  SideBySide(
      state,
      [&] {
        XmlDocument doc;
        XmlDocument::ReadTextFile(doc.Text(), doc.Result(), path);
        benchmark::DoNotOptimize(doc.ParseDocument());
      },
      [&] {
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_file(ProfilePath().c_str()));
      });
}

// Parses, then reads every attribute and every key's text once.
void BM_ParseAndReadAll(benchmark::State& state) {
  const std::string& bytes = ProfileBytes();
  std::wstring names[std::size(kProfileAttributes)];
  for (size_t i = 0; i < std::size(kProfileAttributes); ++i) names[i] = Utf8ToWide(kProfileAttributes[i]);
  SideBySide(
      state,
      [&] {
        XmlDocument doc;
        ParseOurs(bytes, doc);
        size_t read = 0;
        std::wstring value;
        if (!doc.FindElement(L"KeyProfile") || !doc.EnterElement()) std::abort();
        while (doc.FindElement(L"key")) {
          for (const std::wstring& name : names) read += doc.GetAttribute(value, name) ? value.size() : 0;
          doc.GetData(value);
          read += value.size();
        }
        benchmark::DoNotOptimize(read);
      },
      [&] {
        pugi::xml_document doc;
        ParseTheirs(bytes, doc);
        size_t read = 0;
        for (pugi::xml_node key : doc.child("KeyProfile").children("key")) {
          for (pugi::xml_attribute a : key.attributes()) read += std::char_traits<char>::length(a.value());
          read += std::char_traits<char>::length(key.child_value());
        }
        benchmark::DoNotOptimize(read);
      });
}

void BM_Save(benchmark::State& state) {
  XmlDocument ours;
  ParseOurs(ProfileBytes(), ours);
  pugi::xml_document theirs;
  ParseTheirs(ProfileBytes(), theirs);
  const std::wstring oursPath = Utf8ToWide(Folder() + "saved-ours.xml");
  const std::string theirsPath = Folder() + "saved-pugixml.xml";
  SideBySide(
      state,
      [&] {
        std::wstring log;
        benchmark::DoNotOptimize(XmlDocument::WriteTextFile(ours.GetText(), log, oursPath));
      },
      [&] { benchmark::DoNotOptimize(theirs.save_file(theirsPath.c_str(), "  ", pugi::format_raw)); });
}

// An export of `items` elements with nine attributes each, built from nothing.
void BM_BuildExport(benchmark::State& state) {
  const int items = static_cast<int>(state.range(0));
  std::wstring attributeNames[9];
  std::string theirNames[9];
  for (int a = 0; a < 9; ++a) {
    theirNames[a] = "attr" + std::to_string(a);
    attributeNames[a] = Utf8ToWide(theirNames[a]);
  }
  SideBySide(
      state,
      [&] {
        XmlDocument doc(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
        doc.AddElement(L"root");
        doc.EnterElement();
        for (int i = 0; i < items; ++i) {
          doc.AddElement(L"item");
          const std::wstring value = L"value " + std::to_wstring(i);
          for (const std::wstring& name : attributeNames)
            doc.SetAttributeAt(doc.GetCurrentElement(), name, value);
        }
        benchmark::DoNotOptimize(doc.GetText().size());
      },
      [&] {
        pugi::xml_document doc;
        pugi::xml_node root = doc.append_child("root");
        for (int i = 0; i < items; ++i) {
          pugi::xml_node item = root.append_child("item");
          const std::string value = "value " + std::to_string(i);
          for (const std::string& name : theirNames) item.append_attribute(name.c_str()) = value.c_str();
        }
        benchmark::DoNotOptimize(doc.first_child());
      });
  state.counters["items"] = items;
}

const std::string& LayoutBytes() {
  static const std::string bytes = ReadBytes(DataFile("KeyboardLayout.xml"));
  return bytes;
}
const std::string& DeviceBytes() {
  static const std::string bytes = ReadBytes(DataFile("device.xml"));
  return bytes;
}

void BM_ParseLayout(benchmark::State& state) { BM_ParseMemory(state, &LayoutBytes()); }
void BM_ParseDeviceFile(benchmark::State& state) { BM_ParseMemory(state, &DeviceBytes()); }
void BM_ParseProfile(benchmark::State& state) { BM_ParseMemory(state, &ProfileBytes()); }

BENCHMARK(BM_ParseLayout)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseDeviceFile)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseProfile)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFile)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseAndReadAll)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildExport)->Arg(4000)->Arg(16000)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
