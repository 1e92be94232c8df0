#include "ui_toolkit/core/ui_xml.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <new>

namespace SkinUI {
namespace {

bool IsBlank(wchar_t c) { return c != L'\0' && c <= L' '; }
bool IsNameChar(wchar_t c) { return std::iswalnum(c) || c == L':' || c == L'_'; }

void CopyCut(wchar_t* out, size_t units, const wchar_t* text) {
  size_t n = 0;
  while (n + 1 < units && text[n] != L'\0') {
    out[n] = text[n];
    ++n;
  }
  out[n] = L'\0';
}

struct Entity {
  const wchar_t* text;
  wchar_t ch;
};
constexpr Entity kEntities[] = {{L"&amp;", L'&'}, {L"&apos;", L'\''}, {L"&lt;", L'<'}, {L"&gt;", L'>'},
                                {L"&quot;", L'"'}};

}  // namespace

// ---- nodes

const wchar_t* CUiXmlNode::GetName() const {
  return document_ == nullptr ? nullptr : document_->At(document_->elements_[element_].name);
}

CUiXmlNode CUiXmlNode::GetSibling() const {
  if (document_ == nullptr) return {};
  const uint32_t next = document_->elements_[element_].next_sibling;
  return next == 0 ? CUiXmlNode() : CUiXmlNode(document_, next);
}

CUiXmlNode CUiXmlNode::GetChild() const {
  if (document_ == nullptr) return {};
  const uint32_t child = document_->elements_[element_].first_child;
  return child == 0 ? CUiXmlNode() : CUiXmlNode(document_, child);
}

bool CUiXmlNode::HasChildren() const {
  return document_ != nullptr && document_->elements_[element_].first_child != 0;
}

bool CUiXmlNode::HasAttributes() const { return GetAttributeCount() > 0; }

int CUiXmlNode::GetAttributeCount() const {
  return document_ == nullptr ? 0 : static_cast<int>(document_->elements_[element_].attribute_count);
}

const wchar_t* CUiXmlNode::GetAttributeName(int index) const {
  if (document_ == nullptr) return nullptr;
  if (index < 0 || index >= GetAttributeCount()) return L"";
  const auto& e = document_->elements_[element_];
  return document_->At(document_->attributes_[e.first_attribute + index].name);
}

const wchar_t* CUiXmlNode::GetAttributeValue(int index) const {
  if (document_ == nullptr) return nullptr;
  if (index < 0 || index >= GetAttributeCount()) return L"";
  const auto& e = document_->elements_[element_];
  return document_->At(document_->attributes_[e.first_attribute + index].value);
}

bool CUiXmlNode::GetAttributeValue(const wchar_t* name, wchar_t* buffer, int size) const {
  if (document_ == nullptr || name == nullptr) return false;
  const int count = GetAttributeCount();
  for (int i = 0; i < count; ++i) {
    if (_wcsicmp(GetAttributeName(i), name) != 0) continue;
    if (buffer != nullptr && size > 0) CopyCut(buffer, static_cast<size_t>(size), GetAttributeValue(i));
    return true;
  }
  return false;
}

// ---- document

void CUiXmlDocument::Release() {
  text_.clear();
  text_.shrink_to_fit();
  elements_.clear();
  elements_.shrink_to_fit();
  attributes_.clear();
  source_.clear();
  source_.shrink_to_fit();
  pos_ = 0;
}

CUiXmlNode CUiXmlDocument::GetRoot() const {
  return elements_.size() > 1 ? CUiXmlNode(this, 1) : CUiXmlNode();
}

bool CUiXmlDocument::Fail(const wchar_t* message) {
  CopyCut(error_message_, std::size(error_message_), message);
  const wchar_t* where = pos_ < source_.size() ? source_.data() + pos_ : L"";
  CopyCut(error_location_, std::size(error_location_), where);
  Release();
  return false;
}

bool CUiXmlDocument::Load(const wchar_t* text) {
  if (text == nullptr) {
    Release();
    pos_ = 0;
    return Fail(L"No text");
  }
  return Parse(std::vector<wchar_t>(text, text + std::wcslen(text)));
}

bool CUiXmlDocument::LoadFromMem(const unsigned char* bytes, size_t length, int encoding) {
  Release();
  std::vector<wchar_t> text;
  if (bytes == nullptr) length = 0;
  if (length > 0x7FFFFFFF) return Fail(L"File too large");
  if (encoding == kUtf8 || encoding == kAnsi) {
    UINT code_page = encoding == kUtf8 ? CP_UTF8 : CP_ACP;
    if (encoding == kUtf8 && length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
      bytes += 3;
      length -= 3;
    }
    if (length > 0) {
      const auto* narrow = reinterpret_cast<const char*>(bytes);
      const int n = ::MultiByteToWideChar(code_page, 0, narrow, static_cast<int>(length), nullptr, 0);
      if (n <= 0) return Fail(L"Could not convert text");
      text.resize(static_cast<size_t>(n));
      ::MultiByteToWideChar(code_page, 0, narrow, static_cast<int>(length), text.data(), n);
    }
  } else {
    const bool little = length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    const bool big = length >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
    if (!little && !big) return Fail(L"Could not convert text");
    const size_t units = length / 2 - 1;
    text.resize(units);
    for (size_t i = 0; i < units; ++i) {
      const unsigned char a = bytes[2 + 2 * i], b = bytes[3 + 2 * i];
      text[i] = static_cast<wchar_t>(little ? (a | (b << 8)) : (b | (a << 8)));
    }
  }
  return Parse(std::move(text));
}

bool CUiXmlDocument::LoadFromFile(const wchar_t* name, int encoding) {
  return LoadFromFile(CurrentResourceSource(), name, encoding);
}

bool CUiXmlDocument::LoadFromFile(const ResourceSourceUI& source, const wchar_t* name, int encoding) {
  Release();
  std::vector<unsigned char> bytes;
  const bool zipped = !source.zip_name.IsEmpty();
  switch (ReadResource(source, name, kMaxFileSize, bytes)) {
    case ResourceReadUI::kOk:
      return LoadFromMem(bytes.data(), bytes.size(), encoding);
    case ResourceReadUI::kOpenFailed:
      return Fail(L"Error opening file");
    case ResourceReadUI::kZipOpenFailed:
      return Fail(L"Error opening zip file");
    case ResourceReadUI::kNotFound:
      return Fail(zipped ? L"Could not find ziped file" : L"Error opening file");
    case ResourceReadUI::kEmpty:
      return Fail(L"File is empty");
    case ResourceReadUI::kTooLarge:
      return Fail(L"File too large");
    case ResourceReadUI::kReadFailed:
      break;
  }
  return Fail(zipped ? L"Could not unzip file" : L"Could not read file");
}

bool CUiXmlDocument::Parse(std::vector<wchar_t> source) {
  Release();
  error_message_[0] = L'\0';
  error_location_[0] = L'\0';
  try {
    source_ = std::move(source);
    source_.push_back(L'\0');
    elements_.reserve(500);
    elements_.push_back(Element{});  // index 0: the dummy above the root
    text_.reserve(source_.size() + 1);
    text_.push_back(L'\0');  // offset 0: an empty text
    pos_ = 0;
    if (!ParseChildren(0, 0)) return false;
  } catch (const std::bad_alloc&) {
    return Fail(L"Out of memory");
  }
  source_.clear();
  source_.shrink_to_fit();
  return true;
}

uint32_t CUiXmlDocument::AddElement(uint32_t parent, uint32_t previous) {
  if (elements_.size() == elements_.capacity()) {
    elements_.reserve(elements_.capacity() + elements_.capacity() / 2 + 500);
  }
  const auto index = static_cast<uint32_t>(elements_.size());
  elements_.push_back(Element{0, 0, 0, parent, 0, static_cast<uint32_t>(attributes_.size()), 0});
  if (previous == 0) {
    elements_[parent].first_child = index;
  } else {
    elements_[previous].next_sibling = index;
  }
  return index;
}

// Copies source_[start, end) into the text pool, decoding the five entities
// when asked; returns its offset.
uint32_t CUiXmlDocument::Store(size_t start, size_t end, bool decode) {
  const auto offset = static_cast<uint32_t>(text_.size());
  for (size_t i = start; i < end;) {
    if (decode && source_[i] == L'&') {
      bool matched = false;
      for (const Entity& e : kEntities) {
        const size_t n = std::wcslen(e.text);
        if (end - i >= n && std::wcsncmp(&source_[i], e.text, n) == 0) {
          text_.push_back(e.ch);
          i += n;
          matched = true;
          break;
        }
      }
      if (matched) continue;
    }
    text_.push_back(source_[i++]);
  }
  text_.push_back(L'\0');
  return offset;
}

bool CUiXmlDocument::ParseChildren(uint32_t parent, int depth) {
  const wchar_t* s = source_.data();
  const size_t end = source_.size() - 1;  // the terminator
  auto skip_blanks = [&] {
    while (IsBlank(s[pos_])) ++pos_;
  };
  auto skip_past = [&](const wchar_t* marker) {
    const wchar_t* found = std::wcsstr(s + pos_, marker);
    pos_ = found == nullptr ? end : static_cast<size_t>(found - s) + std::wcslen(marker);
  };
  uint32_t previous = 0;
  for (;;) {
    skip_blanks();
    // The end of the text closes the root and its children; deeper it is an error.
    if (pos_ >= end) return depth <= 1 ? true : Fail(L"Expected start tag");
    if (s[pos_] != L'<') return Fail(L"Expected start tag");
    if (s[pos_ + 1] == L'/') return depth == 0 ? Fail(L"Unmatched closing tag") : true;
    if (s[pos_ + 1] == L'!') {
      pos_ += 2;
      skip_past(L"->");
      continue;
    }
    if (s[pos_ + 1] == L'?') {
      pos_ += 2;
      skip_past(L"?>");
      continue;
    }
    if (depth >= kMaxDepth) return Fail(L"Elements nested too deep");

    ++pos_;
    skip_blanks();
    const uint32_t element = AddElement(parent, previous);
    previous = element;
    const size_t name_start = pos_;
    while (IsNameChar(s[pos_])) ++pos_;
    if (pos_ >= end || pos_ == name_start) return Fail(L"Error parsing element name");
    const size_t name_length = pos_ - name_start;
    elements_[element].name = Store(name_start, pos_, false);

    for (;;) {
      skip_blanks();
      if (pos_ >= end) return Fail(L"Expected start-tag closing");
      if (s[pos_] == L'/' || s[pos_] == L'>') break;
      const size_t attr_start = pos_;
      while (IsNameChar(s[pos_])) ++pos_;
      if (pos_ == attr_start) return Fail(L"Error while parsing attributes");
      const size_t attr_end = pos_;
      skip_blanks();
      if (s[pos_] != L'=') return Fail(L"Error while parsing attributes");
      ++pos_;
      skip_blanks();
      if (s[pos_] != L'"') return Fail(L"Expected attribute value");
      const size_t value_start = ++pos_;
      while (pos_ < end && s[pos_] != L'"') ++pos_;
      if (pos_ >= end) return Fail(L"Error while parsing attribute string");
      if (elements_[element].attribute_count < CUiXmlNode::kMaxAttributes) {
        const uint32_t name = Store(attr_start, attr_end, false);
        const uint32_t value = Store(value_start, pos_, true);
        attributes_.push_back(Attribute{name, value});
        ++elements_[element].attribute_count;
      }
      ++pos_;
    }
    if (s[pos_] == L'/') {
      if (s[pos_ + 1] != L'>') return Fail(L"Expected start-tag closing");
      pos_ += 2;
      continue;
    }
    ++pos_;  // ">"
    const size_t data_start = pos_;
    while (pos_ < end && s[pos_] != L'<') ++pos_;
    elements_[element].data = Store(data_start, pos_, true);
    if (pos_ >= end) return depth <= 1 ? true : Fail(L"Expected end-tag start");
    if (s[pos_ + 1] != L'/') {
      if (!ParseChildren(element, depth + 1)) return false;
      if (pos_ >= end) return true;  // the root's end tag may be missing
    }
    // The end tag.
    pos_ += 2;
    skip_blanks();
    if (std::wcsncmp(s + pos_, At(elements_[element].name), name_length) != 0) {
      return Fail(L"Unmatched closing tag");
    }
    pos_ += name_length;
    skip_blanks();
    if (s[pos_] != L'>') return Fail(L"Unmatched closing tag");
    ++pos_;
  }
}

}  // namespace SkinUI
