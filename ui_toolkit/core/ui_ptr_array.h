// A growable array of untyped pointers. It owns only its slots, never the
// objects they point to.
#pragma once

namespace SkinUI {

class CUiPtrArray {
 public:
  // A capacity above 0 allocates that many slots at once.
  explicit CUiPtrArray(int initial_capacity = 0);
  // Adds the other array's pointers one by one.
  CUiPtrArray(const CUiPtrArray& other);
  CUiPtrArray& operator=(const CUiPtrArray& other);
  ~CUiPtrArray();

  // False only when the storage cannot grow; the array is then unchanged.
  bool Add(void* data);
  // |index| == count appends; outside 0..count gives false.
  bool InsertAt(int index, void* data);
  bool RemoveAt(int index);
  bool SetAt(int index, void* data);
  // Unchecked: the caller keeps |index| inside 0..count-1.
  void* GetAt(int index) const { return data_[index]; }
  void* operator[](int index) const { return data_[index]; }
  void* GetAtOrNull(int index) const;
  int Find(const void* data) const;
  int GetSize() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }
  // Frees the storage; count and capacity become 0.
  void Empty();
  // Frees the storage, then holds |count| null slots.
  void Resize(int count);

  int GetCapacity() const { return capacity_; }

 private:
  bool GrowFor(int count);

  void** data_ = nullptr;
  int count_ = 0;
  int capacity_ = 0;
};

}  // namespace SkinUI
