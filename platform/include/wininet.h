// The Internet client calls the system makes: one synchronous HTTP or HTTPS GET at a time, read back in pieces.
// The stand-in (xp_wininet, "wininet.dll") goes over libcurl; names resolve only through the machine's hosts table,
// and only to the machine's loopback listeners. Its failures are the 12xxx codes below, and FormatMessageA with
// FORMAT_MESSAGE_FROM_HMODULE on GetModuleHandleA("wininet.dll") gives their texts.
#pragma once

#include "windef.h"

extern "C" {

typedef LPVOID HINTERNET;
typedef WORD INTERNET_PORT;

#define INTERNET_OPEN_TYPE_PRECONFIG 0
#define INTERNET_OPEN_TYPE_DIRECT 1
#define INTERNET_OPEN_TYPE_PROXY 3

#define INTERNET_INVALID_PORT_NUMBER 0
#define INTERNET_DEFAULT_HTTP_PORT 80
#define INTERNET_DEFAULT_HTTPS_PORT 443

#define INTERNET_SERVICE_HTTP 3

// Request flags. The stand-in keeps no cache (RELOAD is what it always does) and makes one connection per request.
#define INTERNET_FLAG_RELOAD 0x80000000
#define INTERNET_FLAG_SECURE 0x00800000
#define INTERNET_FLAG_KEEP_CONNECTION 0x00400000
#define INTERNET_FLAG_NO_CACHE_WRITE 0x04000000
#define INTERNET_FLAG_PRAGMA_NOCACHE 0x00000100

#define INTERNET_OPTION_VERSION 40

typedef struct {
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
} INTERNET_VERSION_INFO, *LPINTERNET_VERSION_INFO;

// HttpQueryInfoA levels (response headers), and the flag that returns a number as a DWORD.
#define HTTP_QUERY_CONTENT_TYPE 1
#define HTTP_QUERY_CONTENT_LENGTH 5
#define HTTP_QUERY_DATE 9
#define HTTP_QUERY_LAST_MODIFIED 11
#define HTTP_QUERY_VERSION 18
#define HTTP_QUERY_STATUS_CODE 19
#define HTTP_QUERY_STATUS_TEXT 20
#define HTTP_QUERY_RAW_HEADERS_CRLF 22
#define HTTP_QUERY_SERVER 37
#define HTTP_QUERY_FLAG_NUMBER 0x20000000

#define INTERNET_ERROR_BASE 12000
#define ERROR_INTERNET_TIMEOUT 12002L
#define ERROR_INTERNET_EXTENDED_ERROR 12003L
#define ERROR_INTERNET_INTERNAL_ERROR 12004L
#define ERROR_INTERNET_INVALID_URL 12005L
#define ERROR_INTERNET_UNRECOGNIZED_SCHEME 12006L
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007L
#define ERROR_INTERNET_INVALID_OPTION 12009L
#define ERROR_INTERNET_BAD_OPTION_LENGTH 12010L
#define ERROR_INTERNET_INCORRECT_HANDLE_TYPE 12018L
#define ERROR_INTERNET_INCORRECT_HANDLE_STATE 12019L
#define ERROR_INTERNET_CANNOT_CONNECT 12029L
#define ERROR_INTERNET_CONNECTION_ABORTED 12030L
#define ERROR_INTERNET_CONNECTION_RESET 12031L
#define ERROR_INTERNET_SEC_CERT_DATE_INVALID 12037L
#define ERROR_INTERNET_SEC_CERT_CN_INVALID 12038L
#define ERROR_INTERNET_INVALID_CA 12045L
#define ERROR_HTTP_HEADER_NOT_FOUND 12150L
#define ERROR_HTTP_INVALID_SERVER_RESPONSE 12152L
#define ERROR_INTERNET_SECURITY_CHANNEL_ERROR 12157L

// A session handle, or NULL. Access types PRECONFIG and DIRECT both mean no proxy (the machine has none); flags 0.
HINTERNET InternetOpenA(LPCSTR agent, DWORD access_type, LPCSTR proxy, LPCSTR proxy_bypass, DWORD flags);
// A connection handle for an HTTP server; nothing goes over the network yet. Port 0 is the scheme's default port.
// NULL with ERROR_INVALID_PARAMETER for an empty server name, ERROR_INVALID_HANDLE or
// ERROR_INTERNET_INCORRECT_HANDLE_TYPE for a bad session handle.
HINTERNET InternetConnectA(HINTERNET internet, LPCSTR server_name, INTERNET_PORT port, LPCSTR user_name,
                           LPCSTR password, DWORD service, DWORD flags, DWORD_PTR context);
// A request handle. `object` is the request target, sent byte for byte ("" asks for "/"); version NULL is
// "HTTP/1.1"; INTERNET_FLAG_SECURE makes it HTTPS, verified against the machine's trusted roots. NULL with
// ERROR_INTERNET_INVALID_URL for a target holding a control character.
HINTERNET HttpOpenRequestA(HINTERNET connect, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR referrer,
                           LPCSTR* accept_types, DWORD flags, DWORD_PTR context);
// Connects, sends and waits for the response headers. TRUE for any HTTP status; FALSE with a 12xxx code when the
// name does not resolve, nothing listens, TLS fails, the server stalls past the machine's time-out or closes
// without a valid response.
BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headers_length, LPVOID optional,
                      DWORD optional_length);
// Up to `to_read` bytes of the body; TRUE with *read 0 at its end. FALSE with ERROR_INTERNET_INCORRECT_HANDLE_STATE
// before a successful send, ERROR_INTERNET_TIMEOUT for a stall, ERROR_INTERNET_CONNECTION_ABORTED for a body cut
// short.
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD to_read, LPDWORD read);
// INTERNET_OPTION_VERSION only: 8 bytes, version 1.2.
BOOL InternetQueryOptionA(HINTERNET internet, DWORD option, LPVOID buffer, LPDWORD buffer_length);
// The server's last extended response text (an HTTP server never sends one): TRUE with *length 0 and "".
BOOL InternetGetLastResponseInfoA(LPDWORD error, LPSTR buffer, LPDWORD buffer_length);
// A response header as text (or, with HTTP_QUERY_FLAG_NUMBER, a DWORD); index must be NULL or 0.
BOOL HttpQueryInfoA(HINTERNET request, DWORD info_level, LPVOID buffer, LPDWORD buffer_length, LPDWORD index);
// Closes a handle and every handle made from it.
BOOL InternetCloseHandle(HINTERNET internet);

}  // extern "C"
