// XmlDocument: the one XML class of the program. It keeps a whole document as one UTF-16 text and
// indexes its elements in a table of positions, with a forward-only cursor for reading and calls
// that add elements and attributes in place. A second text, the result log, records what reading,
// parsing and writing found; it is itself a sequence of empty XML elements, so it parses too.
//
// Positions, lengths and log offsets count UTF-16 units of the document text. Names, values, log
// text, encoding names and paths are std::wstring at this interface; a lone surrogate that crosses
// it becomes U+FFFD.
//
// A document is not thread-safe; the static calls (escaping, encodings, files) are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One element of the document: where it lies in the text and how it is linked. Index 0 of the
// table is the document itself (its length is the text length, its first child the root).
struct XmlElement {
  size_t start = 0;           // offset of the element's '<'
  size_t length = 0;          // start tag to the end of the end tag
  size_t startTagLength = 0;  // the whole tag for an empty element
  size_t endTagLength = 0;    // 0 for an empty element and for one that was never ended
  uint32_t flags = 0;         // XmlDocument::kElement* below
  uint32_t parent = 0;        // 0 = the document
  uint32_t firstChild = 0;    // 0 = none
  uint32_t nextSibling = 0;   // 0 = none
  uint32_t prevSibling = 0;   // the first child holds the last child here
};

// One entry of a result log. Text fields are written only when non-empty, numbers only when not -1.
struct XmlResultEntry {
  std::wstring_view name = {};
  std::wstring_view type = {};
  std::wstring_view encoding = {};
  std::wstring_view tagname = {};
  long long count = -1;
  long long length = -1;
  long long offset = -1;
  long long offset2 = -1;
};

class XmlDocument {
 public:
  // Document flags.
  static constexpr int kFoldCase = 8;  // names compare without regard to ASCII case
  // Element record flags.
  static constexpr uint32_t kElementEmpty = 0x100000;        // written as one tag, "<name/>"
  static constexpr uint32_t kElementFirst = 0x80000;         // first of its siblings
  static constexpr uint32_t kDocumentParseError = 0x800000;  // on record 0: a parse error was found
  // AddElement flags.
  static constexpr int kAddCData = 1;        // the value is written as a CDATA section
  static constexpr int kAddSpacedEnd = 4;    // an empty element ends in " />"
  static constexpr int kAddNoValue = 16;     // a non-empty value is refused
  static constexpr int kAddBefore = 0x2000;  // not supported: AddElement refuses it
  static constexpr int kAddChild = 0x4000;   // not supported: AddElement refuses it
  // EscapeText flags.
  static constexpr int kEscapeKeepReferences = 8;  // an '&' starting a well-formed reference stays
  static constexpr int kEscapeAttribute = 0x100;   // also quote and apostrophe
  // File flags, as ReadTextFile reports them and WriteTextFile takes them.
  static constexpr int kFileUtf16LeMark = 1;
  static constexpr int kFileUtf8Mark = 4;
  static constexpr int kFileRead = 0x10;
  static constexpr int kFileWrite = 0x20;
  static constexpr int kFileUtf16BeMark = 0x80;
  static constexpr int kFileMarks = kFileUtf16LeMark | kFileUtf8Mark | kFileUtf16BeMark;
  // The log takes no entry once it holds this many UTF-16 units.
  static constexpr size_t kResultCap = 1000;
  // ReadTextFile refuses larger files.
  static constexpr long long kMaxFileSize = 64ll << 20;

  // An empty document (no root, so not well formed).
  XmlDocument();
  // Starts from `text` (null = empty) and parses it.
  explicit XmlDocument(const wchar_t* text);

  // Document flags (kFoldCase); they apply from the next parse on.
  int GetFlags() const { return m_flags; }
  void SetFlags(int flags) { m_flags = flags; }

  // Replaces the text, empties the log and parses. Returns ParseDocument's result.
  bool SetDocumentText(const wchar_t* text);
  bool SetDocumentText(std::u16string text);

  // The text and the log. The load sequence reads a file straight into them:
  //   XmlDocument::ReadTextFile(doc.Text(), doc.Result(), path, &flags); doc.ParseDocument();
  // After changing Text() the caller must call ParseDocument before any other call.
  const std::u16string& GetText() const { return m_text; }
  std::u16string& Text() { return m_text; }
  const std::wstring& GetResult() const { return m_result; }
  std::wstring& Result() { return m_result; }

  // Rebuilds the element table from the text, logs what it finds and puts the cursor at the
  // document level with no current element. True when the document is well formed: there is a
  // root, it has no sibling at document level and no error marked the document. The elements
  // found are navigable whatever the result; the first one at document level is the root.
  bool ParseDocument();

