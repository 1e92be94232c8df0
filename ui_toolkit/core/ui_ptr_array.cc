#include "ui_toolkit/core/ui_ptr_array.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace SkinUI {

CUiPtrArray::CUiPtrArray(int initial_capacity) {
  if (initial_capacity > 0) {
    data_ = static_cast<void**>(std::calloc(initial_capacity, sizeof(void*)));
    if (data_ != nullptr) capacity_ = initial_capacity;
  }
}

CUiPtrArray::CUiPtrArray(const CUiPtrArray& other) {
  for (int i = 0; i < other.count_; ++i) Add(other.data_[i]);
}

CUiPtrArray& CUiPtrArray::operator=(const CUiPtrArray& other) {
  if (this != &other) {
    Empty();
    for (int i = 0; i < other.count_; ++i) Add(other.data_[i]);
  }
  return *this;
}

CUiPtrArray::~CUiPtrArray() { std::free(data_); }

// Keeps a free slot after the last pointer: the capacity doubles (11 from
// nothing) whenever the count would reach it. Also grows an array that
// Resize filled to its capacity.
bool CUiPtrArray::GrowFor(int count) {
  if (count < capacity_) return true;
  int capacity = capacity_ == 0 ? 11 : capacity_;
  while (count >= capacity) {
    if (capacity > INT_MAX / 2) return false;
    capacity *= 2;
  }
  void* grown = std::realloc(data_, static_cast<size_t>(capacity) * sizeof(void*));
  if (grown == nullptr) return false;
  data_ = static_cast<void**>(grown);
  capacity_ = capacity;
  return true;
}

bool CUiPtrArray::Add(void* data) {
  if (count_ == INT_MAX || !GrowFor(count_ + 1)) return false;
  data_[count_++] = data;
  return true;
}

bool CUiPtrArray::InsertAt(int index, void* data) {
  if (index == count_) return Add(data);
  if (index < 0 || index > count_) return false;
  if (count_ == INT_MAX || !GrowFor(count_ + 1)) return false;
  std::memmove(data_ + index + 1, data_ + index, (count_ - index) * sizeof(void*));
  data_[index] = data;
  ++count_;
  return true;
}

bool CUiPtrArray::RemoveAt(int index) {
  if (index < 0 || index >= count_) return false;
  std::memmove(data_ + index, data_ + index + 1, (count_ - index - 1) * sizeof(void*));
  --count_;
  return true;
}

bool CUiPtrArray::SetAt(int index, void* data) {
  if (index < 0 || index >= count_) return false;
  data_[index] = data;
  return true;
}

void* CUiPtrArray::GetAtOrNull(int index) const {
  return (index < 0 || index >= count_) ? nullptr : data_[index];
}

int CUiPtrArray::Find(const void* data) const {
  for (int i = 0; i < count_; ++i) {
    if (data_[i] == data) return i;
  }
  return -1;
}

void CUiPtrArray::Empty() {
  std::free(data_);
  data_ = nullptr;
  count_ = 0;
  capacity_ = 0;
}

void CUiPtrArray::Resize(int count) {
  Empty();
  if (count <= 0) return;
  data_ = static_cast<void**>(std::calloc(count, sizeof(void*)));
  if (data_ == nullptr) return;
  count_ = count;
  capacity_ = count;
}

}  // namespace SkinUI
