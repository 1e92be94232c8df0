// The toolkit's own OLE drag-and-drop objects: a data object with its format
// enumerator, a drop source, a drop target (the base of every paint manager)
// and a holder of the shell's drag-image helper. They live on the UI thread,
// so their reference counts are plain integers.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <vector>

namespace SkinUI {

class CIDropSource;

class CIDataObject : public IDataObject {
 public:
  explicit CIDataObject(CIDropSource* source);
  CIDataObject(const CIDataObject&) = delete;
  CIDataObject& operator=(const CIDataObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
  STDMETHODIMP GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
  STDMETHODIMP QueryGetData(FORMATETC* format) override;
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
  STDMETHODIMP SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
  STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
  STDMETHODIMP DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
  STDMETHODIMP DUnadvise(DWORD connection) override;
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA** out) override;

  // Fills |dest| with a copy of |src| that the receiver may release on its own.
  static bool CopyMedium(STGMEDIUM* dest, const STGMEDIUM* src, const FORMATETC* format);

 private:
  ~CIDataObject();

  CIDropSource* drop_source_;  // not counted
  int ref_ = 0;
  std::vector<FORMATETC*> formats_;
  std::vector<STGMEDIUM*> media_;  // index-parallel to formats_
};

class CEnumFormatEtc : public IEnumFORMATETC {
 public:
  explicit CEnumFormatEtc(const std::vector<FORMATETC>& formats);
  explicit CEnumFormatEtc(const std::vector<FORMATETC*>& formats);
  CEnumFormatEtc(const CEnumFormatEtc&) = delete;
  CEnumFormatEtc& operator=(const CEnumFormatEtc&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Next(ULONG count, FORMATETC* formats, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumFORMATETC** out) override;

 private:
  ~CEnumFormatEtc();

  int ref_ = 0;
  std::vector<FORMATETC> formats_;  // each owns its own target device copy
  int index_ = 0;
};

class CIDropSource : public IDropSource {
 public:
  CIDropSource() = default;
  CIDropSource(const CIDropSource&) = delete;
  CIDropSource& operator=(const CIDropSource&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP QueryContinueDrag(BOOL escape_pressed, DWORD key_state) override;
  STDMETHODIMP GiveFeedback(DWORD effect) override;

  bool IsDropped() const { return dropped_; }

 private:
  ~CIDropSource() = default;

  int ref_ = 0;
  bool dropped_ = false;
};

// A window's drop target. The object is embedded (the paint manager), so
// Release never deletes it. The owner registers the window with OLE and says
// which formats it takes; until then no drop is allowed.
class CIDropTarget : public IDropTarget {
 public:
  CIDropTarget();
  CIDropTarget(const CIDropTarget&) = delete;
  CIDropTarget& operator=(const CIDropTarget&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP DragEnter(IDataObject* data, DWORD key_state, POINTL pt, DWORD* effect) override;
  STDMETHODIMP DragOver(DWORD key_state, POINTL pt, DWORD* effect) override;
  STDMETHODIMP DragLeave() override;
  STDMETHODIMP Drop(IDataObject* data, DWORD key_state, POINTL pt, DWORD* effect) override;
  virtual ~CIDropTarget();

  // Takes the dropped medium; true when the drop was taken. The medium stays
  // the target's: it is released after this returns, so keep a copy.
  virtual bool OnDrop(FORMATETC* format, STGMEDIUM& medium, DWORD* effect) = 0;

  void SetDropTargetWindow(HWND hwnd) { target_hwnd_ = hwnd; }
  HWND GetDropTargetWindow() const { return target_hwnd_; }
  void AddSupportedFormat(const FORMATETC& format) { accepted_.push_back(format); }

 private:
  bool QueryDrop(DWORD key_state, DWORD* effect);

  HWND target_hwnd_ = nullptr;
  int ref_ = 0;
  bool allow_drop_ = false;
  IDropTargetHelper* helper_ = nullptr;
  std::vector<FORMATETC> accepted_;
  int matched_ = -1;  // index into accepted_, or -1
};

// Owns the shell's IDragSourceHelper when the platform has one.
class CDragSourceHelper {
 public:
  CDragSourceHelper();
  ~CDragSourceHelper();
  CDragSourceHelper(const CDragSourceHelper&) = delete;
  CDragSourceHelper& operator=(const CDragSourceHelper&) = delete;

  bool IsAvailable() const { return helper_ != nullptr; }
  HRESULT InitializeFromBitmap(SHDRAGIMAGE* image, IDataObject* data);

 private:
  IDragSourceHelper* helper_ = nullptr;
};

}  // namespace SkinUI