  // Finds the next element named `name` at the current level after the current element (from
  // the level's first child when there is none); an empty name matches any element. On success
  // it becomes the current element. False, with the cursor unchanged, when there is none.
  bool FindElement(std::wstring_view name);
  // Makes the current element the current level; the new current element is the child where
  // the last visit of this level stopped (none on a first visit). False without a current element.
  bool EnterElement();
  // Goes back to the enclosing level; the element that was the level becomes current again.
  // False at the document level.
  bool LeaveElement();
  // Index of the current element in the table, 0 when there is none.
  uint32_t GetCurrentElement() const { return m_current; }

  // The unescaped value of attribute `name` of the current element (GetAttribute) or of element
  // `index` (GetAttributeAt). False, with `out` empty, when the element or attribute is missing.
  bool GetAttribute(std::wstring& out, std::wstring_view name) const;
  bool GetAttributeAt(std::wstring& out, uint32_t index, std::wstring_view name) const;
  // The current element's own text and CDATA content, unescaped and unwrapped; child elements,
  // comments and processing instructions are skipped. False without a current element.
  bool GetData(std::wstring& out) const;

  // Sets attribute `name` of element `index` to `value` (escaped for attributes), adding it at
  // the end of the start tag when it is missing. No flag is defined yet; pass 0. False when the
  // index is no element or the name is not exactly one name token.
  bool SetAttributeAt(uint32_t index, std::wstring_view name, std::wstring_view value, int flags = 0);
  // Adds an element on a line of its own after the current element, or, without one, after the
  // last element of the current level; it becomes the current element. An empty value gives
  // "<name/>"; otherwise the value is escaped as element text, or wrapped as CDATA with
  // kAddCData. An empty-element parent is rewritten into a start tag, CR LF and an end tag.
  // False for a name that is not exactly one name token, for kAddNoValue with a value, and for
  // kAddBefore and kAddChild.
  bool AddElement(std::wstring_view name, std::wstring_view value = {}, int flags = 0);

  // The element table (index 0 is the document). For tests and diagnostics.
  const std::vector<XmlElement>& Elements() const { return m_elements; }
  // The name of element `index` as written in its start tag; empty for 0 or a bad index.
  std::wstring GetElementName(uint32_t index) const;

  // Escapes `text`: '<', '&' and '>' always; with kEscapeAttribute also quote and apostrophe;
  // with kEscapeKeepReferences an '&' that starts a well-formed reference is kept.
  static std::u16string EscapeText(int flags, std::u16string_view text);
  // Replaces the five XML references, numeric references and the HTML 4 names by their
  // characters. Unknown names, references to no character (0, surrogates, above U+10FFFF),
  // runs of more than 9 characters and a missing ';' are copied unchanged.
  static std::u16string UnescapeText(std::u16string_view text);
  // "<![CDATA[" text "]]>", each "]]>" inside split over two sections.
  static std::u16string EncodeCData(std::u16string_view text);
  // Appends one entry while `log` is shorter than kResultCap UTF-16 units; values are escaped
  // as attribute values. The member form appends to this document's log.
  static void AddResult(std::wstring& log, const XmlResultEntry& entry);
  void AddResult(const XmlResultEntry& entry) { AddResult(m_result, entry); }

  // Encodings (xml_encoding.cpp) -------------------------------------------------------------

  // The Windows code page of a charset name: 0 for an empty name, 65005 for a name starting with
  // "UTF-32", -1 for a name of 100 units or more or one the charset table lacks. Only A-Z fold.
  static int GetEncodingCodePage(std::wstring_view name);
  // Decodes `bytes` of `codePage` into UTF-16. An undecodable byte becomes U+FFFD. False only
  // when the code page has no converter (then `out` is empty).
  static bool ConvertText(std::u16string& out, std::string_view bytes, int codePage);
  // Encodes `text` into `codePage`. A character without a representation, and a lone surrogate,
  // are written as "?" (U+FFFD for the Unicode forms) and set `*lost`. False only when the code
  // page has no converter (then `out` is empty).
  static bool ConvertText(std::string& out, std::u16string_view text, int codePage, bool* lost = nullptr);
  // True when ConvertText can convert `codePage` both ways.
  static bool IsCodePageSupported(int codePage);
  // The encoding `text` declares: the XML declaration's `encoding` when the text starts with
  // one, else the charset of an HTML head's meta element; empty when nothing is declared.
  static std::wstring GetDeclaredEncoding(std::u16string_view text);

  // Files (xml_file.cpp) -----------------------------------------------------------------------

