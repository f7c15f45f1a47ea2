// One device per kind of link, made when first needed and kept: the window reconnects to the same kind.
#include "modbus/link_device.h"

#include "modbus/modbus_tcp_device.h"
#include "serial/link_address.h"
#include "serial/qt_serial_device.h"
#include "serial/tcp_stream_device.h"

namespace velnorex {

LinkDevice::LinkDevice(std::unique_ptr<SerialDevice> serialPort) {
  adopt(serialPort_, serialPort ? std::move(serialPort) : std::make_unique<QtSerialDevice>());
}

LinkDevice::~LinkDevice() {
  for (auto* slot : {&serialPort_, &rtuOverTcp_, &modbusTcp_}) {
    if (!*slot) continue;
    (*slot)->setLostHandler(nullptr);
    (*slot)->setChunkObserver(nullptr);
  }
}

SerialDevice& LinkDevice::adopt(std::unique_ptr<SerialDevice>& slot, std::unique_ptr<SerialDevice> device) {
  slot = std::move(device);
  slot->setChunkObserver(this);
  slot->setOpenWait(openWait_);
  slot->setLostHandler([this] {
    if (lost_) {
      auto handler = lost_;
      handler();
    }
  });
  return *slot;
}

bool LinkDevice::open(const QString& path, const PortSettings& settings) {
  close();
  active_ = nullptr;
  failure_ = {};
  if (!IsNetworkAddress(path)) {
    active_ = serialPort_.get();
  } else if (const std::optional<LinkAddress> address = ParseLinkAddress(path); !address) {
    failure_ = {PortFailure::BadAddress, {}};
    return false;
  } else if (address->kind == LinkAddress::RtuOverTcp) {
    active_ = rtuOverTcp_ ? rtuOverTcp_.get() : &adopt(rtuOverTcp_, std::make_unique<TcpStreamDevice>());
  } else {
    active_ = modbusTcp_ ? modbusTcp_.get()
                         : &adopt(modbusTcp_,
                                  std::make_unique<ModbusTcpDevice>(std::make_unique<TcpStreamDevice>()));
  }
  if (active_->open(path, settings)) return true;
  failure_ = active_->lastFailure();
  return false;
}

void LinkDevice::close() {
  if (active_) active_->close();
}

bool LinkDevice::setTimeouts(const CommTimeouts& timeouts) {
  return active_ && active_->setTimeouts(timeouts);
}

void LinkDevice::setOpenWait(std::function<bool()> keepWaiting) {
  openWait_ = std::move(keepWaiting);
  for (auto* slot : {&serialPort_, &rtuOverTcp_, &modbusTcp_})
    if (*slot) (*slot)->setOpenWait(openWait_);
}

void LinkDevice::setLostHandler(std::function<void()> handler) {
  lost_ = std::move(handler);
}

PortFailure LinkDevice::lastFailure() const {
  if (failure_.kind != PortFailure::None) return failure_;
  return active_ ? active_->lastFailure() : PortFailure{};
}

}  // namespace velnorex
