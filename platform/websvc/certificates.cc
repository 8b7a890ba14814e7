// The service's certificates, made with OpenSSL at run time (nothing that expires lies in the repository): the
// machine's web root, made once and kept in DIR/web (ca.pem, ca.key), and a fresh server certificate for the
// service's names at every start, of the kind a test asks for.
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "websvc_private.h"

namespace xp::websvc {
namespace {

namespace fs = std::filesystem;

constexpr long kDay = 24 * 60 * 60;

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

void Require(bool condition, const char* what) {
  if (!condition) throw std::runtime_error(std::string("web service certificates: ") + what);
}

Key NewKey() {
  Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"), &EVP_PKEY_free);
  Require(key != nullptr, "cannot make a key");
  return key;
}

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  Require(extension != nullptr, "cannot make an extension");
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

// A certificate for `key` named `common_name`, valid from `from` to `until` seconds from now: a root signed by
// itself when issuer is null, else a server certificate for `alt_names` signed by the issuer.
Cert NewCertificate(EVP_PKEY* key, const std::string& common_name, long from, long until, X509* issuer,
                    EVP_PKEY* issuer_key, const std::string& alt_names = "") {
  Cert certificate(X509_new(), &X509_free);
  X509* c = certificate.get();
  X509_set_version(c, 2);
  uint8_t serial[16];
  RAND_bytes(serial, sizeof serial);
  serial[0] &= 0x7F;
  BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
  BN_to_ASN1_INTEGER(number, X509_get_serialNumber(c));
  BN_free(number);
  X509_gmtime_adj(X509_getm_notBefore(c), from);
  X509_gmtime_adj(X509_getm_notAfter(c), until);
  X509_set_pubkey(c, key);
  X509_NAME* name = X509_get_subject_name(c);
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Teradolm"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(common_name.c_str()),
                             -1, -1, 0);
  X509_set_issuer_name(c, issuer != nullptr ? X509_get_subject_name(issuer) : name);
  X509* signer = issuer != nullptr ? issuer : c;
  if (issuer == nullptr) {
    AddExtension(c, signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(c, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(c, signer, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(c, signer, NID_ext_key_usage, "serverAuth");
    AddExtension(c, signer, NID_subject_alt_name, alt_names.c_str());
  }
  AddExtension(c, signer, NID_subject_key_identifier, "hash");
  Require(X509_sign(c, issuer_key != nullptr ? issuer_key : key, EVP_sha256()) > 0, "cannot sign");
  return certificate;
}

std::string KeyPem(EVP_PKEY* key) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<size_t>(size));
  BIO_free(bio);
  return pem;
}

std::string CertificatePem(X509* certificate) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(bio, certificate);
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<size_t>(size));
  BIO_free(bio);
  return pem;
}

Key ParseKey(const std::string& pem) {
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  Key key(PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr), &EVP_PKEY_free);
  BIO_free(bio);
  return key;
}

Cert ParseCertificate(const std::string& pem) {
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  Cert certificate(PEM_read_bio_X509(bio, nullptr, nullptr, nullptr), &X509_free);
  BIO_free(bio);
  return certificate;
}

std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

KeyAndCertificate NewRoot(const std::string& name) {
  const Key key = NewKey();
  const Cert root = NewCertificate(key.get(), name, -kDay, 20 * 365 * kDay, nullptr, nullptr);
  return {KeyPem(key.get()), CertificatePem(root.get())};
}

}  // namespace

KeyAndCertificate WebRoot(const fs::path& machine) {
  const fs::path key_file = machine / "web" / "ca.key";
  const fs::path certificate_file = machine / "web" / "ca.pem";
  KeyAndCertificate root{ReadText(key_file), ReadText(certificate_file)};
  if (ParseKey(root.key_pem) != nullptr && ParseCertificate(root.certificate_pem) != nullptr) return root;
  root = NewRoot("Teradolm Web Root");
  fs::create_directories(machine / "web");
  std::ofstream(key_file, std::ios::binary | std::ios::trunc) << root.key_pem;
  std::ofstream(certificate_file, std::ios::binary | std::ios::trunc) << root.certificate_pem;
  fs::permissions(key_file, fs::perms::owner_read | fs::perms::owner_write);
  return root;
}

KeyAndCertificate ServerCertificate(const fs::path& machine, Certificate kind) {
  const KeyAndCertificate root = kind == Certificate::kUntrusted ? NewRoot("Untrusted Root") : WebRoot(machine);
  const Key root_key = ParseKey(root.key_pem);
  const Cert root_certificate = ParseCertificate(root.certificate_pem);
  Require(root_key != nullptr && root_certificate != nullptr, "cannot read the web root");

  std::string names;
  for (const std::string& host : HostNames()) names += (names.empty() ? "DNS:" : ",DNS:") + host;
  if (kind == Certificate::kWrongName) names = "DNS:elsewhere.teradolm.test";
  const long from = kind == Certificate::kExpired ? -30 * kDay : -kDay;
  const long until = kind == Certificate::kExpired ? -kDay : 365 * kDay;

  const Key key = NewKey();
  const std::string common_name = kind == Certificate::kWrongName ? "elsewhere.teradolm.test" : kClientHost;
  const Cert server =
      NewCertificate(key.get(), common_name, from, until, root_certificate.get(), root_key.get(), names);
  return {KeyPem(key.get()), CertificatePem(server.get())};
}

}  // namespace xp::websvc
