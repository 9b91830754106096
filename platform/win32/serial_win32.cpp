#include "platform/serial.h"

namespace plat {

Serial_t::~Serial_t() { close(); }

SerialOpen Serial_t::open(const std::string&, const SerialLine&) { return SerialOpen::failed; }
bool Serial_t::close() { return true; }
long Serial_t::write(const uint8_t*, size_t) { return -1; }
bool Serial_t::drain() { return false; }
long Serial_t::read(uint8_t*, size_t) { return -1; }
void Serial_t::discard_input() {}
std::string com_device_path(unsigned) { return {}; }
void enumerate_com_ports(const std::function<void(unsigned n, const std::string& path)>&) {}

}  // namespace plat
