#include "handset/win32/CmHidLibrary.h"

#include "CmHidExports.h"

namespace telvaro {

// The seven exports, their types taken from the one declaration of their signatures.
struct CmHidLibrary::Exports {
  decltype(&::StartDeviceDetection) startDeviceDetection = nullptr;
  decltype(&::HandleUsbDeviceChange) handleUsbDeviceChange = nullptr;
  decltype(&::StartKeyScan) startKeyScan = nullptr;
  decltype(&::StopKeyScan) stopKeyScan = nullptr;
  decltype(&::CloseDevice) closeDevice = nullptr;
  decltype(&::StartBuzzer) startBuzzer = nullptr;
  decltype(&::StopBuzzer) stopBuzzer = nullptr;
};

namespace {

constexpr char kLibraryName[] = "CM_HID.dll";

// UTF-16: a folder name outside the ANSI code page has no ANSI spelling that names the file.
std::wstring ExeFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring folder(path, length);
  const std::size_t slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

// Finds `name`, as the library's .def exports it or with the underscore a 32-bit C compiler
// puts before a cdecl name.
template <typename Fn>
bool Find(HMODULE module, const char* name, Fn& fn) {
  FARPROC proc = GetProcAddress(module, name);
  if (!proc) proc = GetProcAddress(module, (std::string("_") + name).c_str());
  fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
  return proc != nullptr;
}

}  // namespace

std::unique_ptr<CmHidLibrary> CmHidLibrary::LoadBesideExe(std::string& notice) {
  notice.clear();
  const std::wstring folder = ExeFolder();
  if (folder.empty()) return nullptr;
  const std::string name = kLibraryName;
  const std::wstring path = folder + std::wstring(name.begin(), name.end());
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return nullptr;
  // A full path, and the DLL's own folder for its dependencies: never a CM_HID.dll found
  // elsewhere on the search path.
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) {
    // The vendor's library is 32-bit; the 64-bit build cannot load it.
    notice = std::string(kLibraryName) + " cannot be loaded: handset library not used.";
    return nullptr;
  }
  auto exports = std::make_unique<Exports>();
  const char* missing = nullptr;
  if (!Find(module, "StartDeviceDetection", exports->startDeviceDetection)) {
    missing = "StartDeviceDetection";
  } else if (!Find(module, "HandleUsbDeviceChange", exports->handleUsbDeviceChange)) {
    missing = "HandleUsbDeviceChange";
  } else if (!Find(module, "StartKeyScan", exports->startKeyScan)) {
    missing = "StartKeyScan";
  } else if (!Find(module, "StopKeyScan", exports->stopKeyScan)) {
    missing = "StopKeyScan";
  } else if (!Find(module, "CloseDevice", exports->closeDevice)) {
    missing = "CloseDevice";
  } else if (!Find(module, "StartBuzzer", exports->startBuzzer)) {
    missing = "StartBuzzer";
  } else if (!Find(module, "StopBuzzer", exports->stopBuzzer)) {
    missing = "StopBuzzer";
  }
  if (missing) {
    FreeLibrary(module);
    notice = std::string(kLibraryName) + " lacks " + missing + ": handset library not used.";
    return nullptr;
  }
  return std::unique_ptr<CmHidLibrary>(new CmHidLibrary(module, std::move(exports)));
}

CmHidLibrary::CmHidLibrary(void* module, std::unique_ptr<Exports> exports)
    : module_(module), exports_(std::move(exports)) {}

CmHidLibrary::~CmHidLibrary() {
  // The library may have threads and windows of its own that end only when it is unloaded
  // after CloseDevice; leave unloading to process exit, as a load-time import would.
  (void)module_;
}

int CmHidLibrary::StartDeviceDetection(Hwnd window, UInt arrival, UInt removal, UInt keyDown,
                                       UInt keyUp, UInt aux1, UInt aux2, UInt aux3, UInt aux4) {
  return exports_->startDeviceDetection(reinterpret_cast<HWND>(window), arrival, removal, keyDown,
                                        keyUp, aux1, aux2, aux3, aux4);
}

void CmHidLibrary::HandleUsbDeviceChange(std::uint32_t wParam, std::uint32_t lParam) {
  exports_->handleUsbDeviceChange(wParam, lParam);
}

int CmHidLibrary::StartKeyScan() { return exports_->startKeyScan(); }

int CmHidLibrary::StopKeyScan() { return exports_->stopKeyScan(); }

int CmHidLibrary::CloseDevice() { return exports_->closeDevice(); }

void CmHidLibrary::StartBuzzer() { exports_->startBuzzer(); }

void CmHidLibrary::StopBuzzer() { exports_->stopBuzzer(); }

}  // namespace telvaro
