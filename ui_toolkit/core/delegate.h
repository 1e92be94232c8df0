// Hooks that controls expose (init, destroy, size, event, notify): an event
// source holds copies of delegates and calls them in order until one says no.
#pragma once

#include <cstring>

#include "ui_toolkit/core/ui_ptr_array.h"

namespace SkinUI {

class CDelegateBase {
 public:
  CDelegateBase(void* object, void* fn) : object_(object), fn_(fn) {}
  CDelegateBase(const CDelegateBase&) = default;
  CDelegateBase& operator=(const CDelegateBase&) = delete;
  virtual ~CDelegateBase() = default;

  virtual CDelegateBase* Copy() const = 0;
  virtual void* GetFn() { return fn_; }
  virtual bool Invoke(void* param) = 0;

  // Same target and same function.
  bool Equals(CDelegateBase& other) { return object_ == other.object_ && GetFn() == other.GetFn(); }
  void* GetObject() const { return object_; }

 private:
  void* object_;
  void* fn_;
};

// A free function: bool fn(void* param).
class CDelegateStatic : public CDelegateBase {
 public:
  using Fn = bool (*)(void*);
  explicit CDelegateStatic(Fn fn) : CDelegateBase(nullptr, reinterpret_cast<void*>(fn)), fn_(fn) {}
  CDelegateBase* Copy() const override { return new CDelegateStatic(*this); }
  bool Invoke(void* param) override { return fn_(param); }

 private:
  Fn fn_;
};

// A member function of an object: bool (T::*fn)(void* param).
template <typename T>
class CDelegate : public CDelegateBase {
 public:
  using Fn = bool (T::*)(void*);
  CDelegate(T* object, Fn fn) : CDelegateBase(object, Identity(fn)), object_(object), fn_(fn) {}
  CDelegateBase* Copy() const override { return new CDelegate(*this); }
  bool Invoke(void* param) override { return (object_->*fn_)(param); }

 private:
  // The leading word of a member-function pointer tells functions apart;
  // equality also compares the target object.
  static void* Identity(Fn fn) {
    void* id = nullptr;
    std::memcpy(&id, &fn, sizeof(id));
    return id;
  }
  T* object_;
  Fn fn_;
};

inline CDelegateStatic MakeDelegate(bool (*fn)(void*)) { return CDelegateStatic(fn); }

template <typename T>
CDelegate<T> MakeDelegate(T* object, bool (T::*fn)(void*)) {
  return CDelegate<T>(object, fn);
}

class CUiEventSource {
 public:
  CUiEventSource() = default;
  CUiEventSource(const CUiEventSource&) = delete;
  CUiEventSource& operator=(const CUiEventSource&) = delete;
  ~CUiEventSource();

  // Keeps a copy unless an equal delegate is registered already.
  void AddDelegate(const CDelegateBase& delegate);
  CUiEventSource& operator+=(const CDelegateBase& delegate) {
    AddDelegate(delegate);
    return *this;
  }
  bool HasDelegates() const { return !delegates_.IsEmpty(); }
  // Calls the delegates in registration order; false as soon as one is.
  bool Invoke(void* param);

 private:
  CUiPtrArray delegates_;
};

}  // namespace SkinUI
