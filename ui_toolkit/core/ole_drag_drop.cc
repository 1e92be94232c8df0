#include "ui_toolkit/core/ole_drag_drop.h"

#include <cstring>
#include <cwchar>
#include <new>

namespace SkinUI {
namespace {

// Whoever receives a FORMATETC may free its target device with CoTaskMemFree,
// so every stored or handed-out format carries a device block of its own.
DVTARGETDEVICE* CopyTargetDevice(const DVTARGETDEVICE* device) {
  if (device == nullptr) return nullptr;
  auto* copy = static_cast<DVTARGETDEVICE*>(::CoTaskMemAlloc(device->tdSize));
  if (copy != nullptr) std::memcpy(copy, device, device->tdSize);
  return copy;
}

FORMATETC CopyFormat(const FORMATETC& format) {
  FORMATETC copy = format;
  copy.ptd = CopyTargetDevice(format.ptd);
  return copy;
}

// OleDuplicateData reads the handle by its clipboard format; a medium kept
// under a private format still has to be copied as what its medium type says.
CLIPFORMAT DuplicateFormatFor(DWORD tymed, CLIPFORMAT format) {
  switch (tymed) {
    case TYMED_ENHMF: return CF_ENHMETAFILE;
    case TYMED_MFPICT: return CF_METAFILEPICT;
    case TYMED_GDI: return format == CF_PALETTE ? CF_PALETTE : CF_BITMAP;
    default: return format;
  }
}

}  // namespace

// ---------------------------------------------------------------- data object

CIDataObject::CIDataObject(CIDropSource* source) : drop_source_(source) {}

CIDataObject::~CIDataObject() {
  for (STGMEDIUM* medium : media_) {
    ::ReleaseStgMedium(medium);
    delete medium;
  }
  for (FORMATETC* format : formats_) {
    ::CoTaskMemFree(format->ptd);
    delete format;
  }
}

STDMETHODIMP CIDataObject::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDataObject) {
    *out = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CIDataObject::AddRef() { return static_cast<ULONG>(++ref_); }

STDMETHODIMP_(ULONG) CIDataObject::Release() {
  const int left = --ref_;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

bool CIDataObject::CopyMedium(STGMEDIUM* dest, const STGMEDIUM* src, const FORMATETC* format) {
  if (dest == nullptr || src == nullptr || format == nullptr) return false;
  *dest = STGMEDIUM{};
  switch (src->tymed) {
    case TYMED_HGLOBAL:
    case TYMED_GDI:
    case TYMED_MFPICT:
    case TYMED_ENHMF:
      dest->hGlobal = static_cast<HGLOBAL>(
          ::OleDuplicateData(src->hGlobal, DuplicateFormatFor(src->tymed, format->cfFormat), 0));
      if (dest->hGlobal == nullptr && src->hGlobal != nullptr) return false;
      break;
    case TYMED_FILE: {
      // A file medium holds a CoTaskMem path, not a global block.
      if (src->lpszFileName != nullptr) {
        const size_t bytes = (std::wcslen(src->lpszFileName) + 1) * sizeof(wchar_t);
        dest->lpszFileName = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
        if (dest->lpszFileName == nullptr) return false;
        std::memcpy(dest->lpszFileName, src->lpszFileName, bytes);
      }
      break;
    }
    case TYMED_ISTREAM:
      dest->pstm = src->pstm;
      if (dest->pstm != nullptr) dest->pstm->AddRef();
      break;
    case TYMED_ISTORAGE:
      dest->pstg = src->pstg;
      if (dest->pstg != nullptr) dest->pstg->AddRef();
      break;
    default:
      break;
  }
  dest->tymed = src->tymed;
  dest->pUnkForRelease = src->pUnkForRelease;
  if (dest->pUnkForRelease != nullptr) dest->pUnkForRelease->AddRef();
  return true;
}

STDMETHODIMP CIDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
  if (format == nullptr || medium == nullptr) return E_INVALIDARG;
  medium->hGlobal = nullptr;
  for (size_t i = 0; i < formats_.size(); ++i) {
    const FORMATETC& stored = *formats_[i];
    if ((format->tymed & stored.tymed) != 0 && format->dwAspect == stored.dwAspect &&
        format->cfFormat == stored.cfFormat) {
      return CopyMedium(medium, media_[i], &stored) ? S_OK : E_OUTOFMEMORY;
    }
  }
  return DV_E_FORMATETC;
}

STDMETHODIMP CIDataObject::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

STDMETHODIMP CIDataObject::QueryGetData(FORMATETC* format) {
  if (format == nullptr) return E_INVALIDARG;
  if ((format->dwAspect & DVASPECT_CONTENT) == 0) return DV_E_DVASPECT;
  HRESULT verdict = DV_E_TYMED;
  for (const FORMATETC* stored : formats_) {
    if ((format->tymed & stored->tymed) != 0) {
      if (format->cfFormat == stored->cfFormat) return S_OK;
      verdict = DV_E_CLIPFORMAT;
    } else {
      verdict = DV_E_TYMED;
    }
  }
  return verdict;
}

STDMETHODIMP CIDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
  if (out == nullptr) return E_INVALIDARG;
  return DATA_S_SAMEFORMATETC;
}

