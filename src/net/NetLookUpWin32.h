#pragma once
// The entry dialog's two look-ups of an IPv4 address on the network. Both
// block until the platform answers; a failure is only a false result.
#include <winsock2.h>
#include <windows.h>
#include <cstdint>
#include <functional>
#include <string>

// The hardware address of `address` (network order, as inet_addr gives it).
bool LookUpHardwareAddress(uint32_t address, uint8_t mac[6]);
// The same, giving up as soon as `cancelled` says so while it waits for the
// neighbour table.
bool LookUpHardwareAddress(uint32_t address, uint8_t mac[6], const std::function<bool()>& cancelled);
// The official host name of `address`.
bool LookUpHostName(uint32_t address, std::string& name);
