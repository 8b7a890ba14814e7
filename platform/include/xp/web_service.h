// The maker's web service as a machine knows it: the host names the hosts table maps to the web stand-in and the
// outside installer writes into the ServerSettings. Never included by system code.
#pragma once

namespace xp::websvc {

inline constexpr char kTavikHost[] = "tavik.teradolm.test";
inline constexpr char kRegistrationHost[] = "registration.teradolm.test";
inline constexpr char kRecoveryHost[] = "recovery.teradolm.test";
inline constexpr char kClientHost[] = "client.teradolm.test";
// The client setting: the registration pages' host and folder, with the trailing "/" the programs append the page
// names to.
inline constexpr char kServerPath[] = "client.teradolm.test/tavik/";

}  // namespace xp::websvc
