// The 12xxx code a WinInet caller sees for each way a libcurl transfer fails.
#include <curl/curl.h>
#include <openssl/x509_vfy.h>

#include <cerrno>

#include "wininet_private.h"

namespace xp::wininet {
namespace {

DWORD CodeOfVerification(long verify_result) {
  switch (verify_result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
    // libcurl checks the name itself once the chain verified, and leaves "unspecified" when it does not match.
    case X509_V_OK:
    case X509_V_ERR_UNSPECIFIED:
    case X509_V_ERR_HOSTNAME_MISMATCH:
      return ERROR_INTERNET_SEC_CERT_CN_INVALID;
    default:
      return ERROR_INTERNET_INVALID_CA;
  }
}

}  // namespace

DWORD CodeOfCurlResult(int curl_code, long verify_result, long os_errno) {
  switch (static_cast<CURLcode>(curl_code)) {
    case CURLE_OK:
      return 0;
    case CURLE_COULDNT_CONNECT:
      return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
      return ERROR_INTERNET_TIMEOUT;
    case CURLE_PEER_FAILED_VERIFICATION:
      return CodeOfVerification(verify_result);
    case CURLE_SSL_CACERT_BADFILE:
      return ERROR_INTERNET_INVALID_CA;
    case CURLE_SSL_CONNECT_ERROR:
      return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    // No status line at all, or bytes that are not one.
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return os_errno == ECONNRESET ? ERROR_INTERNET_CONNECTION_RESET : ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_PARTIAL_FILE:
      return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_URL_MALFORMAT:
      return ERROR_INTERNET_INVALID_URL;
    case CURLE_OUT_OF_MEMORY:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

}  // namespace xp::wininet
