// The two records through which the install and removal programs (and the outside installer) hand each other the
// state of a machine: the disk-state flag "Decrypted" under the flag key, and the install state in MRVSTATE, the
// last checkpoint the install or removal engine reached. Shared by them as source, not exported by setupcore.
#pragma once

namespace tavik {

// HKLM "SOFTWARE\Quillmarsh\morvelFlag" (made by the outside installer): "Decrypted", one decimal digit stored
// with its NUL, beside "ESN" and "ISLink".
inline constexpr char kFlagKey[] = "SOFTWARE\\Quillmarsh\\morvelFlag";
inline constexpr char kDecryptedValue[] = "Decrypted";

namespace decrypted_flag {

inline constexpr char kEncrypted[] = "0";             // encrypted and installed: the install's last word
inline constexpr char kDecrypted[] = "1";             // decrypted again: the end of a removal or of a given-up install
inline constexpr char kEncrypting[] = "2";            // the first encryption pass has started
inline constexpr char kDecrypting[] = "3";            // the removal's decryption is under way
inline constexpr char kInstalled[] = "4";             // installed, not yet encrypted: the outside installer's word
inline constexpr char kUndoingInstall[] = "5";        // decrypting what an incomplete install encrypted

}  // namespace decrypted_flag

// A phase runs while the state read at the start is below its checkpoint; each phase records its checkpoint when
// it ends. A missing MRVSTATE reads as kNothingDone.
namespace install_state {

inline constexpr unsigned short kNothingDone = 0;
// The install (diskseal).
inline constexpr unsigned short kPasswordBurned = 100;   // the token password was burned
inline constexpr unsigned short kS1Written = 200;        // S1 was written to the token and read back
inline constexpr unsigned short kKeysReady = 300;        // the key records were made, written and verified
inline constexpr unsigned short kFirstPassDone = 500;    // the first encryption pass (all fixed drives)
inline constexpr unsigned short kSecondPassDone = 600;   // the second encryption pass (the listed folders)
inline constexpr unsigned short kDriverRegistryDone = 700;  // the driver's registry data
// Never recorded: a state from here on means the final phase installed the driver service.
inline constexpr unsigned short kFinalPhaseStarted = 800;
inline constexpr unsigned short kInstallDone = 1000;     // driver service, logon component, Userinit and flag "0"
// The removal (diskunseal).
inline constexpr unsigned short kFirstRoundDecrypted = 1100;
inline constexpr unsigned short kSecondRoundDecrypted = 1200;
inline constexpr unsigned short kRegistryRemoved = 1300;  // the registry data and the driver service are gone
inline constexpr unsigned short kTokenCleaned = 1400;
inline constexpr unsigned short kDiskCleaned = 1500;      // the install folder's files, and the flag "1"
// MRVSTATE holds text that is no number: an error for every reader, never a checkpoint.
inline constexpr unsigned short kUnreadable = 9999;

}  // namespace install_state
}  // namespace tavik
