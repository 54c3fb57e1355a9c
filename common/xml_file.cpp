// Files of XmlDocument: reading any supported encoding into UTF-16 and writing it back.
#include "common/xml_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "common/strings.h"
#include "common/xml_detail.h"
#include "common/xml_document.h"

using namespace xml_detail;

// XmlFile --------------------------------------------------------------------------------------

XmlFile::~XmlFile() {
  if (file_) std::fclose(file_);
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

void XmlFile::AddFileError(int error, std::wstring_view encoding) {
  const char* message = strerrordesc_np(error);
  const std::wstring type = Utf8ToWideLenient(message ? message : "Unknown error");
  XmlDocument::AddResult(log_, {.name = L"file_error", .type = type, .encoding = encoding});
}

bool XmlFile::Open(const std::wstring& path, int flags) {
  if (flags & XmlDocument::kFileWrite) return OpenForWrite(WideToUtf8(path));
  return OpenForRead(WideToUtf8(path));
}

bool XmlFile::OpenForRead(const std::string& path) {
  // Non-blocking, so that opening a FIFO does not wait for a writer; cleared once it is known
  // to be a regular file.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    AddFileError(errno);
    return false;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    close(fd);
    AddFileError(error);
    return false;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  file_ = fdopen(fd, "rb");
  if (!file_) {
    const int error = errno;
    close(fd);
    AddFileError(error);
    return false;
  }
  size_ = info.st_size;
  return true;
}

bool XmlFile::OpenForWrite(const std::string& path) {
  static std::atomic<unsigned> serial{0};
  target_ = path;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary_ = target_ + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(serial++);
    fd = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    const int error = errno;
    temporary_.clear();
    AddFileError(error);
    return false;
  }
  file_ = fdopen(fd, "wb");
  if (!file_) {
    const int error = errno;
    close(fd);
    AddFileError(error);
    return false;
  }
  return true;
}

bool XmlFile::ReadText(std::string& bytes) {
  ReserveBytes(bytes, static_cast<size_t>(size_));
  bytes.assign(static_cast<size_t>(size_), '\0');
  const size_t got = std::fread(bytes.data(), 1, bytes.size(), file_);
  if (got != bytes.size() && std::ferror(file_)) {
    AddFileError(errno ? errno : EIO);
    bytes.clear();
    return false;
  }
  bytes.resize(got);  // a file that shrank meanwhile
  return true;
}

bool XmlFile::ReadSome(char* to, size_t count, size_t& got) {
  got = std::fread(to, 1, count, file_);
  if (got != count && std::ferror(file_)) {
    AddFileError(errno ? errno : EIO);
    return false;
  }
  return true;
}

bool XmlFile::Rewind() {
  if (std::fseek(file_, 0, SEEK_SET) == 0) return true;
  AddFileError(errno ? errno : EIO);
  return false;
}

bool XmlFile::WriteText(std::string_view bytes) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    AddFileError(errno ? errno : EIO);
    return false;
  }
  return true;
}

bool XmlFile::Close() {
  if (!file_) return true;
  errno = 0;
  const int result = std::fclose(file_);
  file_ = nullptr;
  if (result != 0) {
    AddFileError(errno ? errno : EIO);
    return false;
  }
  if (temporary_.empty()) return true;
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    AddFileError(errno);
    return false;  // the destructor removes the temporary file
  }
  temporary_.clear();
  return true;
}

// Declared encoding ----------------------------------------------------------------------------

namespace {

// The value of pseudo-attribute `name` in an XML declaration (a view into it).
template <class Char>
std::basic_string_view<Char> DeclarationValue(std::basic_string_view<Char> declaration,
                                              std::basic_string_view<Char> name) {
  for (size_t at = declaration.find(name); at != declaration.npos; at = declaration.find(name, at + 1)) {
    if (at == 0 || !IsBlank(declaration[at - 1])) continue;
    size_t i = at + name.size();
    while (i < declaration.size() && IsBlank(declaration[i])) ++i;
    if (i >= declaration.size() || declaration[i] != '=') continue;
    ++i;
    while (i < declaration.size() && IsBlank(declaration[i])) ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) continue;
    const size_t close = declaration.find(declaration[i], i + 1);
    if (close == declaration.npos) continue;
    return declaration.substr(i + 1, close - i - 1);
  }
  return {};
}

