// XmlDocument throughput: loading a keyboard layout, reading, parsing and writing large files, and
// the save sequence of an export. Run a Release build without sanitizers; bench/check_xml_bench.py
// compares the results with the limits the program needs.
#include "common/xml_document.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/scratch_folder.h"
#include "common/strings.h"

namespace {

const std::string& Folder() { return bench_support::ScratchFolder(); }

// A layout-shaped document of `keys` key elements with 12 attributes each.
std::u16string LayoutText(int keys) {
  XmlDocument doc(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
  doc.AddElement(L"KeyboardLayout");
  doc.EnterElement();
  const wchar_t* const names[] = {L"code", L"index", L"led", L"x",   L"y",  L"w",
                                  L"h",    L"name",  L"row", L"col", L"fn", L"style"};
  for (int k = 0; k < keys; ++k) {
    doc.AddElement(L"key");
    for (int a = 0; a < 12; ++a)
      doc.SetAttributeAt(doc.GetCurrentElement(), names[a], std::to_wstring(k * 7 + a));
  }
  return doc.GetText();
}

std::wstring WriteFile(const std::string& name, const std::u16string& text) {
  const std::wstring path = Utf8ToWide(Folder() + name);
  std::wstring log;
  if (!XmlDocument::WriteTextFile(text, log, path)) std::abort();
  return path;
}

int WalkAttributes(XmlDocument& doc) {
  int read = 0;
  std::wstring value;
  const wchar_t* const names[] = {L"code", L"index", L"led", L"x",   L"y",  L"w",
                                  L"h",    L"name",  L"row", L"col", L"fn", L"style"};
  if (!doc.FindElement(L"KeyboardLayout") || !doc.EnterElement()) std::abort();
  while (doc.FindElement(L"key")) {
    for (const wchar_t* name : names) read += doc.GetAttribute(value, name);
  }
  return read;
}

void LoadLayout(benchmark::State& state) {
  const std::u16string text = LayoutText(108);
  const std::wstring path = WriteFile("layout.xml", text);
  for (auto _ : state) {
    XmlDocument doc;
    XmlDocument::ReadTextFile(doc.Text(), doc.Result(), path);
    doc.ParseDocument();
    benchmark::DoNotOptimize(WalkAttributes(doc));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(LoadLayout)->Unit(benchmark::kMillisecond);

// About `mebibytes` MiB of key elements.
std::u16string LargeText(int mebibytes) {
  const std::u16string layout = LayoutText(108);
  const size_t body = layout.find(u"<key");
  const std::u16string keys = layout.substr(body, layout.rfind(u"</KeyboardLayout>") - body);
  std::u16string text = layout.substr(0, body);
  while (text.size() < static_cast<size_t>(mebibytes) << 20) text += keys;
  return text + u"</KeyboardLayout>";
}

// One document reads the file in every iteration, keeping its buffers, so that both sizes measure
// reading and parsing alone: with a new document each time, glibc would hand the 8 MiB case its
// freed buffers again but map the 16 MiB case's text (over its 32 MiB mapping limit) anew, and the
// growth check would weigh page faults in one case against none in the other.
void ReadAndParse(benchmark::State& state) {
  const std::u16string text = LargeText(static_cast<int>(state.range(0)));
  const std::wstring path = WriteFile("large.xml", text);
  XmlDocument doc;
  for (auto _ : state) {
    XmlDocument::ReadTextFile(doc.Text(), doc.Result(), path);
    benchmark::DoNotOptimize(doc.ParseDocument());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(ReadAndParse)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

void Write(benchmark::State& state) {
  const std::u16string text = LargeText(static_cast<int>(state.range(0)));
  const std::wstring path = Utf8ToWide(Folder() + "written.xml");
  for (auto _ : state) {
    std::wstring log;
    benchmark::DoNotOptimize(XmlDocument::WriteTextFile(text, log, path));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(Write)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

void SaveSequence(benchmark::State& state) {
  const std::wstring path = Utf8ToWide(Folder() + "export.xml");
  size_t bytes = 0;
  for (auto _ : state) {
    XmlDocument doc(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
    doc.AddElement(L"root");
    doc.EnterElement();
    doc.AddElement(L"items");
    doc.EnterElement();
    for (int i = 0; i < 1000; ++i) {
      doc.AddElement(L"item");
      for (int a = 0; a < 9; ++a)
        doc.SetAttributeAt(doc.GetCurrentElement(), L"attr" + std::to_wstring(a),
                           L"value " + std::to_wstring(i));
    }
    std::wstring log;
    benchmark::DoNotOptimize(XmlDocument::WriteTextFile(doc.GetText(), log, path, doc.GetFlags()));
    bytes = doc.GetText().size();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(SaveSequence)->Unit(benchmark::kMillisecond);

// Hostile input whose cost must grow linearly (the parser tests check the results): `n` nested
// elements, `n` end tags that match nothing, and `n` / 10 unclosed tags, comments and sections. The
// sizes stay where repeated runs reuse their memory: a single run of a million levels mostly
// measures the first touch of its pages.
std::u16string Repeat(const std::u16string& piece, int n) {
  std::u16string text;
  text.reserve(piece.size() * static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) text += piece;
  return text;
}

// One document for every iteration, its text copied into the room it has, as in ReadAndParse: the
// parse's own work, not fresh memory.
void HostileParse(benchmark::State& state, const std::u16string& text) {
  XmlDocument doc;
  for (auto _ : state) {
    doc.Text() = text;
    doc.Result().clear();
    benchmark::DoNotOptimize(doc.ParseDocument());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

// Nested elements take a record and a place on the open stack each: at these depths both sizes'
// tables stay within the processor's caches alike (at 250,000 the larger one did not, and the
// growth check measured the step from cache to memory rather than the parse).
void HostileNesting(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  HostileParse(state, Repeat(u"<a>", n) + Repeat(u"</a>", n));
}
BENCHMARK(HostileNesting)->Arg(15625)->Arg(62500)->Unit(benchmark::kMillisecond);

void HostileUnmatched(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  HostileParse(state, Repeat(u"<a>", n) + Repeat(u"</b>", n));
}
BENCHMARK(HostileUnmatched)->Arg(25000)->Arg(100000)->Unit(benchmark::kMillisecond);

void HostileUnclosed(benchmark::State& state) {
  HostileParse(state, Repeat(u"<a \"<!--<![CDATA[<?<!DOCTYPE [", static_cast<int>(state.range(0)) / 10));
}
BENCHMARK(HostileUnclosed)->Arg(125000)->Arg(500000)->Unit(benchmark::kMillisecond);

}  // namespace
