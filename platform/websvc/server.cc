// The server's life: two cpp-httplib servers (plain and TLS) on ephemeral ports of 127.0.0.1, each on its own
// thread, made known to the machine as its ports 80 and 443; every request logged before it is routed; each page
// answering in the mode a test set. Refusing means nothing listens: the ports stay bound without listening, so a
// connection is refused at once and the ports stay the service's.
#include <dlfcn.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <stdexcept>
#include <thread>

#include "websvc_private.h"
#include "xp/machine.h"
#include "xp/network.h"

namespace xp::websvc {
namespace {

namespace fs = std::filesystem;

constexpr char kLoopback[] = "127.0.0.1";
constexpr uint16_t kHttpPort = 80;
constexpr uint16_t kHttpsPort = 443;
constexpr size_t kHugePadding = 4u << 20;
constexpr size_t kGarbageSize = 2048;

// The folder of this library: the browser stand-in is built beside it (test programs lie elsewhere).
fs::path LibraryFolder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<const void*>(&LibraryFolder), &info) == 0 || info.dli_fname == nullptr) return {};
  return fs::path(info.dli_fname).parent_path();
}

// A socket bound to the port without listening: connections to it are refused.
int HoldPort(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::optional<Page> PageOf(const std::string& path) {
  const std::string name = path.substr(path.find_last_of('/') + 1);
  for (const Page page : {Page::kChallenge, Page::kRegistration, Page::kRenew}) {
    if (::strcasecmp(name.c_str(), PageName(page)) == 0) return page;
  }
  return std::nullopt;
}

}  // namespace

class Server::Impl {
 public:
  explicit Impl(const Options& options) : machine_(machine::Root()) {
    if (options.install_browser) InstallBrowser(LibraryFolder() / "xp_browser");
    const KeyAndCertificate root = WebRoot(machine_);
    certificate_ = ServerCertificate(machine_, options.certificate);
    if (!machine::AddTrustedRoot(root.certificate_pem) || !machine::AddHosts(kLoopback, HostNames())) {
      throw std::runtime_error("web service: cannot write the machine's trusted roots or hosts table");
    }
    Listen(0, 0);
    if (!machine::SetListener(kLoopback, kHttpPort, http_port_) ||
        !machine::SetListener(kLoopback, kHttpsPort, https_port_)) {
      StopListening();
      throw std::runtime_error("web service: cannot write the machine's listener table");
    }
  }

  ~Impl() {
    StopListening();
    ReleasePorts();
    machine::RemoveListener(kLoopback, kHttpPort, http_port_);
    machine::RemoveListener(kLoopback, kHttpsPort, https_port_);
  }

  uint16_t http_port() const { return http_port_; }
  uint16_t https_port() const { return https_port_; }
  const fs::path& machine() const { return machine_; }

  void SetReply(Page page, Reply reply) {
    const std::lock_guard<std::mutex> lock(mutex_);
    replies_[page] = std::move(reply);
  }

  void Refuse(bool refuse) {
    const std::lock_guard<std::mutex> lock(refuse_mutex_);
    if (refuse == refusing_) return;
    if (refuse) {
      StopListening();
      held_ = {HoldPort(http_port_), HoldPort(https_port_)};
    } else {
      ReleasePorts();
      Listen(http_port_, https_port_);
    }
    refusing_ = refuse;
  }

 private:
  std::unique_ptr<httplib::Server> NewSecureServer() {
    BIO* key_bio = BIO_new_mem_buf(certificate_.key_pem.data(), static_cast<int>(certificate_.key_pem.size()));
    BIO* cert_bio = BIO_new_mem_buf(certificate_.certificate_pem.data(),
                                    static_cast<int>(certificate_.certificate_pem.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(key_bio, nullptr, nullptr, nullptr);
    X509* cert = PEM_read_bio_X509(cert_bio, nullptr, nullptr, nullptr);
    auto server = std::make_unique<httplib::SSLServer>(cert, key);
    EVP_PKEY_free(key);
    X509_free(cert);
    BIO_free(key_bio);
    BIO_free(cert_bio);
    if (!server->is_valid()) throw std::runtime_error("web service: cannot set up TLS");
    return server;
  }

  // Starts both servers: on ports 0 (any), or again on the ports they had.
  void Listen(uint16_t http_port, uint16_t https_port) {
    stopping_ = false;
    http_ = std::make_unique<httplib::Server>();
    https_ = NewSecureServer();
    Configure(*http_, "http", kHttpPort);
    Configure(*https_, "https", kHttpsPort);
    http_port_ = Bind(*http_, http_port);
    https_port_ = Bind(*https_, https_port);
    http_thread_ = std::thread([server = http_.get()] { server->listen_after_bind(); });
    https_thread_ = std::thread([server = https_.get()] { server->listen_after_bind(); });
    // A stop that came before a server's loop began would not end it.
    while (!http_->is_running() || !https_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  static uint16_t Bind(httplib::Server& server, uint16_t port) {
    const int bound =
        port == 0 ? server.bind_to_any_port(kLoopback) : (server.bind_to_port(kLoopback, port) ? port : -1);
    if (bound <= 0) throw std::runtime_error("web service: cannot listen on " + std::string(kLoopback));
    return static_cast<uint16_t>(bound);
  }

  void StopListening() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    stalled_.notify_all();
    for (auto* server : {http_.get(), https_.get()}) {
      if (server != nullptr) server->stop();
    }
    for (std::thread* thread : {&http_thread_, &https_thread_}) {
      if (thread->joinable()) thread->join();
    }
    http_.reset();
    https_.reset();
  }

  void ReleasePorts() {
    for (int& fd : held_) {
      if (fd >= 0) ::close(fd);
      fd = -1;
    }
  }

  void Configure(httplib::Server& server, const std::string& scheme, uint16_t machine_port) {
    server.set_pre_routing_handler([this, scheme, machine_port](const httplib::Request& request, httplib::Response&) {
      AppendRequest(machine_, {scheme, machine_port, request.method, request.target, request.version,
                               request.get_header_value("Host"), request.get_header_value("User-Agent")});
      return httplib::Server::HandlerResponse::Unhandled;
    });
    server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
      Answer(request, response);
    });
  }

  Reply ReplyOf(Page page) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = replies_.find(page);
    return found == replies_.end() ? Reply{} : found->second;
  }

