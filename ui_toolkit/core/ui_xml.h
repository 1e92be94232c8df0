// The skins' compact, non-validating XML reader: the whole document becomes
// one UTF-16 buffer and a flat table of elements; nodes are cheap cursors
// into it, valid while their document lives and is not reloaded.
#pragma once

#include <cstdint>
#include <vector>

#include "ui_toolkit/core/resource_reader.h"

namespace SkinUI {

class CUiXmlDocument;

class CUiXmlNode {
 public:
  static constexpr int kMaxAttributes = 64;

  CUiXmlNode() = default;

  bool IsValid() const { return document_ != nullptr; }
  const wchar_t* GetName() const;
  CUiXmlNode GetSibling() const;
  CUiXmlNode GetChild() const;
  bool HasChildren() const;
  bool HasAttributes() const;
  // Only the first 64 attributes of an element are visible.
  int GetAttributeCount() const;
  // Empty for an index out of range; null for an invalid node.
  const wchar_t* GetAttributeName(int index) const;
  const wchar_t* GetAttributeValue(int index) const;
  // Copies the first attribute named |name| (ignoring case) into |buffer|,
  // cut to |size| - 1 characters and always terminated; false when absent.
  bool GetAttributeValue(const wchar_t* name, wchar_t* buffer, int size) const;

 private:
  friend class CUiXmlDocument;
  CUiXmlNode(const CUiXmlDocument* document, uint32_t element) : document_(document), element_(element) {}

  const CUiXmlDocument* document_ = nullptr;
  uint32_t element_ = 0;
};

class CUiXmlDocument {
 public:
  // Encodings of LoadFromMem and LoadFromFile.
  static constexpr int kUtf8 = 0;
  static constexpr int kUtf16 = 1;  // with a byte-order mark
  static constexpr int kAnsi = 2;
  // Skins never nest anywhere near this deep; deeper documents are refused
  // rather than parsed by unbounded recursion.
  static constexpr int kMaxDepth = 256;
  static constexpr size_t kMaxFileSize = 4u << 20;

  CUiXmlDocument() = default;
  CUiXmlDocument(const CUiXmlDocument&) = delete;
  CUiXmlDocument& operator=(const CUiXmlDocument&) = delete;

  bool Load(const wchar_t* text);
  bool LoadFromMem(const unsigned char* bytes, size_t length, int encoding = kUtf8);
  // From the resource folder or the resource zip (the paint manager's settings).
  bool LoadFromFile(const wchar_t* name, int encoding = kUtf8);
  bool LoadFromFile(const ResourceSourceUI& source, const wchar_t* name, int encoding = kUtf8);
  void Release();

  CUiXmlNode GetRoot() const;
  const wchar_t* GetLastErrorMessage() const { return error_message_; }
  const wchar_t* GetLastErrorLocation() const { return error_location_; }

 private:
  friend class CUiXmlNode;

  struct Element {
    uint32_t name;  // offsets into text_
    uint32_t first_child;
    uint32_t next_sibling;
    uint32_t parent;
    uint32_t data;
    uint32_t first_attribute;  // index into attributes_
    uint32_t attribute_count;
  };
  struct Attribute {
    uint32_t name;
    uint32_t value;
  };

  bool Parse(std::vector<wchar_t> source);
  bool ParseChildren(uint32_t parent, int depth);
  bool Fail(const wchar_t* message);
  uint32_t AddElement(uint32_t parent, uint32_t previous);
  uint32_t Store(size_t start, size_t end, bool decode);
  const wchar_t* At(uint32_t offset) const { return text_.data() + offset; }

  // Parsed pieces: names, values and texts, each terminated.
  std::vector<wchar_t> text_;
  std::vector<Element> elements_;
  std::vector<Attribute> attributes_;
  wchar_t error_message_[100] = {};
  wchar_t error_location_[50] = {};

  // Parse state.
  std::vector<wchar_t> source_;
  size_t pos_ = 0;
};

}  // namespace SkinUI
