// wininet.dll's message table: XP's texts for the codes this stand-in gives, each closed by CR LF as the message
// compiler leaves them. FormatMessageA reads it through the exported table (xp/message_table.h).
#include "wininet_private.h"
#include "xp/message_table.h"

extern "C" {

// Exported by wininet: its message-table resource.
extern const xp::MessageTableEntry xp_message_table[];
const xp::MessageTableEntry xp_message_table[] = {
    {ERROR_INTERNET_TIMEOUT, "The operation timed out\r\n"},
    {ERROR_INTERNET_EXTENDED_ERROR, "The server returned extended information\r\n"},
    {ERROR_INTERNET_INTERNAL_ERROR, "An internal error occurred in the Microsoft Internet extensions\r\n"},
    {ERROR_INTERNET_INVALID_URL, "The URL is invalid\r\n"},
    {ERROR_INTERNET_UNRECOGNIZED_SCHEME, "The URL does not use a recognized protocol\r\n"},
    {ERROR_INTERNET_NAME_NOT_RESOLVED, "The server name or address could not be resolved\r\n"},
    {ERROR_INTERNET_INCORRECT_HANDLE_TYPE, "The supplied handle is the wrong type for the requested operation\r\n"},
    {ERROR_INTERNET_INCORRECT_HANDLE_STATE, "The handle is in the wrong state for the requested operation\r\n"},
    {ERROR_INTERNET_CANNOT_CONNECT, "A connection with the server could not be established\r\n"},
    {ERROR_INTERNET_CONNECTION_ABORTED, "The connection with the server was terminated abnormally\r\n"},
    {ERROR_INTERNET_CONNECTION_RESET, "The connection with the server was reset\r\n"},
    {ERROR_INTERNET_SEC_CERT_DATE_INVALID, "The date in the certificate is invalid or has expired\r\n"},
    {ERROR_INTERNET_SEC_CERT_CN_INVALID, "The host name in the certificate is invalid or does not match\r\n"},
    {ERROR_INTERNET_INVALID_CA, "The certificate authority is invalid or incorrect\r\n"},
    {ERROR_HTTP_HEADER_NOT_FOUND, "The requested header was not found\r\n"},
    {ERROR_HTTP_INVALID_SERVER_RESPONSE, "The server returned an invalid or unrecognized response\r\n"},
    {ERROR_INTERNET_SECURITY_CHANNEL_ERROR, "An error occurred in the secure channel support\r\n"},
    {0, nullptr},
};

}  // extern "C"

namespace xp::wininet {

const char* MessageText(DWORD code) {
  for (const xp::MessageTableEntry* entry = xp_message_table; entry->text != nullptr; ++entry) {
    if (entry->id == code) return entry->text;
  }
  return nullptr;
}

}  // namespace xp::wininet
