#include "wake/SocketCommWin32.h"

#include <windows.h>

#include "common/NoInheritWin32.h"
#include "wake/MagicPacket.h"
#include "wake/NetInfoWin32.h"

CSocketComm::~CSocketComm() { Close(); }

void CSocketComm::Open() {
    // There is no reopening: a second start would only leak a reference.
    if (started_) return;
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        MessageBoxA(nullptr, "このｺﾝﾋﾟｭｰﾀはﾈｯﾄﾜｰｸを使用できません", "Error", 0x1010);
        return;
    }
    if (data.wVersion != MAKEWORD(2, 2)) {
        WSACleanup();  // it did start; Close will not know to end it
        MessageBoxA(nullptr, "WinSockのﾊﾞｰｼﾞｮﾝが古いです", "Error", 0x1010);
        return;
    }
    started_ = 1;

    NetInfo info{};
    CollectNetInfo(info);
    LocalSubnet subnet = ChooseLocalSubnet(info);
    localAddress_ = subnet.address;
    localMask_ = subnet.mask;

    OpenSocket();
}

void CSocketComm::OpenSocket() {
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        lastError_ = WSAGetLastError();
        return;
    }
    KeepSocketOutOfChildren(s);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(kWakePort);
    int on = 1;
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR ||
        setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
                   sizeof on) == SOCKET_ERROR) {
        lastError_ = WSAGetLastError();
        closesocket(s);
        return;
    }
    socket_ = s;
    defaultPort_ = kWakePort;
}

int CSocketComm::SendPacket(const uint8_t* packet, int port) {
    if (!started_ || !packet) return -1;
    WSASetLastError(0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = BroadcastDestination(localAddress_, localMask_);
    to.sin_port = htons(DestinationPort(static_cast<uint32_t>(port), defaultPort_));
    if (socket_ == INVALID_SOCKET) return -1;
    WSASetLastError(0);
    int sent = sendto(socket_, reinterpret_cast<const char*>(packet),
                      static_cast<int>(kMagicPacketSize), 0,
                      reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent == SOCKET_ERROR) {
        lastError_ = WSAGetLastError();
        return -1;
    }
    return sent;
}

void CSocketComm::Close() {
    if (socket_ != INVALID_SOCKET) {
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    defaultPort_ = 0;
    if (started_) {
        WSACleanup();
        started_ = 0;
    }
}
