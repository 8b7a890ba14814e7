// Windows Sockets 1.1 as the system calls it: TCP over IPv4. The machine's network is its loopback: a socket binds
// to 127.0.0.1 whatever local address it names, and connects only to 127.0.0.0/8. Errors come from
// WSAGetLastError. The calls have C++ linkage, so that socket(), bind() and the rest never meet the host's own
// calls of those names in a process (the system is C++ throughout).
//
// fd_set with FD_ZERO, FD_SET and FD_ISSET, and struct timeval, are the host C library's, which every C++
// translation unit here sees already: their names and uses are Winsock's. Two calls share their argument types
// with the host's own calls of the same name: pass select a const timeval* and gethostname an int length, as
// Winsock declares them, or the host's own would be chosen.
#pragma once

#include <sys/select.h>

#include "windef.h"

typedef ULONG_PTR SOCKET;
// u_short and u_int are the C library's too; u_long is not (it is 64 bits there), so ULONG stands in its place.

#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)

#define AF_INET 2
#define SOCK_STREAM 1
#define IPPROTO_TCP 6
#define INADDR_ANY 0x00000000u
#define INADDR_LOOPBACK 0x7F000001u
#define INADDR_NONE 0xFFFFFFFFu

#define SOL_SOCKET 0xFFFF
#define SO_REUSEADDR 0x0004

#define SD_RECEIVE 0
#define SD_SEND 1
#define SD_BOTH 2

#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAENOTSOCK 10038
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093

struct in_addr {
  ULONG s_addr;  // network byte order
};

struct sockaddr {
  u_short sa_family;
  char sa_data[14];
};

struct sockaddr_in {
  short sin_family;
  u_short sin_port;  // network byte order
  struct in_addr sin_addr;
  char sin_zero[8];
};

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128
typedef struct WSAData {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
} WSADATA, *LPWSADATA;

// The version this Winsock speaks is 1.1: a request for 1.1 or later is answered with wVersion 1.1; an earlier one
// fails with WSAVERNOTSUPPORTED. Each successful WSAStartup needs its WSACleanup.
int WSAStartup(WORD version_requested, LPWSADATA data);
int WSACleanup(void);
int WSAGetLastError(void);

SOCKET socket(int family, int type, int protocol);
int bind(SOCKET socket, const struct sockaddr* address, int length);
int listen(SOCKET socket, int backlog);
SOCKET accept(SOCKET socket, struct sockaddr* address, int* length);
int connect(SOCKET socket, const struct sockaddr* address, int length);
int recv(SOCKET socket, char* buffer, int length, int flags);
int send(SOCKET socket, const char* buffer, int length, int flags);
// The count of sockets ready, 0 when the time-out passed, SOCKET_ERROR. The sets keep only the ready sockets; the
// error set is emptied (a failed socket shows as readable). A zero time-out asks without waiting; NULL waits
// without limit. The first argument is ignored, as on Windows. SOCKETs are below FD_SETSIZE.
int select(int ignored, fd_set* read_set, fd_set* write_set, fd_set* error_set, const struct timeval* timeout);
int shutdown(SOCKET socket, int how);
int closesocket(SOCKET socket);
int setsockopt(SOCKET socket, int level, int name, const char* value, int length);
int getsockname(SOCKET socket, struct sockaddr* address, int* length);
// The machine's computer name.
int gethostname(char* name, int length);

u_short htons(u_short value);
u_short ntohs(u_short value);
ULONG htonl(ULONG value);
ULONG ntohl(ULONG value);
// "a.b.c.d" in network byte order, or INADDR_NONE.
ULONG inet_addr(const char* text);
