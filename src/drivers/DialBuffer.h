// The number keyed in for a calling app that keeps its number in TELVARO, with the last number
// that was dialled from it.
#pragma once

#include <string>

namespace telvaro {

class DialBuffer {
 public:
  // Appends a key; true when it was a 0 that a long press may still turn into "+".
  bool Add(char key);
  // The long press of the 0 ended: a 0 that is the whole number becomes "+".
  void ZeroHeld();
  // Removes the last key; false when there was none.
  bool RemoveLastDigit();
  // With nothing keyed, the last number dialled comes back; false when there is none or when
  // something is keyed already.
  bool RecallLast();
  // The app took the number: it becomes the last one dialled and the buffer empties.
  void Dialled();
  void Clear() { text_.clear(); }

  const std::string& Text() const { return text_; }
  const std::string& Last() const { return last_; }
  bool Empty() const { return text_.empty(); }
  // For tests and for restoring a state.
  void Set(std::string text) { text_ = std::move(text); }

 private:
  std::string text_;
  std::string last_;
};

}  // namespace telvaro