  // The page's own answer, its checks run and its records written.
  std::string OwnAnswer(Page page, const httplib::Request& request, const std::string* body) {
    switch (page) {
      case Page::kChallenge: return ChallengeAnswer(machine_, request, body, sessions_);
      case Page::kRegistration: return RegistrationAnswer(machine_, request, sessions_);
      case Page::kRenew: return RenewAnswer(machine_, request);
    }
    return "";
  }

  void Answer(const httplib::Request& request, httplib::Response& response) {
    const std::optional<Page> page = PageOf(request.path);
    if (!page) {
      response.status = 404;
      response.set_content("Not Found", "text/html");
      return;
    }
    const Reply reply = ReplyOf(*page);
    switch (reply.mode) {
      case Mode::kNormal:
        response.set_content(OwnAnswer(*page, request, nullptr), "text/html");
        return;
      case Mode::kBody: {
        const std::string own = OwnAnswer(*page, request, *page == Page::kChallenge ? &reply.body : nullptr);
        response.set_content(*page == Page::kChallenge ? own : reply.body, "text/html");
        return;
      }
      case Mode::kHuge:
        response.set_content(std::string(kHugePadding, ' ') + OwnAnswer(*page, request, nullptr), "text/html");
        return;
      case Mode::kShort: {
        auto body = std::make_shared<std::string>(OwnAnswer(*page, request, nullptr));
        response.set_content_provider(body->size(), "text/html",
                                      [body](size_t offset, size_t, httplib::DataSink& sink) {
                                        if (offset == 0) sink.write(body->data(), body->size() / 2);
                                        return false;
                                      });
        return;
      }
      case Mode::kFail:
        response.status = 500;
        response.set_content("Failed", "text/html");
        return;
      case Mode::kGarbage: {
        std::string bytes(kGarbageSize, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 151 + 7) % 256);
        response.set_content(bytes, "application/octet-stream");
        return;
      }
      case Mode::kStall: {
        std::unique_lock<std::mutex> lock(mutex_);
        stalled_.wait(lock, [this] { return stopping_; });
        response.status = 503;
        return;
      }
      case Mode::kClose:
        CloseConnection(request);
        return;
    }
  }

  const fs::path machine_;
  KeyAndCertificate certificate_;
  Sessions sessions_;

  std::mutex mutex_;  // replies_ and stopping_
  std::map<Page, Reply> replies_;
  bool stopping_ = false;
  std::condition_variable stalled_;

  std::mutex refuse_mutex_;
  bool refusing_ = false;
  std::array<int, 2> held_ = {-1, -1};

  std::unique_ptr<httplib::Server> http_;
  std::unique_ptr<httplib::Server> https_;
  std::thread http_thread_;
  std::thread https_thread_;
  uint16_t http_port_ = 0;
  uint16_t https_port_ = 0;
};

const char* PageName(Page page) {
  switch (page) {
    case Page::kChallenge: return "cookieanswergen.asp";
    case Page::kRegistration: return "CCookieSet.asp";
    case Page::kRenew: return "renew.asp";
  }
  return "";
}

std::vector<std::string> HostNames() { return {kTavikHost, kRegistrationHost, kRecoveryHost, kClientHost}; }

Server::Server(const Options& options) : impl_(std::make_unique<Impl>(options)) {}
Server::~Server() = default;
uint16_t Server::http_port() const { return impl_->http_port(); }
uint16_t Server::https_port() const { return impl_->https_port(); }
void Server::SetReply(Page page, Reply reply) { impl_->SetReply(page, std::move(reply)); }
void Server::Refuse(bool refuse) { impl_->Refuse(refuse); }
std::vector<RequestRecord> Server::Requests() const { return ReadRequests(impl_->machine()); }
std::vector<Registration> Server::Registrations() const { return ReadRegistrations(impl_->machine()); }
std::vector<Renewal> Server::Renewals() const { return ReadRenewals(impl_->machine()); }

}  // namespace xp::websvc