template <class Char>
bool StartsDeclaration(std::basic_string_view<Char> text) {
  static constexpr Char kOpen[] = {'<', '?', 'x', 'm', 'l'};
  return text.size() > 5 && text.substr(0, 5) == std::basic_string_view<Char>(kOpen, 5) &&
         (IsBlank(text[5]) || text[5] == '?');
}

std::wstring AsciiFolded(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c += 32;
  }
  return text;
}

// The charset parameter of a Content-Type value ("text/html; charset=windows-1252").
std::wstring CharsetParameter(const std::wstring& content) {
  const std::wstring folded = AsciiFolded(content);
  const size_t at = folded.find(L"charset=");
  if (at == std::wstring::npos) return {};
  size_t begin = at + 8;
  if (begin < content.size() && (content[begin] == L'"' || content[begin] == L'\'')) ++begin;
  size_t end = begin;
  while (end < content.size() && !std::wcschr(L" \t\r\n;\"'", content[end])) ++end;
  return content.substr(begin, end - begin);
}

std::wstring HtmlDeclaredCharset(std::u16string_view text) {
  XmlDocument html;
  html.SetFlags(XmlDocument::kFoldCase);
  html.SetDocumentText(std::u16string(text));
  if (!html.FindElement(L"html") || !html.EnterElement() || !html.FindElement(L"head")) return {};
  const std::vector<XmlElement>& elements = html.Elements();
  const uint32_t head = html.GetCurrentElement();
  // Every element below head in document order, without recursion: meta elements that were
  // never ended nest into one another.
  for (uint32_t i = elements[head].firstChild; i;) {
    if (AsciiFolded(html.GetElementName(i)) == L"meta") {
      std::wstring value;
      if (html.GetAttributeAt(value, i, L"charset") && !value.empty()) return value;
      if (html.GetAttributeAt(value, i, L"http-equiv") && AsciiFolded(value) == L"content-type" &&
          html.GetAttributeAt(value, i, L"content")) {
        if (std::wstring charset = CharsetParameter(value); !charset.empty()) return charset;
      }
    }
    if (elements[i].firstChild) {
      i = elements[i].firstChild;
      continue;
    }
    while (i != head && elements[i].nextSibling == 0) i = elements[i].parent;
    i = i == head ? 0 : elements[i].nextSibling;
  }
  return {};
}

}  // namespace

std::wstring XmlDocument::GetDeclaredEncoding(std::u16string_view text) {
  if (StartsDeclaration(text)) {
    const size_t end = text.find(u"?>");
    return FromUtf16(DeclarationValue(text.substr(0, end), std::u16string_view(u"encoding")));
  }
  return HtmlDeclaredCharset(text);
}

// Reading --------------------------------------------------------------------------------------

