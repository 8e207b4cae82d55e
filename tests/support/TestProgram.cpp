#include "TestProgram.h"

namespace telvaro::sim {

TestProgram::TestProgram(bool create) {
  view.dispatch = [this](TMessage& m) { return form.Dispatch(m); };
  view.close = [this] { form.Close(); };
  view.destroy = [this] { form.FormDestroy(); };
  handset.observer = [this](const std::string& call) { desktop.Note("handset." + call); };
  if (!create) return;
  form.FormCreate();
  desktop.DeliverPosted();
  desktop.ClearTrace();
  handset.calls.clear();
}

TestProgram::~TestProgram() {
  view.dispatch = nullptr;
  view.close = nullptr;
  view.destroy = nullptr;
}

// The combo box's own selection, then its notification: the form decides whether anything runs.
void TestProgram::Select(int index) {
  view.SelectAppItem(index);
  form.combo_AppSelChange();
}

void TestProgram::Target(int index) {
  const TPhoneAppUnit& row = form.Apps.at(static_cast<std::size_t>(index));
  form.FAppIndex = index;
  form.CurrentAppCode = row.AppCode;
  form.FTargetClass = row.WindowClass;
  form.FTargetTitle = row.WindowTitle;
}

}  // namespace telvaro::sim
