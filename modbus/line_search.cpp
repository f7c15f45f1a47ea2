// The line search as a small state machine, one piece of work per step(), so that a window can run it from
// its event loop and a command-line tool from a plain loop.
#include "modbus/line_search.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#include "modbus/function_codes.h"
#include "serial/link_address.h"
#include "serial/mode_string.h"

namespace velnorex {

namespace {

constexpr int kProbeLength = 8;
constexpr double kFrameGapCharacters = 3.5;
constexpr int kWriteSlackMs = 30;

uint8_t functionOf(ProbeKind kind) {
  switch (kind) {
    case ProbeKind::Echo:
      return kDiagnostics;
    case ProbeKind::ReadInput:
      return kReadInputRegisters;
    case ProbeKind::ReadRegister:
      break;
  }
  return kReadHoldingRegisters;
}

int ceilMs(double ms) {
  return static_cast<int>(std::ceil(ms));
}

// Lets a read that continues an answer stop as soon as the bytes before it and its own make a whole reply.
class ContinuedReply final : public ReplyCheck {
 public:
  ContinuedReply(const uint8_t* head, int headCount) : head_(head), headCount_(headCount) {}
  bool complete(const uint8_t* bytes, size_t count) const override {
    if (headCount_ == 0) return ReplyComplete(bytes, count);
    const size_t total = std::min(static_cast<size_t>(headCount_) + count, sizeof joined_);
    std::memcpy(joined_, head_, static_cast<size_t>(headCount_));
    std::memcpy(joined_ + headCount_, bytes, total - static_cast<size_t>(headCount_));
    return ReplyComplete(joined_, total);
  }