namespace {

struct Mark {
  std::string_view bytes;
  const wchar_t* encoding;
  int flag;
};
constexpr Mark kMarks[] = {
    {"\xEF\xBB\xBF", L"UTF-8", XmlDocument::kFileUtf8Mark},
    {"\xFF\xFE", L"UTF-16LE", XmlDocument::kFileUtf16LeMark},
    {"\xFE\xFF", L"UTF-16BE", XmlDocument::kFileUtf16BeMark},
};
constexpr size_t kSniffBytes = 1024;

// The bytes whose text tells the declared encoding: an XML declaration up to its "?>" when the file
// starts with one (no need to decode more), otherwise the first kSniffBytes bytes. '?' and '>' are
// never part of a longer UTF-8 sequence, so the declaration ends at the same place in the text.
std::string_view SniffedHead(std::string_view bytes) {
  const std::string_view head = bytes.substr(0, kSniffBytes);
  if (StartsDeclaration(head)) {
    const size_t end = head.find("?>");
    if (end != std::string_view::npos) return head.substr(0, end + 2);
  }
  return head;
}

// The encoding that the start of a file without a byte-order mark declares, in `storage` unless it
// is "UTF-8". A declaration in ASCII, as nearly every one is, is read from the bytes as they are.
std::wstring_view DeclaredEncodingOf(std::string_view bytes, std::wstring& storage) {
  const std::string_view head = SniffedHead(bytes);
  if (StartsDeclaration(head) && head.ends_with("?>") &&
      std::none_of(head.begin(), head.end(), [](char c) { return c & 0x80; })) {
    const std::string_view value =
        DeclarationValue(head.substr(0, head.size() - 2), std::string_view("encoding"));
    if (value == "UTF-8") return L"UTF-8";
    storage.assign(value.begin(), value.end());
    return storage;
  }
  thread_local std::u16string decoded;  // reused: every read looks at the head
  DecodeUtf8(decoded, head);
  storage = XmlDocument::GetDeclaredEncoding(decoded);
  return storage;
}

bool IsUnicodeForm(int codePage) { return codePage == 65001 || codePage == 1200 || codePage == 1201; }

long long Length(size_t n) { return static_cast<long long>(n); }

}  // namespace

bool XmlDocument::DecodeFileBytes(std::u16string& text, std::wstring& log, std::string_view bytes,
                                  int* flags) {
  text.clear();
  int fileFlags = kFileRead;
  std::wstring declared;
  std::wstring_view encoding;
  const Mark* mark = nullptr;
  for (const Mark& candidate : kMarks) {
    if (bytes.starts_with(candidate.bytes)) {
      mark = &candidate;
      break;
    }
  }
  bool assumedUtf8 = false;
  if (mark) {
    fileFlags |= mark->flag;
    encoding = mark->encoding;
  } else {
    encoding = DeclaredEncodingOf(bytes, declared);
    if (encoding.empty() && !bytes.empty() && bytes[0] == '<') {
      encoding = L"UTF-8";
      assumedUtf8 = true;
    }
  }
  const std::string_view body = bytes.substr(mark ? mark->bytes.size() : 0);
  size_t nulls = 0;
  bool mayHoldZero = true;  // false once our own decoders made the text from bytes without zeros

  if (mark && mark->flag != kFileUtf8Mark) {
    // A UTF-16 text is made of whole units: an odd byte count means the file was cut or is not
    // what its mark says, and reading it would silently drop its end.
    if (body.size() % 2 != 0) {
      AddResult(log, {.name = L"file_error",
                      .type = L"odd byte count for UTF-16",
                      .encoding = encoding,
                      .length = Length(body.size())});
      if (flags) *flags = fileFlags;
      return false;
    }
    const size_t units = body.size() / 2;
    AddResult(log, {.name = L"read", .encoding = encoding, .length = Length(units)});
    const bool bigEndian = mark->flag == kFileUtf16BeMark;
    if (bigEndian) AddResult(log, {.name = L"endian_swap", .encoding = encoding, .length = Length(units)});
    text.reserve(units);
    for (size_t i = 0; i < units; ++i) {
      const unsigned char a = static_cast<unsigned char>(body[2 * i]);
      const unsigned char b = static_cast<unsigned char>(body[2 * i + 1]);
      text += bigEndian ? static_cast<char16_t>(a << 8 | b) : static_cast<char16_t>(b << 8 | a);
    }
  } else {
    AddResult(log, {.name = L"read", .encoding = encoding, .length = Length(body.size())});
    // Zero bytes are rare: copy only when there are some.
    std::string withoutNulls;
    std::string_view clean = body;
    if (body.find('\0') != std::string_view::npos) {
      withoutNulls.reserve(body.size());
      std::copy_if(body.begin(), body.end(), std::back_inserter(withoutNulls), [](char c) { return c != 0; });
      nulls += body.size() - withoutNulls.size();
      clean = withoutNulls;
    }

    int codePage = encoding.empty() ? 0 : CodePageOfName(encoding);
    if (!encoding.empty() && (codePage <= 0 || !IsCodePageSupported(codePage))) {
      AddResult(log, {.name = L"unsupported_encoding", .encoding = encoding});
      encoding = {};
      codePage = 0;
    }
    if (codePage == 65001) {
      // A Western file that only starts with '<' keeps its accents instead of turning into U+FFFD.
      if (!DecodeUtf8(text, clean) && assumedUtf8) codePage = 0;
    } else if (codePage == 0) {
      const bool high = std::any_of(clean.begin(), clean.end(), [](char c) { return c & 0x80; });
      if (high && DecodeUtf8(text, clean)) {
        encoding = L"UTF-8";
        codePage = 65001;
        AddResult(log, {.name = L"utf8_detection", .encoding = encoding, .length = Length(clean.size())});
      }
    }
    if (codePage == 0) {
      encoding = L"ANSI";
      codePage = 1252;
    }
    if (codePage != 65001) {
      ConvertText(text, clean, codePage);
      if (!IsUnicodeForm(codePage))
        AddResult(log, {.name = L"converted_to", .encoding = encoding, .length = Length(text.size())});
    }
    mayHoldZero = codePage != 65001 && codePage != 1252;
  }
  // Zero units end strings further on; none is kept, whichever decoder produced it.
  if (mayHoldZero && FindUnit(text, 0, u'\0') < text.size()) {
    const size_t before = text.size();
    std::erase(text, u'\0');
    nulls += before - text.size();
  }
  if (nulls) AddResult(log, {.name = L"nulls_removed", .count = Length(nulls)});
  AddResult(log, {.name = L"read", .encoding = encoding, .length = Length(text.size())});
  if (flags) *flags = fileFlags;
  return true;
}

