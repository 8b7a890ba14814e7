// Winsock 1.1 on the machine's loopback: the version handshake, a listener and a client exchanging bytes, select
// as the LAN listener polls it, sockets that are gone, the machine's own ports through its listener table,
// addresses beyond the machine, and an outside party at work.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "scratch_machine.h"
#include "winsock.h"
#include "xp/network.h"
#include "xp/outside_party.h"

namespace {

class SocketsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WSADATA data;
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  }
  void TearDown() override { WSACleanup(); }

  // A listening socket on `*port`, or on one of the system's choosing when it is 0.
  SOCKET Listener(u_short* port) {
    const SOCKET listening = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(*port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    EXPECT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(listening, 5), 0);
    int length = sizeof address;
    EXPECT_EQ(getsockname(listening, reinterpret_cast<sockaddr*>(&address), &length), 0);
    *port = ntohs(address.sin_port);
    return listening;
  }

  static int Connect(SOCKET client, u_short port, const char* host = "127.0.0.1") {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = inet_addr(host);
    return connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
  }

  static int Ready(SOCKET socket, bool for_reading) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    static const timeval none = {0, 0};
    return select(0, for_reading ? &set : nullptr, for_reading ? nullptr : &set, nullptr, &none);
  }

  xp::test::ScratchMachine machine_;
};

TEST_F(SocketsTest, TheVersionIsOnePointOneAndNothingWorksBeforeStartup) {
  WSADATA data;
  EXPECT_EQ(WSAStartup(0x0202, &data), 0);
  EXPECT_EQ(data.wVersion, 0x0101);
  EXPECT_EQ(WSAStartup(0x0001, &data), WSAVERNOTSUPPORTED);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), 0);  // SetUp's
  EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(WSAStartup(0x0101, &data), 0);  // for TearDown
}

TEST_F(SocketsTest, AListenerAndAClientExchangeBytesOverTheLoopback) {
  u_short port = 0;
  const SOCKET listening = Listener(&port);
  EXPECT_EQ(Ready(listening, true), 0) << "nobody has connected yet";
  const SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_EQ(Connect(client, port), 0);
  EXPECT_EQ(Ready(listening, true), 1);
  sockaddr_in peer{};
  int length = sizeof peer;
  const SOCKET accepted = accept(listening, reinterpret_cast<sockaddr*>(&peer), &length);
  ASSERT_NE(accepted, INVALID_SOCKET);
  EXPECT_EQ(peer.sin_addr.s_addr, inet_addr("127.0.0.1"));
  EXPECT_EQ(Ready(accepted, false), 1);
  EXPECT_EQ(send(client, "<C>puzzle</C>", 14, 0), 14);
  char buffer[256] = {};
  EXPECT_EQ(recv(accepted, buffer, sizeof buffer, 0), 14);
  EXPECT_STREQ(buffer, "<C>puzzle</C>");
  char host[64];
  const int host_size = sizeof host;
  EXPECT_EQ(gethostname(host, host_size), 0);
  EXPECT_STREQ(host, "WORKSTATION");

  EXPECT_EQ(shutdown(accepted, SD_BOTH), 0);
  EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), 0) << "the peer's end";
  for (const SOCKET s : {accepted, client, listening}) EXPECT_EQ(closesocket(s), 0);
  EXPECT_EQ(closesocket(accepted), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  EXPECT_EQ(send(client, "x", 1, 0), SOCKET_ERROR) << "a closed socket is not another's";
}

// Two listeners on one machine port in turn, as the LAN listener's attempts are: each is reached through the
// machine's listener table while it listens, and once it is closed the port refuses.
TEST_F(SocketsTest, TheMachinesPortsAreItsOwnAndReachedThroughItsListenerTable) {
  for (int round = 0; round < 2; ++round) {
    u_short port = 4000;
    const SOCKET listening = Listener(&port);
    EXPECT_EQ(port, 4000) << "getsockname shows the machine's port";
    const std::optional<uint16_t> host_port = xp::machine::Listener("127.0.0.1", 4000);
    ASSERT_TRUE(host_port.has_value());
    const SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(Connect(client, 4000), 0);
    const SOCKET accepted = accept(listening, nullptr, nullptr);
    ASSERT_NE(accepted, INVALID_SOCKET);
    sockaddr_in local{};
    int length = sizeof local;
    ASSERT_EQ(getsockname(accepted, reinterpret_cast<sockaddr*>(&local), &length), 0);
    EXPECT_EQ(ntohs(local.sin_port), 4000);
    EXPECT_EQ(send(client, "hi", 2, 0), 2);
    char buffer[4] = {};
    EXPECT_EQ(recv(accepted, buffer, sizeof buffer, 0), 2);

    const SOCKET stranger = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(Connect(stranger, 4001), SOCKET_ERROR) << "no program of the machine listens there";
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
    for (const SOCKET s : {stranger, accepted, client, listening}) closesocket(s);
    EXPECT_FALSE(xp::machine::Listener("127.0.0.1", 4000).has_value());
    const SOCKET late = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(Connect(late, 4000), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
    closesocket(late);
  }
}

TEST_F(SocketsTest, NothingBeyondTheMachineIsReached) {
  const SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_EQ(Connect(client, 80, "10.1.2.3"), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENETUNREACH);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr("192.168.0.5");
  EXPECT_EQ(bind(client, reinterpret_cast<sockaddr*>(&address), sizeof address), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEADDRNOTAVAIL);
  EXPECT_EQ(inet_addr("300.1.1.1"), INADDR_NONE);
  closesocket(client);
}

// A poll without waiting that would say "nothing yet" waits for a party that said it is coming.
TEST_F(SocketsTest, AnOutsidePartyAtWorkIsWaitedForInRealTime) {
  u_short port = 0;
  const SOCKET listening = Listener(&port);
  auto party = std::make_unique<xp::network::OutsidePartyAtWork>(port);
  std::thread late([port] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
    Connect(client, port);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    closesocket(client);
  });
  EXPECT_EQ(Ready(listening, true), 1);
  late.join();
  party.reset();
  const SOCKET accepted = accept(listening, nullptr, nullptr);
  EXPECT_EQ(Ready(listening, true), 0) << "with nobody at work, no wait";
  closesocket(accepted);
  closesocket(listening);
}

}  // namespace