  // Reads the file at `path` into `text` as UTF-16 and its log into `log` (both replaced). Marks,
  // a declared encoding or the byte content decide the encoding. `flags` (may be null) receives
  // kFileRead and the mark found. False, with `text` empty and a "file_error" entry, when the
  // file cannot be opened or read or is larger than kMaxFileSize.
  static bool ReadTextFile(std::u16string& text, std::wstring& log, const std::wstring& path,
                           int* flags = nullptr);
  // The byte-level core of ReadTextFile: decodes a whole file's `bytes`. Fails (text empty, a
  // file_error entry logged) only for a UTF-16 file whose bytes after the mark are odd in number.
  static bool DecodeFileBytes(std::u16string& text, std::wstring& log, std::string_view bytes,
                              int* flags = nullptr);
  // Writes `text` to `path` in the encoding the mark flags name, else the one the text declares,
  // else UTF-8; a mark only when `flags` ask for one. Entries are appended to `log`. The file is
  // written beside the target and renamed over it after a successful close, so a failure leaves
  // an existing target as it was. False, with a "file_error" entry, when the encoding has no
  // converter or the file cannot be written.
  static bool WriteTextFile(std::u16string_view text, std::wstring& log, const std::wstring& path,
                            int flags = 0);

 private:
  void ResetTable();
  // Builds the element table from the text in one pass: each start tag opens a record, an end
  // tag closes the innermost open element of its name, and what stays open is logged.
  void ParseElements();
  void MarkParseError() { m_elements[0].flags |= kDocumentParseError; }
  // Whether the name token at [tokenStart, tokenEnd) of the text is `name` (kFoldCase applies).
  bool NameMatches(size_t tokenStart, size_t tokenEnd, std::u16string_view name) const;
  // End of the name token starting at `from`, at most `limit`.
  size_t NameEnd(size_t from, size_t limit) const;
  // Locates attribute `name` in the start tag of element `index`: the whole attribute and its
  // value (between the quotes when `quoted`). False when the tag has no such attribute.
  bool FindAttribute(uint32_t index, std::u16string_view name, size_t& attrStart, size_t& valueStart,
                     size_t& valueEnd, size_t& attrEnd, bool& quoted) const;
  // One attribute of a start tag as FindAttribute reads it: the name token, the value (between
  // the quotes when `quoted`) and the end of the whole attribute.
  struct AttributeSpan {
    size_t nameStart, nameEnd, valueStart, valueEnd, attrEnd;
    bool quoted;
  };
  // Fills m_attributes with every attribute of element `index`'s start tag, in order.
  void ScanAttributes(uint32_t index) const;
  // The attribute names of one start tag and a hash of each, as the parse collects them: one list
  // for the thread, kept between parses (no allocation per document).
  struct NameKey {
    std::u16string_view name;
    uint64_t hash;
  };
  static std::vector<NameKey>& AttributeNames();
  // Reads the start tag at `pos` when it has the form of nearly every file: the name, then
  // attributes name="value" or name='value', each after blanks (blanks around '=' allowed), then
  // ">" or "/>". Sets the tag's end, its name's end and whether it is empty, and leaves the
  // attribute names in AttributeNames(). False for any other form: the node scanner reads those.
  bool ReadPlainStartTag(size_t pos, size_t& end, size_t& nameEnd, bool& empty);
  // Leaves in AttributeNames() the word before the '=' of each quoted value of a start tag whose
  // name ends at `nameEnd`; `valueQuotes` are the values' opening quotes.
  void NamesBeforeValues(size_t nameEnd, const std::vector<size_t>& valueQuotes);
  // Whether AttributeNames() holds one name twice (a document that does is not well formed).
  bool AttributeNamesRepeat();
  // Replaces text inside element `owner`; `owner` and every element around it grow by the change
  // and every element after the edit moves, so that the table keeps matching the text.
  void ReplaceText(size_t pos, size_t removed, std::u16string_view inserted, uint32_t owner);
  uint32_t LastChild(uint32_t parent) const;
  // Links record `index` under `parent` after sibling `after`, or as the last child for 0.
  void LinkChild(uint32_t index, uint32_t parent, uint32_t after);
  // Rewrites the empty-element tag of `parent` into a start tag, CR LF and an end tag.
  bool OpenEmptyParent(uint32_t parent);

  std::u16string m_text;
  std::wstring m_result;
  uint32_t m_parent = 0;
  uint32_t m_current = 0;
  uint32_t m_child = 0;
  int m_nodeType = 0;
  int m_flags = 0;
  std::vector<XmlElement> m_elements;
  // True while the elements' starts rise with their index, as a parse leaves them and as adding at
  // the end of the text keeps them: an edit then moves only the elements after it, found by a
  // binary search, so that building a document stays linear.
  bool m_inDocumentOrder = true;
  // The attributes of one start tag, read once for all the reads of that element that follow;
  // m_attributesOf is the element (0 = none). Any edit of the text forgets them, unless the edit
  // itself keeps them up to date.
  mutable std::vector<AttributeSpan> m_attributes;

  mutable uint32_t m_attributesOf = 0;
};
