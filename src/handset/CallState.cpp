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
    }
  } else if (data == "INPROGRESS") {
    FCallPending = false;
    ActiveCallId = callId;
    handset_.StopBuzzer();
  } else if (IsEndStatus(data)) {
    FCallPending = false;
    ActiveCallId = 0;
    handset_.StopBuzzer();
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
  } else if (word == "STATUS" && data == "ROUTING") {
    FCallPending = true;
    ActiveCallId = callId;
    FCallDirection = "CALL_OUT";
  }
}

}  // namespace telvaro
