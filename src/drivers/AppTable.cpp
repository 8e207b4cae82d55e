#include "drivers/AppTable.h"

namespace telvaro {

AppTable InitialAppTable() {
  return AppTable{{
      {app::Skype, "Skype", "Skype", "tSkMainForm.UnicodeClass"},
      {app::XLite, "X-Lite", "X-Lite", "Funky Window"},
      {app::XPro, "X-PRO", "X-PRO", "XscSIPClientWndProcClass"},
      {app::XProVonage, "X-PRO Vonage", "X-PRO Vonage", "XscSIPClientWndProcClass"},
      {app::XProEngin, "X-PRO Engin", "X-PRO engin Login", "XscSIPClientWndProcClass"},
      {app::XLiteXLook, "X-Lite with X-Look", "X-Lite with X-Look", "XscSIPClientWndProcClass"},
      {app::SJphone, "SJphone 1.3", "SJphone", ""},
      {app::Net2PhoneDialer, "Net2Phone Dialer", "Net2Phone Dialer", ""},
      {app::Net2PhoneCommCenter, "Net2Phone CommCenter", "Net2Phone CommCenter", ""},
      {app::Msn70, "MSN Messenger 7.0", "MSN Messenger", "MSNMSBLClass"},
      {app::Msn75, "MSN Messenger 7.5", "MSN Messenger", "MSNMSBLClass"},
      {app::Firefly, "Firefly 2.x", "Firefly 2", "QWidget"},
      {app::EyeBeam, "eyeBeam", "eyeBeam", "Funky Window"},
      {app::IcqPhone, "ICQPhone", "ICQPhone", ""},
      {app::YahooCallCenter, "Yahoo Call Center", "Call Center", "YAlertClass"},
      {app::AimPhone, "AIM Phone", "AIM Phone", "TNet2Phone"},
      {app::VoipBuster, "VoipBuster", "VoipBuster", ""},
      {app::VoipStunt, "VoipStunt", "VoipStunt", ""},
      {app::VoipCheap, "VoipCheap", "VoipCheap", ""},
      {app::MediaRing, "MediaRing PCPhone", "MediaRing PCPhone", ""},
      {app::PCPhone, "PCPhone", "PCPhone", ""},
      // Found by its class: its title is "MicroSIP" or "MicroSIP - <account>".
      {app::MicroSip, "MicroSIP", "MicroSIP", "MicroSIP"},
      // Whatever program the user chose for tel: links; there is no window to find.
      {app::TelLink, "Calling app (tel: link)", "Calling app (tel: link)", ""},
      {app::PhonerLite, "PhonerLite", "PhonerLite", ""},
      {app::Linphone, "Linphone", "Linphone", ""},
  }};
}

bool IsXProFamily(std::int32_t appCode) {
  return appCode == app::XLiteXLook || appCode == app::XPro || appCode == app::XProVonage ||
         appCode == app::XProEngin;
}

}  // namespace telvaro
