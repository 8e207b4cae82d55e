// Who drives a USB phone's hook switch and ringer. An application with USB phone support of its
// own acts on the hook switch too, and with both acting every call is answered and ended twice:
// while such an application is selected and its support is on, it alone drives them.
#include <cstdlib>
#include <string>

#include "drivers/AppTable.h"
#include "shell/frmMailInterface.h"

namespace telvaro {

namespace {

constexpr char kMicroSipClass[] = "MicroSIP";
constexpr char kHookLeftToApp[] = " drives the USB phone's hook switch.";

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// MicroSIP names its settings file after its exe ("microsip.ini" beside "microsip.exe").
std::string IniNameOf(const std::string& exe) {
  const auto slash = exe.find_last_of("\\/");
  std::string name = slash == std::string::npos ? exe : exe.substr(slash + 1);
  const auto dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return (name.empty() ? std::string("microsip") : name) + ".ini";
}

// MicroSIP keeps "headsetSupport" in the [Settings] section of its ini: beside its exe when it
// runs portable, in %APPDATA%\MicroSIP when installed. The running copy's exe says which.
bool MicroSipDrivesUsbPhones(WindowsApi& api) {
  std::string exe;
  if (const Hwnd window = api.FindWindowA(kMicroSipClass, nullptr)) {
    std::uint32_t process = 0;
    api.GetWindowThreadProcessId(window, &process);
    if (process != 0) exe = api.ProcessImagePath(process);
  }
  const std::string ini = IniNameOf(exe);
  std::string places[2];
  if (!exe.empty()) places[0] = FolderOf(exe) + "\\" + ini;
  if (const std::string appData = api.RoamingAppDataPath(); !appData.empty()) {
    places[1] = appData + "\\MicroSIP\\" + ini;
  }
  for (const std::string& file : places) {
    if (file.empty()) continue;
    const std::string value =
        api.GetPrivateProfileStringA("Settings", "headsetSupport", "", file.c_str());
    if (!value.empty()) return std::atoi(value.c_str()) != 0;
  }
  return false;
}

}  // namespace

bool TMainForm::HookSwitchLeftToApp() {
  const CallingApp* calling = RowApp();
  const bool left = (calling != nullptr && calling->DrivesUsbPhonesItself()) ||
                    (CurrentAppCode == app::MicroSip && MicroSipDrivesUsbPhones(api_));
  if (left && !hookLeftToAppSaid_) view_.SetStatusText(FTargetTitle + kHookLeftToApp);
  hookLeftToAppSaid_ = left;
  return left;
}

}  // namespace telvaro
