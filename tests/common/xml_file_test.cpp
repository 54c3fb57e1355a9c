// Files and their failures: nothing is lost and every failure is reported.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "common/xml_document.h"
#include "support/temp_dir.h"

namespace {

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

size_t FilesIn(const std::string& folder) {
  return std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator());
}

// Lowers the file-size limit for its lifetime, with SIGXFSZ ignored so that a write fails with
// EFBIG instead of ending the process.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_;
  void (*oldHandler_)(int);
};

}  // namespace

TEST(XmlFile, AMissingFileReadsAsNothingWithItsError) {
  testing_support::TempDir dir;
  std::u16string text = u"old";
  std::wstring log;
  int flags = -1;
  EXPECT_FALSE(XmlDocument::ReadTextFile(text, log, dir.wpath() + L"none.xml", &flags));
  EXPECT_EQ(text, u"");
  EXPECT_EQ(flags, 0);
  EXPECT_EQ(log, L"<file_error type=\"No such file or directory\"/>");
  // A folder and a FIFO are no files to read: refused at once, never waited for.
  EXPECT_FALSE(XmlDocument::ReadTextFile(text, log, dir.wpath(), &flags));
  ASSERT_EQ(mkfifo((dir.path() + "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(XmlDocument::ReadTextFile(text, log, dir.wpath() + L"fifo", &flags));
  EXPECT_NE(log.find(L"<file_error"), std::wstring::npos);
}

TEST(XmlFile, ReadsAPathWithNonAsciiCharacters) {
  testing_support::TempDir dir;
  dir.Write("\xC3\xA9t\xC3\xA9.xml", "<r/>");
  std::u16string text;
  std::wstring log;
  ASSERT_TRUE(XmlDocument::ReadTextFile(text, log, dir.wpath() + L"\u00e9t\u00e9.xml"));
  EXPECT_EQ(text, u"<r/>");
}

TEST(XmlFile, FilesOverTheCapAreRefused) {
  testing_support::TempDir dir;
  const std::string path = dir.path() + "huge.xml";
  std::filesystem::resize_file(dir.Write("huge.xml", "<r/>"), XmlDocument::kMaxFileSize + 1);
  std::u16string text;
  std::wstring log;
  EXPECT_FALSE(XmlDocument::ReadTextFile(text, log, dir.wpath() + L"huge.xml"));
  EXPECT_EQ(log, L"<file_error type=\"File too large\"/>");
  EXPECT_EQ(text, u"");
}

TEST(XmlFile, WriteFailuresLeaveTheTargetAsItWas) {
  testing_support::TempDir dir;
  std::wstring log;
  EXPECT_FALSE(XmlDocument::WriteTextFile(u"<r/>", log, dir.wpath() + L"no/such/folder/x.xml"));
  EXPECT_EQ(log, L"<file_error type=\"No such file or directory\"/>");

  const std::string target = dir.Write("keep.xml", "<old/>");
  const std::u16string big = u"<r>" + std::u16string(100000, u'x') + u"</r>";
  log.clear();
  {
    ScopedFileSizeLimit limit(4096);
    EXPECT_FALSE(XmlDocument::WriteTextFile(big, log, dir.wpath() + L"keep.xml"));
  }
  EXPECT_EQ(log, L"<file_error type=\"File too large\"/>");
  EXPECT_EQ(FileBytes(target), "<old/>");
  EXPECT_EQ(FilesIn(dir.path()), 1u);  // no temporary file left
}

TEST(XmlFile, AnEncodingWithoutConverterIsRefusedBeforeTheFileIsTouched) {
  testing_support::TempDir dir;
  const std::string target = dir.Write("keep.xml", "<old/>");
  std::wstring log;
  EXPECT_FALSE(XmlDocument::WriteTextFile(u"<?xml version=\"1.0\" encoding=\"x-mac-greek\"?><r/>", log,
                                          dir.wpath() + L"keep.xml"));
  EXPECT_EQ(log, L"<file_error type=\"unsupported encoding\" encoding=\"x-mac-greek\"/>");
  EXPECT_EQ(FileBytes(target), "<old/>");
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(XmlFile, ASuccessfulWriteReplacesTheTarget) {
  testing_support::TempDir dir;
  const std::string target = dir.Write("out.xml", "<old/>");
  std::wstring log;
  ASSERT_TRUE(XmlDocument::WriteTextFile(u"<new/>", log, dir.wpath() + L"out.xml"));
  EXPECT_EQ(FileBytes(target), "<new/>");
  EXPECT_EQ(log, L"<write encoding=\"UTF-8\" length=\"6\"/>");
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(XmlFile, ALargeUtf8WriteGivesTheBytesOfOneConversion) {
  // Written in several pieces: a pair of surrogates across every even offset (the text starts
  // with three units), ASCII and others between, and lone surrogates that are lost. The file holds
  // what converting the whole text at once gives.
  std::u16string text = u"<r>";
  for (int i = 0; text.size() < 150'000; ++i) {
    text += u"\xD83D\xDE00";
    if (i % 4096 == 1) text += u"ab\u00e9\u4e2d\xDE00\xD83D";  // keeps the pairs' phase
  }
  text += u"</r>";
  std::string expected;
  bool lost = false;
  ASSERT_TRUE(XmlDocument::ConvertText(expected, text, 65001, &lost));
  ASSERT_TRUE(lost);
  testing_support::TempDir dir;
  std::wstring log;
  ASSERT_TRUE(XmlDocument::WriteTextFile(text, log, dir.wpath() + L"large.xml"));
  EXPECT_EQ(FileBytes(dir.path() + "large.xml"), expected);
  EXPECT_EQ(log, L"<conversion_loss encoding=\"UTF-8\"/><write encoding=\"UTF-8\" length=\"" +
                     std::to_wstring(expected.size()) + L"\"/>");
}

TEST(XmlFile, AFileReadsAsItsBytesDecode) {
  // Sizes around the pieces a large file is read in, with sequences cut at every place, broken
  // ones, zero bytes and other encodings: reading the file gives what decoding its bytes gives.
  const char* const parts[] = {"a",     "<k v=\"1\">", "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
                               "\xC3",  "\xE4\xB8",    "\x80",     "\xFF",         "\r\n",
                               "&amp;", "</k>"};
  const char* const heads[] = {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n",
                               "<?xml version=\"1.0\" encoding=\"utf-8\"?>",
                               "<?xml version=\"1.0\"?>",
                               "<?xml version=\"1.0\" encoding=\"windows-1252\"?>",
                               "\xEF\xBB\xBF<r>",
                               ""};
  std::mt19937 random(7);
  testing_support::TempDir dir;
  for (const size_t size :
       {size_t{0}, size_t{1000}, size_t{65533}, size_t{65536}, size_t{65539}, size_t{200000}}) {
    for (const char* head : heads) {
      std::string bytes = head;
      while (bytes.size() < size) bytes += parts[random() % std::size(parts)];
      if (size == 65539) bytes[40000] = '\0';
      dir.Write("read.xml", bytes);
      std::u16string read, decoded;
      std::wstring readLog, decodedLog;
      int readFlags = -1, decodedFlags = -1;
      ASSERT_TRUE(XmlDocument::ReadTextFile(read, readLog, dir.wpath() + L"read.xml", &readFlags));
      XmlDocument::DecodeFileBytes(decoded, decodedLog, bytes, &decodedFlags);
      EXPECT_TRUE(read == decoded) << size << " bytes after " << head;
      EXPECT_EQ(readLog, decodedLog);
      EXPECT_EQ(readFlags, decodedFlags);
    }
  }
}
