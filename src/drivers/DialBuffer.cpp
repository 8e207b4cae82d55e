#include "drivers/DialBuffer.h"

namespace telvaro {

bool DialBuffer::Add(char key) {
  text_ += key;
  return key == '0';
}

void DialBuffer::ZeroHeld() {
  if (text_ == "0") text_ = "+";
}

bool DialBuffer::RemoveLastDigit() {
  if (text_.empty()) return false;
  text_.pop_back();
  return true;
}

bool DialBuffer::RecallLast() {
  if (!text_.empty() || last_.empty()) return false;
  text_ = last_;
  return true;
}

void DialBuffer::Dialled() {
  last_ = text_;
  text_.clear();
}

}  // namespace telvaro
