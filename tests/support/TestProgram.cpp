#include "TestProgram.h"

namespace telvaro::sim {

TestProgram::TestProgram(bool create) {
  view.dispatch = [this](TMessage& m) { return form.Dispatch(m); };
  handset.observer = [this](const std::string& call) { desktop.Note("handset." + call); };
  if (!create) return;
  form.FormCreate();
  desktop.DeliverPosted();
  desktop.ClearTrace();
  handset.calls.clear();
}

TestProgram::~TestProgram() { view.dispatch = nullptr; }

void TestProgram::Select(int index) {
  if (view.SelectedAppIndex() == index) return;
  view.SelectAppItem(index);
  form.combo_AppChange();
}

void TestProgram::Target(int index) {
  const TPhoneAppUnit& row = form.Apps.at(static_cast<std::size_t>(index));
  form.FAppIndex = index;
  form.CurrentAppCode = row.AppCode;
  form.FTargetClass = row.WindowClass;
  form.FTargetTitle = row.WindowTitle;
}

}  // namespace telvaro::sim
