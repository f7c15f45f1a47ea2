// A fresh pseudo-terminal per test: the slave path is what the program opens as its serial port, the master
// descriptor is the other end of the line.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace velnorex::test {

class PseudoTerminal {
 public:
  PseudoTerminal();  // raw mode, no echo; throws std::runtime_error when no pty can be had
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  const std::string& slavePath() const { return slavePath_; }
  int masterFd() const { return master_; }

  // Writes all bytes to the master end.
  void send(const std::vector<uint8_t>& bytes);
  // Reads from the master end until `count` bytes came or `timeout` passed; returns what came.
  std::vector<uint8_t> receive(size_t count, std::chrono::milliseconds timeout);
  // Reads whatever arrives until `quiet` passes with nothing new.
  std::vector<uint8_t> drain(std::chrono::milliseconds quiet);
  // Closes the master end: to the program the device vanishes.
  void closeMaster();

 private:
  int master_ = -1;
  int slaveKeepAlive_ = -1;  // keeps the line up between opens by the program
  std::string slavePath_;
};

}  // namespace velnorex::test