STDMETHODIMP CIDataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) {
  if (format == nullptr || medium == nullptr) return E_INVALIDARG;
  auto* stored_format = new (std::nothrow) FORMATETC(CopyFormat(*format));
  auto* stored_medium = new (std::nothrow) STGMEDIUM{};
  if (stored_format == nullptr || stored_medium == nullptr ||
      (format->ptd != nullptr && stored_format->ptd == nullptr)) {
    if (stored_format != nullptr) ::CoTaskMemFree(stored_format->ptd);
    delete stored_format;
    delete stored_medium;
    return E_OUTOFMEMORY;
  }
  if (release) {
    *stored_medium = *medium;
  } else if (!CopyMedium(stored_medium, medium, format)) {
    // Storing an empty medium would later be handed out as if it were data.
    ::CoTaskMemFree(stored_format->ptd);
    delete stored_format;
    delete stored_medium;
    return E_OUTOFMEMORY;
  }
  formats_.push_back(stored_format);
  media_.push_back(stored_medium);
  return S_OK;
}

STDMETHODIMP CIDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (direction != DATADIR_GET) return E_NOTIMPL;
  auto* enumerator = new (std::nothrow) CEnumFormatEtc(formats_);
  if (enumerator == nullptr) return E_OUTOFMEMORY;
  enumerator->AddRef();
  *out = enumerator;
  return S_OK;
}

