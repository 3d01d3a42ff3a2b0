#include "ui/accessible_name_win32.h"

#include <commctrl.h>
#include <oleacc.h>

#include <memory>

#include "base/scoped_handle_win32.h"

namespace tovira {
namespace {

constexpr UINT_PTR kNameSubclass = 0x4E414D45;  // this file's subclass of a control
// The subclass's name, found again by this property (the comctl32 that MinGW links
// against exports no GetWindowSubclass by name).
constexpr const wchar_t* kNameProperty = L"ToviraAccessibleName";

// The system's accessible object for the control's client area, with its name
// replaced. Every other question goes to the system's object.
class NamedAccessible final : public IAccessible {
 public:
  NamedAccessible(IAccessible* system, std::wstring name) : system_(system), name_(std::move(name)) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(::InterlockedIncrement(&references_));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch: the system's object's.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return system_->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return system_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return system_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override {
    return system_->Invoke(id, iid, locale, flags, parameters, result, exception, argumentError);
  }

  // IAccessible: the name is ours; the rest is the system's.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (child.vt != VT_I4 || child.lVal != CHILDID_SELF) return system_->get_accName(child, name);
    if (name == nullptr) return E_POINTER;
    *name = ::SysAllocStringLen(name_.data(), static_cast<UINT>(name_.size()));
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return system_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    return system_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return system_->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return system_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return system_->get_accDescription(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return system_->get_accRole(child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return system_->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return system_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return system_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return system_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return system_->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return system_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return system_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    return system_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    return system_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return system_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
    return system_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return system_->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return system_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return system_->put_accValue(child, value);
  }

 private:
  ~NamedAccessible() = default;
  ComPtr<IAccessible> system_;
  std::wstring name_;
  LONG references_ = 1;
};

// Answers the accessibility layer's request for the control's client object;
// `data` is the control's name, owned by the subclass.
LRESULT CALLBACK NameSubclass(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                              DWORD_PTR data) {
  auto* name = reinterpret_cast<std::wstring*>(data);
  if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
    IAccessible* system = nullptr;
    if (SUCCEEDED(::CreateStdAccessibleObject(control, OBJID_CLIENT, IID_IAccessible,
                                              reinterpret_cast<void**>(&system)))) {
      auto* named = new (std::nothrow) NamedAccessible(system, *name);
      if (named == nullptr) {
        system->Release();
      } else {
        const LRESULT result = ::LresultFromObject(IID_IAccessible, wParam, named);
        named->Release();  // the result holds its own reference
        if (result > 0) return result;
      }
    }
  } else if (message == WM_NCDESTROY) {
    ::RemovePropW(control, kNameProperty);
    ::RemoveWindowSubclass(control, &NameSubclass, id);
    delete name;
  }
  return ::DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

ThreadApartment::ThreadApartment()
    : joined_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}  // S_FALSE: joined again

ThreadApartment::~ThreadApartment() {
  if (joined_) ::CoUninitialize();
}

bool SetAccessibleName(HWND control, const std::wstring& name) {
  if (auto* shown = static_cast<std::wstring*>(::GetPropW(control, kNameProperty))) {
    if (*shown == name) return true;
    *shown = name;
  } else {
    auto owned = std::make_unique<std::wstring>(name);
    if (!::SetPropW(control, kNameProperty, owned.get())) return false;
    if (!::SetWindowSubclass(control, &NameSubclass, kNameSubclass,
                             reinterpret_cast<DWORD_PTR>(owned.get()))) {
      ::RemovePropW(control, kNameProperty);
      return false;
    }
    static_cast<void>(owned.release());  // the subclass frees it with the control
  }
  ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
  return true;
}

}  // namespace tovira
