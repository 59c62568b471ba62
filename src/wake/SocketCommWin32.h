#pragma once
// The one UDP socket every magic packet leaves through: bound to local port 7,
// broadcasting to the local Ethernet subnet.
#include <winsock2.h>

#include <cstdint>

class CSocketComm {
public:
    CSocketComm() = default;
    ~CSocketComm();
    CSocketComm(const CSocketComm&) = delete;
    CSocketComm& operator=(const CSocketComm&) = delete;

    // Starts Windows Sockets, picks the subnet and opens the socket. Only a
    // failed start leaves IsStarted() false; a socket that cannot be opened
    // just makes every later send fail.
    void Open();
    // Sends the 102 bytes at `packet` to the subnet's broadcast address on
    // `port` (low 16 bits; 0 for the default). Bytes sent, or -1.
    int SendPacket(const uint8_t* packet, int port);
    void Close();

    bool IsStarted() const { return started_ != 0; }
    bool IsOpen() const { return socket_ != INVALID_SOCKET; }
    uint32_t LocalAddress() const { return localAddress_; }
    uint32_t LocalMask() const { return localMask_; }
    uint16_t DefaultPort() const { return defaultPort_; }
    int LastError() const { return lastError_; }

private:
    void OpenSocket();

    SOCKET socket_ = INVALID_SOCKET;
    uint16_t defaultPort_ = 0;
    int32_t started_ = 0;
    uint32_t localAddress_ = 0;
    uint32_t localMask_ = 0;
    int32_t lastError_ = 0;
};