 private:
  const uint8_t* head_;
  int headCount_;
  mutable uint8_t joined_[Serial::kBufferSize] = {};
};

}  // namespace

std::string CheckPlan(const SearchPlan& plan) {
  if (plan.portPath.isEmpty()) return "no port";
  if (plan.settings.empty() && !IsNetworkAddress(plan.portPath)) return "no line setting to try";
  for (const SearchSetting& s : plan.settings) {
    if (s.baudRate <= 0) return "baud rate " + std::to_string(s.baudRate) + " is not positive";
    if (s.parity != 'n' && s.parity != 'e' && s.parity != 'o')
      return std::string("unknown parity ") + s.parity;
  }
  if (plan.firstAddress < kFirstSlaveAddress || plan.lastAddress > kLastSlaveAddress ||
      plan.firstAddress > plan.lastAddress)
    return "the addresses must run from 1 to 247, the first not above the last";
  if (plan.budgetMs < 0 || plan.budgetMs > 60000) return "the reply budget must be 0 to 60000 ms";
  return {};
}

std::string ReplyText(const SearchHit& hit) {
  switch (hit.reply) {
    case SearchHit::Reply::Value:
      return "value " + std::to_string(hit.value);
    case SearchHit::Reply::Exception:
      return "exception " + std::to_string(hit.value);
    case SearchHit::Reply::Echo:
      break;
  }
  return "echo";
}

LineSearch::LineSearch(Modbus& modbus, SearchPlan plan, ExchangeDispatcher* observers)
    : hold_(modbus), serial_(hold_.line()), observers_(observers), plan_(std::move(plan)) {
  if (const std::optional<LinkAddress> link = ParseLinkAddress(plan_.portPath)) {
    // One pass: a baud rate or a parity means nothing to a TCP link.
    const SearchSetting one = plan_.settings.empty() ? SearchSetting{} : plan_.settings.front();
    plan_.settings.assign(1, one);
    anyUnit_ = link->kind == LinkAddress::ModbusTcp;
  }
}

LineSearch::LineSearch(Bus& bus, SearchPlan plan)
    : LineSearch(bus.modbus(), std::move(plan), &bus.dispatcher()) {}

LineSearch::~LineSearch() {
  if (running()) finish(SearchEnd::Cancelled);
}

double LineSearch::LineTimeMs(double characters, int32_t baudRate) {
  // Every RTU character is 11 bits, whatever the parity.
  return characters * static_cast<double>(CharacterNs(RtuLine(baudRate, 'n'))) / 1e6;
}

int LineSearch::firstWaitMs(const SearchSetting& setting) const {
  return ceilMs(LineTimeMs(kProbeLength + kFrameGapCharacters, setting.baudRate)) + plan_.budgetMs;
}

bool LineSearch::start() {
  if (running() || !CheckPlan(plan_).empty()) return false;
  if (!hold_.take()) return false;
  saved_ = serial_.setup();
  end_ = SearchEnd::Running;
  cancelRequested_ = false;
  lineRestored_ = true;
  setting_ = 0;
  address_ = plan_.firstAddress;
  settingOpen_ = false;
  probing_ = false;
  done_ = 0;
  nominalDoneMs_ = 0;
  hits_.clear();
  refused_.clear();
  garbled_ = 0;
  startedAt_ = Clock::now();
  quietUntil_ = startedAt_;
  return true;
}

bool LineSearch::step() {
  if (!running()) return false;
  if (cancelRequested_) {
    finish(SearchEnd::Cancelled);
    return false;
  }
  if (!settingOpen_ || !serial_.PortOpen()) {
    // A port that vanished in the middle of a setting is opened again, and the probe it took with it sent
    // again; the rest of the setting is given up when that fails.
    probing_ = false;
    if (!openSetting()) {
      refused_.push_back(plan_.settings[setting_]);
      done_ += probesLeft();
      nextSetting();
    }
  } else if (!probing_) {
    sendProbe();
    readSlice();
  } else {
    readSlice();
  }
  if (setting_ >= plan_.settings.size()) {
    finish(SearchEnd::Finished);
    return false;
  }
  return true;
}

bool LineSearch::openSetting() {
  const SearchSetting& setting = plan_.settings[setting_];
  const std::string mode = RtuModeString(std::to_string(setting.baudRate), setting.parity);
  settingOpen_ = serial_.OpenPort(plan_.portPath, QString::fromStdString(mode)) &&
                 serial_.SetPortTimeouts(probeTimeouts(kSliceMs));
  if (!settingOpen_) return false;
  // A transducer may have taken the switch of the line for the start of a frame: give it a frame's silence.
  quietUntil_ = Clock::now() + gap();
  return true;
}

void LineSearch::nextSetting() {
  ++setting_;
  address_ = plan_.firstAddress;
  settingOpen_ = false;
}

LineTimeouts LineSearch::probeTimeouts(int readTotalMs) const {
  // Reads end by their total or a whole reply only: a probe's answer may pause longer than any gap.
  LineTimeouts t;
  t.readIntervalMs = 0;
  t.readTotalMs = static_cast<uint16_t>(readTotalMs);
  const int writeMs = ceilMs(LineTimeMs(kProbeLength, plan_.settings[setting_].baudRate)) + kWriteSlackMs;
  t.writeTotalMs = static_cast<uint16_t>(std::min(writeMs, 65535));
  return t;
}

std::chrono::microseconds LineSearch::gap() const {
  const SearchSetting& setting = plan_.settings[setting_];
  const int64_t ns = FrameGapNs(RtuLine(setting.baudRate, setting.parity));
  return std::chrono::microseconds((ns + 999) / 1000);
}

void LineSearch::sendProbe() {
  // The transducer that answered last must see the silence that ends its frame before the next request.
  if (Clock::now() < quietUntil_) std::this_thread::sleep_until(quietUntil_);
  const uint8_t function = functionOf(plan_.probe);
  // Read: the register, quantity 1. Return query data: sub-function 0, and data the echo must carry back.
  const uint16_t first = function == kDiagnostics ? 0 : plan_.probeRegister;
  const uint16_t second = function == kDiagnostics ? static_cast<uint16_t>(0xA500 | address_) : 1;
  BuildHeaderFrame(request_, static_cast<uint8_t>(address_), function, first, second);

  serial_.WritePort(request_, kProbeLength);
  sentAt_ = Clock::now();
  answerCount_ = 0;
  waitLeftMs_ = firstWaitMs(plan_.settings[setting_]);
  probeResult_ = ExchangeResult::UM_TIMEOUT;
  probing_ = true;
}

int LineSearch::expectedLength() const {
  const uint8_t function = functionOf(plan_.probe);
  const auto answerLength = static_cast<int>(ExpectedReplyLength(function, 1));
  if (answerCount_ < 2) return answerLength;
  if (answer_[1] != function && answer_[1] != (function | kExceptionBit))
    return 0;  // no answer to this probe
  const auto length = static_cast<int>(ReplyLengthFromHeader(answer_, static_cast<size_t>(answerCount_)));
  if (length == 0) return answerLength;  // the byte count is still to come
  // A read's byte count other than the one register asked for answers no probe.
  return answer_[1] == function && length != answerLength ? 0 : length;
}

void LineSearch::readSlice() {
  const int slice = std::clamp(ceilMs(waitLeftMs_), 1, kSliceMs);
  if (!serial_.SetPortTimeouts(probeTimeouts(slice))) {
    endProbe();  // the port is gone; the next step opens it again or gives the setting up
    return;
  }
  const ContinuedReply check(answer_, answerCount_);
  serial_.ReadPort(&check);
  const Clock::time_point at = Clock::now();
  const int room = static_cast<int>(sizeof answer_) - answerCount_;
  const int got = std::min(static_cast<int>(serial_.BytesRead), room);
  if (got > 0) std::memcpy(answer_ + answerCount_, serial_.ReplyBuffer, static_cast<size_t>(got));
  answerCount_ += got;

  if (ReplyComplete(answer_, static_cast<size_t>(answerCount_))) {
    evaluate(at);
    endProbe();
    return;
  }
  // A read that ends short of a whole reply has had its full slice (the line has no other early end).
  waitLeftMs_ -= slice;
  if (got > 0) {
    const int expected = expectedLength();
    if (expected == 0 || answerCount_ >= expected) {
      evaluate(at);
      endProbe();
      return;
    }
    // The answer has begun: the rest of it is given its own line time, and the budget again for a pause.
    const int missing = expected - answerCount_;
    const SearchSetting& setting = plan_.settings[setting_];
    waitLeftMs_ = std::max(waitLeftMs_, LineTimeMs(missing, setting.baudRate) + plan_.budgetMs);
  }
  if (waitLeftMs_ <= 0) {
    evaluate(at);
    endProbe();
  }
}

void LineSearch::evaluate(Clock::time_point at) {
  if (answerCount_ == 0) return;  // nobody at this address, at this setting
  quietUntil_ = at + gap();
  const uint8_t* a = answer_;
  const int n = answerCount_;
  const uint8_t function = functionOf(plan_.probe);
  SearchHit hit;
  hit.address = address_;
  hit.setting = plan_.settings[setting_];
  hit.ms = std::chrono::duration<double, std::milli>(at - sentAt_).count();
  bool wellFormed = n >= 5 && CheckReplyCrc(a, static_cast<uint16_t>(n)) && a[0] == address_;
  if (wellFormed) {
    if (a[1] == (function | kExceptionBit) && n == 5) {
      hit.reply = SearchHit::Reply::Exception;
      hit.value = a[2];
    } else if (function != kDiagnostics && a[1] == function && n == 7 && a[2] == 2) {
      hit.reply = SearchHit::Reply::Value;
      hit.value = static_cast<uint16_t>(a[3] << 8 | a[4]);
    } else if (function == kDiagnostics && a[1] == function && n == 8 &&
               std::memcmp(a + 2, request_ + 2, 4) == 0) {
      hit.reply = SearchHit::Reply::Echo;
    } else {
      wellFormed = false;
    }
  }
  // An answer that is no reply to the probe is a garbled one, as the exchange takes a reply that does not
  // fit.
  probeResult_ = wellFormed ? ExchangeResult::UM_REPLY : ExchangeResult::UM_CRCERROR;
  if (wellFormed)
    hits_.push_back(hit);
  else
    ++garbled_;
}

void LineSearch::endProbe() {
  probing_ = false;
  if (observers_) {
    // Every probe is a transaction on the line, and the traffic monitor shows it as one.
    TransactionSummary summary;
    summary.result = probeResult_;
    summary.request = request_;
    summary.requestLength = kProbeLength;
    summary.reply = answer_;
    summary.replyLength = static_cast<uint8_t>(std::min(answerCount_, 255));
    observers_->tellObservers(summary);
  }
  ++done_;
  nominalDoneMs_ += firstWaitMs(plan_.settings[setting_]);
  if (address_ == kAnyUnitId) {
    nextSetting();
  } else if (++address_ > plan_.lastAddress) {
    if (anyUnit_)
      address_ = kAnyUnitId;
    else
      nextSetting();
  }
}

int LineSearch::probesLeft() const {
  if (address_ == kAnyUnitId) return 1;
  return plan_.lastAddress - address_ + 1 + (anyUnit_ ? 1 : 0);
}

SearchProgress LineSearch::progress() const {
  SearchProgress p;
  p.total = static_cast<int>(plan_.settings.size()) * addressCount();
  p.done = done_;
  p.setting = static_cast<int>(std::min(setting_, plan_.settings.size()));
  if (!running()) return p;
  double nominalLeft = 0;
  for (size_t i = setting_; i < plan_.settings.size(); ++i) {
    const int probes = i == setting_ ? probesLeft() : addressCount();
    nominalLeft += static_cast<double>(probes) * firstWaitMs(plan_.settings[i]);
  }
  // Reopening ports, answers and the time between steps make a line slower or faster than the nominal
  // waits: scale by what this search has seen so far.
  double scale = 1.0;
  if (nominalDoneMs_ > 0)
    scale = std::chrono::duration<double, std::milli>(Clock::now() - startedAt_).count() / nominalDoneMs_;
  p.msLeft = static_cast<int64_t>(nominalLeft * scale);
  return p;
}

void LineSearch::finish(SearchEnd how) {
  probing_ = false;
  // What the operator's port was set to stays as it was, open or not.
  lineRestored_ = serial_.Restore(saved_);
  end_ = how == SearchEnd::Finished && refused_.size() == plan_.settings.size() ? SearchEnd::PortError : how;
  hold_.release();
}

}  // namespace velnorex