STDMETHODIMP CIDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) { return OLE_E_ADVISENOTSUPPORTED; }
STDMETHODIMP CIDataObject::DUnadvise(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CIDataObject::EnumDAdvise(IEnumSTATDATA**) { return OLE_E_ADVISENOTSUPPORTED; }

// ---------------------------------------------------------- format enumerator

CEnumFormatEtc::CEnumFormatEtc(const std::vector<FORMATETC>& formats) {
  formats_.reserve(formats.size());
  for (const FORMATETC& f : formats) formats_.push_back(CopyFormat(f));
}

CEnumFormatEtc::CEnumFormatEtc(const std::vector<FORMATETC*>& formats) {
  formats_.reserve(formats.size());
  for (const FORMATETC* f : formats) formats_.push_back(CopyFormat(*f));
}

CEnumFormatEtc::~CEnumFormatEtc() {
  for (FORMATETC& f : formats_) ::CoTaskMemFree(f.ptd);
}

STDMETHODIMP CEnumFormatEtc::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IEnumFORMATETC) {
    *out = static_cast<IEnumFORMATETC*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CEnumFormatEtc::AddRef() { return static_cast<ULONG>(++ref_); }

STDMETHODIMP_(ULONG) CEnumFormatEtc::Release() {
  const int left = --ref_;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

STDMETHODIMP CEnumFormatEtc::Next(ULONG count, FORMATETC* formats, ULONG* fetched) {
  if (fetched != nullptr) *fetched = 0;
  const int size = static_cast<int>(formats_.size());
  if (count == 0 || formats == nullptr || index_ >= size || (fetched == nullptr && count != 1)) return S_FALSE;
  ULONG copied = 0;
  while (copied < count && index_ < size) {
    formats[copied++] = CopyFormat(formats_[static_cast<size_t>(index_++)]);
  }
  if (fetched != nullptr) *fetched = copied;
  return copied == count ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumFormatEtc::Skip(ULONG count) {
  const ULONG left = static_cast<ULONG>(formats_.size()) - static_cast<ULONG>(index_);
  if (count > left) return S_FALSE;
  index_ += static_cast<int>(count);
  return S_OK;
}

STDMETHODIMP CEnumFormatEtc::Reset() {
  index_ = 0;
  return S_OK;
}

STDMETHODIMP CEnumFormatEtc::Clone(IEnumFORMATETC** out) {
  if (out == nullptr) return E_POINTER;
  auto* clone = new (std::nothrow) CEnumFormatEtc(formats_);
  if (clone == nullptr) {
    *out = nullptr;
    return E_OUTOFMEMORY;
  }
  clone->index_ = index_;
  clone->AddRef();
  *out = clone;
  return S_OK;
}

// ---------------------------------------------------------------- drop source

STDMETHODIMP CIDropSource::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDropSource) {
    *out = static_cast<IDropSource*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CIDropSource::AddRef() { return static_cast<ULONG>(++ref_); }

STDMETHODIMP_(ULONG) CIDropSource::Release() {
  const int left = --ref_;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

STDMETHODIMP CIDropSource::QueryContinueDrag(BOOL escape_pressed, DWORD key_state) {
  if (escape_pressed) return DRAGDROP_S_CANCEL;
  if ((key_state & (MK_LBUTTON | MK_RBUTTON)) == 0) {
    dropped_ = true;
    return DRAGDROP_S_DROP;
  }
  return S_OK;
}

STDMETHODIMP CIDropSource::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

// ---------------------------------------------------------------- drop target

CIDropTarget::CIDropTarget() {
  if (FAILED(::CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDropTargetHelper,
                                reinterpret_cast<void**>(&helper_)))) {
    helper_ = nullptr;
  }
}

CIDropTarget::~CIDropTarget() {
  if (helper_ != nullptr) helper_->Release();
}

STDMETHODIMP CIDropTarget::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDropTarget) {
    *out = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CIDropTarget::AddRef() { return static_cast<ULONG>(++ref_); }

STDMETHODIMP_(ULONG) CIDropTarget::Release() { return static_cast<ULONG>(--ref_); }

bool CIDropTarget::QueryDrop(DWORD key_state, DWORD* effect) {
  const DWORD offered = *effect;
  *effect = DROPEFFECT_NONE;
  if (!allow_drop_) return false;
  const bool ctrl = (key_state & MK_CONTROL) != 0;
  const bool shift = (key_state & MK_SHIFT) != 0;
  DWORD chosen = DROPEFFECT_NONE;
  if (ctrl && shift) {
    chosen = DROPEFFECT_LINK;
  } else if (ctrl) {
    chosen = DROPEFFECT_COPY;
  } else if (shift) {
    chosen = DROPEFFECT_MOVE;
  }
  if (chosen != DROPEFFECT_NONE) {
    if ((offered & chosen) != 0) *effect = chosen;
  } else {
    for (DWORD candidate : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK}) {
      if ((offered & candidate) != 0) {
        *effect = candidate;
        break;
      }
    }
  }
  return *effect != DROPEFFECT_NONE;
}

STDMETHODIMP CIDropTarget::DragEnter(IDataObject* data, DWORD key_state, POINTL pt, DWORD* effect) {
  if (data == nullptr || effect == nullptr) return E_INVALIDARG;
  if (helper_ != nullptr) {
    POINT p{pt.x, pt.y};
    helper_->DragEnter(target_hwnd_, data, &p, *effect);
  }
  matched_ = -1;
  allow_drop_ = false;
  for (size_t i = 0; i < accepted_.size(); ++i) {
    if (data->QueryGetData(&accepted_[i]) == S_OK) {
      matched_ = static_cast<int>(i);
      allow_drop_ = true;
      break;
    }
  }
  QueryDrop(key_state, effect);
  return S_OK;
}

STDMETHODIMP CIDropTarget::DragOver(DWORD key_state, POINTL pt, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  if (helper_ != nullptr) {
    POINT p{pt.x, pt.y};
    helper_->DragOver(&p, *effect);
  }
  QueryDrop(key_state, effect);
  return S_OK;
}

STDMETHODIMP CIDropTarget::DragLeave() {
  if (helper_ != nullptr) helper_->DragLeave();
  matched_ = -1;
  allow_drop_ = false;
  return S_OK;
}

STDMETHODIMP CIDropTarget::Drop(IDataObject* data, DWORD key_state, POINTL pt, DWORD* effect) {
  if (data == nullptr || effect == nullptr) return E_INVALIDARG;
  if (helper_ != nullptr) {
    POINT p{pt.x, pt.y};
    helper_->Drop(data, &p, *effect);
  }
  bool taken = false;
  if (QueryDrop(key_state, effect) && matched_ >= 0) {
    STGMEDIUM medium{};
    if (data->GetData(&accepted_[static_cast<size_t>(matched_)], &medium) == S_OK) {
      taken = OnDrop(&accepted_[static_cast<size_t>(matched_)], medium, effect);
      // GetData handed this side its own copy: it goes whether or not the
      // handler took the drop, else a refused drop would leak it.
      ::ReleaseStgMedium(&medium);
    }
  }
  // The source learns what was done: the chosen effect only when the drop was
  // taken, so a move source never deletes data that did not arrive.
  if (!taken) *effect = DROPEFFECT_NONE;
  allow_drop_ = false;
  matched_ = -1;
  return S_OK;
}

// -------------------------------------------------------- drag source helper

CDragSourceHelper::CDragSourceHelper() {
  if (FAILED(::CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDragSourceHelper,
                                reinterpret_cast<void**>(&helper_)))) {
    helper_ = nullptr;
  }
}

CDragSourceHelper::~CDragSourceHelper() {
  if (helper_ != nullptr) helper_->Release();
}

HRESULT CDragSourceHelper::InitializeFromBitmap(SHDRAGIMAGE* image, IDataObject* data) {
  if (helper_ == nullptr) return E_FAIL;
  return helper_->InitializeFromBitmap(image, data);
}

}  // namespace SkinUI
