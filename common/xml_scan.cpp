// The node scanner: tells the kind and extent of the node at a position, and names syntax errors.
#include "common/xml_detail.h"

namespace xml_detail {

size_t NodeScanner::FindFrom(Memo& memo, std::u16string_view what, size_t pos) {
  // A search from a later position finds the same terminator as long as it lies at or after
  // that position; a search that ran out stays run out.
  if (memo.from != std::u16string_view::npos && memo.from <= pos &&
      (memo.found == std::u16string_view::npos || memo.found >= pos))
    return memo.found;
  memo.from = pos;
  // The first unit is looked for eight units at a time; the rest is compared where it stands.
  memo.found = std::u16string_view::npos;
  for (size_t at = FindUnit(text_, pos, what[0]); at < text_.size(); at = FindUnit(text_, at + 1, what[0])) {
    if (text_.substr(at, what.size()) == what) {
      memo.found = at;
      break;
    }
  }
  return memo.found;
}

XmlNode NodeScanner::Bad(size_t pos, const wchar_t* error) {
  XmlNode node;
  node.type = kNodeError;
  node.error = error;
  const size_t next = FindFrom(lessThan_, u"<", pos + 1);
  node.end = next == std::u16string_view::npos ? text_.size() : next;
  return node;
}

// A node of `type` that opens with `openLength` units at `pos` and ends with `close`.
XmlNode NodeScanner::Enclosed(size_t pos, size_t openLength, Memo& memo, std::u16string_view close,
                              int type) {
  const size_t at = FindFrom(memo, close, pos + openLength);
  if (at == std::u16string_view::npos) return Bad(pos, L"unterminated_tag_syntax");
  XmlNode node;
  node.type = type;
  node.end = at + close.size();
  return node;
}

// One past the '>' that ends the tag at `pos`, or npos. Quotes and apostrophes enclose values,
// where neither '>' nor '<' ends the tag. Outside a value a '<' ends the search: it cannot stand
// in a tag, and stopping there keeps a run of unclosed tags from being scanned again and again.
// A quote with no partner later in the text can never close, so the search gives up at once
// instead of reading to the end for every such tag.
size_t NodeScanner::TagEnd(size_t pos) {
  const size_t n = text_.size();
  const char16_t* data = text_.data();
  char16_t quote = 0;  // the quote of the value being read, 0 outside values
  if (valueQuotes_) valueQuotes_->clear();
  // One unit that may end the tag or a value; npos: the tag ends there, 0: read on.
  auto step = [&](size_t at) -> size_t {
    const char16_t c = data[at];
    if (quote) {
      if (c == quote) quote = 0;
      return 0;
    }
    if (c == u'<') return std::u16string_view::npos;
    if (c == u'>') return at + 1;
    if (c != u'"' && c != u'\'') return 0;
    if (at >= LastOf(c)) return std::u16string_view::npos;
    quote = c;
    if (valueQuotes_) valueQuotes_->push_back(at);
    return 0;
  };
  size_t i = pos + 1;
#if defined(__SSE2__)
  // Eight units at a time; only the four units that matter are looked at one by one.
  const __m128i lt = _mm_set1_epi16(u'<'), gt = _mm_set1_epi16(u'>');
  const __m128i dq = _mm_set1_epi16(u'"'), sq = _mm_set1_epi16(u'\'');
  for (; i + 8 <= n; i += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, lt), _mm_cmpeq_epi16(units, gt)),
                                      _mm_or_si128(_mm_cmpeq_epi16(units, dq), _mm_cmpeq_epi16(units, sq)));
    for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask; mask &= mask - 1) {
      const size_t at = i + static_cast<size_t>(__builtin_ctz(mask)) / 2;
      mask &= mask - 1;  // each unit sets two bits
      if (const size_t end = step(at)) return end;
    }
  }
#endif
  for (; i < n; ++i)
    if (const size_t end = step(i)) return end;
  return std::u16string_view::npos;
}

size_t NodeScanner::LastOf(char16_t quote) {
  size_t& last = quote == u'"' ? lastQuote_ : lastApostrophe_;
  if (last == kNotLookedUp) {
    const size_t found = text_.rfind(quote);
    last = found == std::u16string_view::npos ? 0 : found;
  }
  return last;
}

// One past the end of "<!DOCTYPE ...>" at `pos` with its optional internal subset, or npos.
size_t NodeScanner::DocTypeEnd(size_t pos) {
  if (docTypeRunsOutFrom_ <= pos) return std::u16string_view::npos;
  char16_t quote = 0;
  bool inSubset = false;
  for (size_t i = pos + 9; i < text_.size(); ++i) {
    const char16_t c = text_[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    } else if (c == u'[') {
      inSubset = true;
    } else if (c == u']') {
      inSubset = false;
    } else if (c == u'>' && !inSubset) {
      return i + 1;
    }
  }
  // Any later document type runs out as well (or is a second one, malformed anyway).
  docTypeRunsOutFrom_ = pos;
  return std::u16string_view::npos;
}

XmlNode NodeScanner::ParseNode(size_t pos) {
  XmlNode node;
  const size_t n = text_.size();
  if (pos >= n) return node;
  if (text_[pos] != u'<') {
    const size_t next = FindFrom(lessThan_, u"<", pos);
    node.end = next == std::u16string_view::npos ? n : next;
    node.type = kNodeBlank;
    for (size_t i = pos; i < node.end; ++i) {
      if (!IsBlank(text_[i])) {
        node.type = kNodeText;
        break;
      }
    }
    return node;
  }
  if (pos + 1 >= n) return Bad(pos, L"unterminated_tag_syntax");
  const char16_t c = text_[pos + 1];
  const std::u16string_view rest = text_.substr(pos);
  if (StartsName(c) || c == u'/') {
    const size_t end = TagEnd(pos);
    if (end == std::u16string_view::npos) return Bad(pos, L"unterminated_tag_syntax");
    node.type = kNodeElement;
    node.end = end;
    node.endTag = c == u'/';
    node.empty = !node.endTag && text_[end - 2] == u'/';
    return node;
  }
  if (c == u'?') return Enclosed(pos, 2, processingEnd_, u"?>", kNodeProcessing);
  if (c != u'!') return Bad(pos, L"first_tag_syntax");
  if (pos + 2 >= n) return Bad(pos, L"unterminated_tag_syntax");
  const char16_t kind = text_[pos + 2];
  if (kind == u'-') {
    if (pos + 3 >= n || text_[pos + 3] != u'-') return Bad(pos, L"comment_tag_syntax");
    return Enclosed(pos, 4, commentEnd_, u"-->", kNodeComment);
  }
  if (kind == u'[') {
    if (!rest.starts_with(u"<![CDATA[")) return Bad(pos, L"cdata_section_syntax");
    return Enclosed(pos, 9, cdataEnd_, u"]]>", kNodeCData);
  }
  if (kind == u'D') {
    if (!rest.starts_with(u"<!DOCTYPE") || rest.size() < 10 || !IsBlank(rest[9]))
      return Bad(pos, L"doctype_tag_syntax");
    const size_t end = DocTypeEnd(pos);
    if (end == std::u16string_view::npos) return Bad(pos, L"unterminated_tag_syntax");
    node.type = kNodeDocType;
    node.end = end;
    return node;
  }
  return Bad(pos, L"exclamation_tag_syntax");
}

}  // namespace xml_detail