namespace {

enum class Streamed { kDone, kFailed, kNotSuitable };

// The common case of ReadTextFile, decoded while it is read, without a buffer for the whole
// file: no mark, a declared UTF-8 encoding and no zero byte. Anything else is left to the general
// path (kNotSuitable; the file is back at its start). The text and the log come out as
// DecodeFileBytes makes them from the same bytes.
Streamed ReadDeclaredUtf8(XmlFile& file, std::u16string& text, std::wstring& log, int* flags) {
  constexpr size_t kPiece = 64 * 1024;
  const size_t size = static_cast<size_t>(file.Size());
  std::string buffer(std::min(size, kPiece) + 3, '\0');  // a piece after what the last one left
  size_t got = 0;
  if (!file.ReadSome(buffer.data(), std::min(size, kPiece), got)) return Streamed::kFailed;
  const std::string_view first(buffer.data(), got);
  auto notSuitable = [&] {
    text.clear();
    return file.Rewind() ? Streamed::kNotSuitable : Streamed::kFailed;
  };
  for (const Mark& mark : kMarks)
    if (first.starts_with(mark.bytes)) return notSuitable();
  std::wstring declared;
  const std::wstring_view encoding = DeclaredEncodingOf(first, declared);
  if (encoding.empty() || CodePageOfName(encoding) != 65001) return notSuitable();

  ReserveText(text, size);
  size_t total = 0, kept = 0;
  bool clean = true;
  for (;;) {
    const std::string_view piece(buffer.data(), kept + got);
    if (std::memchr(buffer.data() + kept, '\0', got)) return notSuitable();
    total += got;
    const bool last = total >= size || got == 0;
    const size_t used = DecodeUtf8Piece(text, piece, last, clean);
    if (last) break;
    kept = piece.size() - used;
    std::memmove(buffer.data(), buffer.data() + used, kept);
    if (!file.ReadSome(buffer.data() + kept, std::min(size - total, kPiece), got)) return Streamed::kFailed;
  }
  if (!file.Close()) return Streamed::kFailed;
  XmlDocument::AddResult(log, {.name = L"read", .encoding = encoding, .length = Length(total)});
  XmlDocument::AddResult(log, {.name = L"read", .encoding = encoding, .length = Length(text.size())});
  if (flags) *flags = XmlDocument::kFileRead;
  return Streamed::kDone;
}

}  // namespace

