// Which Skype call rings and which is active, and the handset's buzzer that follows them.
#include "shell/frmMailInterface.h"

namespace telvaro {

namespace {

bool IsEndStatus(const std::string& value) {
  return value == "FINISHED" || value == "MISSED" || value == "FAILED" || value == "CANCELLED" ||
         value == "REFUSED";
}

}  // namespace

void TMainForm::SkypeCallInfo(std::int32_t callId, TSkypeCallProperty callProperty,
                              const std::string& data) {
  const std::string_view word = CallPropertyWords.at(static_cast<std::size_t>(callProperty));
  TakeSkypeCaller(callId, callProperty, data);
  if (callId != LastCallId) {
    NewCallInfo(callId, word, data);
    LastCallId = callId;
    return;
  }
  if (word != "STATUS") return;
  RingingCallId = 0;
  if (data == "RINGING") {
    FCallPending = true;
    if (FCallDirection == "CALL_IN") {
      RingingCallId = callId;
      handset_.StartBuzzer();
      ShowSkypeCall(CallShown::Ringing, callId);
    }
  } else if (data == "INPROGRESS") {
    FCallPending = false;
    ActiveCallId = callId;
    handset_.StopBuzzer();
    ShowSkypeCall(CallShown::InCall, callId);
  } else if (IsEndStatus(data)) {
    FCallPending = false;
    ActiveCallId = 0;
    handset_.StopBuzzer();
    ShowSkypeCall(CallShown::Ended, callId);
  }
}

// The first notification of a call, or one that interrupts another call's.
void TMainForm::NewCallInfo(std::int32_t callId, std::string_view word, const std::string& data) {
  if (word == "CONF_ID" && data == "0") {
    FCallDirection = "CALL_IN";
  } else if (word == "STATUS" && data == "RINGING") {
    FCallPending = true;
    RingingCallId = callId;
    handset_.StartBuzzer();
    ShowSkypeCall(CallShown::Ringing, callId);
  } else if (word == "STATUS" && data == "ROUTING") {
    FCallPending = true;
    ActiveCallId = callId;
    FCallDirection = "CALL_OUT";
  }
}

// A call that starts ringing is asked who calls, once; the answers arrive as call notifications
// (TakeSkypeCaller). Until they do, or when they never do, the caller is not known.
void TMainForm::ShowSkypeCall(CallShown state, std::int32_t callId) {
  const bool ask = state == CallShown::Ringing && skypeCaller_.callId != callId;
  if (ask) skypeCaller_ = SkypeCaller{callId, {}, {}};
  ShowCall(state, skypeCaller_.callId == callId ? skypeCaller_.Best() : std::string());
  if (!ask || !FSkype) return;
  FSkype->SendCommand(GetCallCommand(callId, TSkypeCallProperty::PartnerDispname));
  FSkype->SendCommand(GetCallCommand(callId, TSkypeCallProperty::PartnerHandle));
}

// Only answers about the call asked about count; they change what is shown, nothing else.
void TMainForm::TakeSkypeCaller(std::int32_t callId, TSkypeCallProperty property,
                                const std::string& data) {
  if (callId == 0 || callId != skypeCaller_.callId) return;
  if (property == TSkypeCallProperty::PartnerDispname) {
    skypeCaller_.name = CleanCaller(data);
  } else if (property == TSkypeCallProperty::PartnerHandle) {
    skypeCaller_.handle = CleanCaller(data);
  } else {
    return;
  }
  if (callShown_ != CallShown::None) ShowCall(callShown_, skypeCaller_.Best());
}

}  // namespace telvaro
