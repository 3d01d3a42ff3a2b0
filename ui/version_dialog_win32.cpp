#include "ui/version_dialog_win32.h"

#include <memory>
#include <vector>

#include "base/program_path_win32.h"
#include "base/scoped_handle_win32.h"
#include "base/system_library_win32.h"
#include "base/texts_ja.h"
#include "ui/display_scale.h"
#include "ui/resources/resource.h"
#include "ui/window_dpi_win32.h"

namespace tovira {
namespace {

constexpr UINT kMsgShown = WM_APP + 1;

// What the dialog creates for itself and releases when it goes.
struct DialogResources {
  UniqueBitmap picture;
  UniqueFont font;
  std::wstring modeLabel;
};

BOOL CALLBACK SetFontOfChild(HWND child, LPARAM font) {
  ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

void OnLoad(HWND dialog, const std::wstring& modeLabel) {
  auto resources = std::make_unique<DialogResources>();
  resources->modeLabel = modeLabel;
  // The dialog is scaled with its monitor; its font and picture follow.
  const UINT dpi = WindowDpi(dialog);
  resources->font.reset(::CreateFontW(-::MulDiv(12, static_cast<int>(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE,
                                      FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                      DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS UI Gothic"));
  if (resources->font) {
    ::EnumChildWindows(dialog, SetFontOfChild, reinterpret_cast<LPARAM>(resources->font.get()));
  }
  const std::wstring pictureName = PictureName(L"version_picture", PictureScaleFor(dpi));
  resources->picture.reset(static_cast<HBITMAP>(
      ::LoadImageW(::GetModuleHandleW(nullptr), pictureName.c_str(), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
  ::SendDlgItemMessageW(dialog, IDC_VERSION_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(resources->picture.get()));
  ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(resources.release()));

  // The window owns the resources now (deleted on WM_DESTROY), which the analyzer cannot follow.
  // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks): not a leak, see above
  const std::wstring version = texts::kVersionPrefix + ProgramVersionString(L"ProductVersion");
  ::SetDlgItemTextW(dialog, IDC_VERSION_VERSION, version.c_str());
  ::SetDlgItemTextW(dialog, IDC_VERSION_CORP, ProgramVersionString(L"CompanyName").c_str());
  // The mode label follows once the dialog is on the screen.
  ::PostMessageW(dialog, kMsgShown, 0, 0);
}

INT_PTR CALLBACK VersionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnLoad(dialog, *reinterpret_cast<const std::wstring*>(lParam));
      return TRUE;
    case kMsgShown: {
      const auto* resources =
          reinterpret_cast<const DialogResources*>(::GetWindowLongPtrW(dialog, DWLP_USER));
      if (resources != nullptr) ::SetDlgItemTextW(dialog, IDC_VERSION_NAME, resources->modeLabel.c_str());
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) ::EndDialog(dialog, LOWORD(wParam));
      return TRUE;
    case WM_DESTROY:
      // The controls go with the dialog and paint no more: what they used goes too.
      delete reinterpret_cast<DialogResources*>(::GetWindowLongPtrW(dialog, DWLP_USER));
      ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void VersionDialog::ShowModal(HINSTANCE instance, HWND owner, const std::wstring& modeLabel) {
  ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_VERSION), owner, &VersionProc,
                    reinterpret_cast<LPARAM>(&modeLabel));
}

std::wstring ProgramVersionString(const wchar_t* name) {
  const std::wstring path = ProgramPath();
  if (path.empty()) return {};
  // Without the system's version library the program tells no version.
  const UniqueModule library = LoadSystemLibrary(L"version.dll");
  const auto sizeOf =
      LibraryFunction<decltype(&::GetFileVersionInfoSizeW)>(library.get(), "GetFileVersionInfoSizeW");
  const auto infoOf = LibraryFunction<decltype(&::GetFileVersionInfoW)>(library.get(), "GetFileVersionInfoW");
  const auto queryValue = LibraryFunction<decltype(&::VerQueryValueW)>(library.get(), "VerQueryValueW");
  if (sizeOf == nullptr || infoOf == nullptr || queryValue == nullptr) return {};
  DWORD ignored = 0;
  const DWORD size = sizeOf(path.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<unsigned char> block(size);
  if (!infoOf(path.c_str(), 0, size, block.data())) return {};
  struct Translation {
    WORD language;
    WORD codePage;
  }* translations = nullptr;
  UINT length = 0;
  if (!queryValue(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                  &length) ||
      length < sizeof(Translation)) {
    return {};
  }
  wchar_t query[128];
  ::swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translations[0].language,
             translations[0].codePage, name);
  wchar_t* value = nullptr;
  if (!queryValue(block.data(), query, reinterpret_cast<void**>(&value), &length) || value == nullptr)
    return {};
  return std::wstring(value, length > 0 ? length - 1 : 0);
}

}  // namespace tovira