bool XmlDocument::ReadTextFile(std::u16string& text, std::wstring& log, const std::wstring& path,
                               int* flags) {
  text.clear();
  log.clear();
  if (flags) *flags = 0;
  XmlFile file(log);
  if (!file.Open(path, kFileRead)) return false;
  if (file.Size() > kMaxFileSize) {
    file.AddFileError(EFBIG);
    return false;
  }
  switch (ReadDeclaredUtf8(file, text, log, flags)) {
    case Streamed::kDone:
      return true;
    case Streamed::kFailed:
      text.clear();
      return false;
    case Streamed::kNotSuitable:
      break;
  }
  std::string bytes;
  if (!file.ReadText(bytes)) return false;
  if (!file.Close()) return false;
  return DecodeFileBytes(text, log, bytes, flags);
}

// Writing --------------------------------------------------------------------------------------

bool XmlDocument::WriteTextFile(std::u16string_view text, std::wstring& log, const std::wstring& path,
                                int flags) {
  const Mark* mark = nullptr;
  for (const Mark& candidate : kMarks) {
    if (flags & candidate.flag) {
      mark = &candidate;
      break;
    }
  }
  std::wstring encoding = mark ? mark->encoding : GetDeclaredEncoding(text);
  if (encoding.empty()) encoding = L"UTF-8";
  const int codePage = CodePageOfName(encoding);
  if (codePage <= 0 || !IsCodePageSupported(codePage)) {
    AddResult(log, {.name = L"file_error", .type = L"unsupported encoding", .encoding = encoding});
    return false;
  }
  // UTF-8, the usual case, is encoded piece by piece straight into the file: a buffer for the
  // whole text would be as large as the file three times over, fresh memory for every save.
  const bool piecewise = codePage == 65001;
  std::string bytes;
  bool lost = false;
  if (piecewise)
    lost = HasLoneSurrogate(text);
  else
    ConvertText(bytes, text, codePage, &lost);
  if (!IsUnicodeForm(codePage))
    AddResult(log, {.name = L"converted_from", .encoding = encoding, .length = Length(text.size())});
  if (lost) AddResult(log, {.name = L"conversion_loss", .encoding = encoding});

  XmlFile file(log);
  if (!file.Open(path, kFileWrite)) return false;
  if (mark) {
    if (!file.WriteText(mark->bytes)) return false;
    AddResult(log, {.name = L"bom", .encoding = encoding});
  }
  size_t written = bytes.size();
  if (piecewise) {
    constexpr size_t kPieceUnits = 32 * 1024;
    bytes.resize(3 * (std::min(kPieceUnits, text.size()) + 1));  // a piece and a unit that ends a pair
    written = 0;
    for (size_t from = 0; from < text.size();) {
      size_t units = std::min(kPieceUnits, text.size() - from);
      if (from + units < text.size() && IsHighSurrogate(text[from + units - 1])) ++units;  // keep pairs
      bool ignored = false;
      const char* end = EncodeUtf8(bytes.data(), text.substr(from, units), ignored);
      const size_t size = static_cast<size_t>(end - bytes.data());
      if (!file.WriteText(std::string_view(bytes.data(), size))) return false;
      written += size;
      from += units;
    }
  } else if (!file.WriteText(bytes)) {
    return false;
  }
  if (!file.Close()) return false;
  AddResult(log, {.name = L"write", .encoding = encoding, .length = Length(written)});
  return true;
}
