// Modal message boxes through one function.
#include "app/message_box.h"

#include <utility>

#include <QMessageBox>

namespace velnorex {

namespace {

// Process-wide by nature: there is one screen and one message loop per program.
std::function<void(const ShownMessage&)>& hookSlot() {
  static std::function<void(const ShownMessage&)> hook;
  return hook;
}

int& depthSlot() {
  static int depth = 0;
  return depth;
}

QMessageBox::Icon boxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Stop:
      return QMessageBox::Critical;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

struct DepthGuard {
  DepthGuard() { ++depthSlot(); }
  ~DepthGuard() { --depthSlot(); }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
};

}  // namespace

void ShowModalMessage(QWidget* parent, const QString& text, MessageIcon icon, const QString& caption) {
  ShownMessage message{text, icon, caption.isEmpty() ? QString::fromLatin1(kApplicationTitle) : caption};
  DepthGuard depth;
  // A copy: the hook may replace itself while it runs.
  if (auto hook = hookSlot()) {
    hook(message);
    return;
  }
  QMessageBox box(boxIcon(icon), message.caption, message.text, QMessageBox::Ok, parent);
  box.exec();
}

std::function<void(const ShownMessage&)> SetMessageBoxHook(std::function<void(const ShownMessage&)> hook) {
  return std::exchange(hookSlot(), std::move(hook));
}

int ModalMessageDepth() {
  return depthSlot();
}

}  // namespace velnorex
