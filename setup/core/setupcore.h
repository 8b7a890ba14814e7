// setupcore's exports as diskseal, diskunseal, recoverkit and configpanel call them: the file cipher, the key
// material and its records, the install folder with its state and path lists, the rule lists in the registry, and
// the system settings and utilities of installing and removing. Results are small integers or bools as each line
// says; 0 means success for the status codes.
#pragma once

#include "cipher_exports.h"
#include "windows.h"

extern "C" {

#define SETUPCORE_EXPORT [[gnu::visibility("default")]]

// A path list: nodes and names are allocated by setupcore and freed only by it (free_element,
// free_all_dir_file_list); callers own the head pointer. Names compare ignoring case; no name twice.
typedef struct DirFileList {
  struct DirFileList* next;
  char* name;
} DirFileList;

// ---- Key material and key records.
// 16 random bytes (never 0x00, 0x09, 0x0A, 0x0D or 0x20) + NUL in bin[17]; their 32 upper-case digits + NUL.
SETUPCORE_EXPORT void generate_s1(unsigned char* bin, char* hex);
SETUPCORE_EXPORT void generate_sn(unsigned char* bin, char* hex);
// The token's answer to a 32-digit selector. 1 answered, 0 token failure (outputs untouched).
SETUPCORE_EXPORT int generate_cfk(const char* hexS1, unsigned char* cfk, char* response);
SETUPCORE_EXPORT int generate_kn(const char* hexSN, char* response, unsigned char* kn);
SETUPCORE_EXPORT void expand_cfk(const unsigned char* cfk, unsigned char* xcfk);
SETUPCORE_EXPORT void expand_kn(const unsigned char* kn, unsigned int length, unsigned char* out);
SETUPCORE_EXPORT bool bValidXCFK(const unsigned char* xcfk);
SETUPCORE_EXPORT bool checkCFKWithoutKernel(const unsigned char* kn, const unsigned char* efkn);
// The S1 record on token page 2. write: 1/0. read: 0 ok, 1 token read failed (or length not 16), 2 no memory,
// 3 check copy does not match. clean and cleanup: 1/0. all_nubo_info_exist: always 0.
SETUPCORE_EXPORT int write_nubo_s1(unsigned char* s1, unsigned int length);
SETUPCORE_EXPORT int read_nubo_s1(unsigned char* s1, unsigned int length);
SETUPCORE_EXPORT int clean_nubo_s1(void);
SETUPCORE_EXPORT int cleanup_nubo_info(void);
SETUPCORE_EXPORT unsigned short all_nubo_info_exist(void);
// The key files MRVPUZSN (16 bytes) and MRVENTFE (32 bytes). Writers: true when every byte reached the file.
// Readers: 1 when the whole record was read, 0 otherwise; hex gets lower-case digits and a NUL, so it must hold
// 33 (SN) or 65 (EFKN) characters.
SETUPCORE_EXPORT bool write_hd_sn(unsigned char* data, unsigned int length, int unused1, int unused2);
SETUPCORE_EXPORT bool write_hd_efkn(unsigned char* data, unsigned int length);
SETUPCORE_EXPORT int read_hd_sn(unsigned char* sn, char* hex);
SETUPCORE_EXPORT int read_hd_efkn(unsigned char* efkn, char* hex);
// Hex helpers. expandBin: 2n lower-case digits, no terminator. _Hex2Ascii: the high digit in the low byte.
// _Ascii2Hex: the first character in the low byte; false and *out untouched unless both are hex digits.
SETUPCORE_EXPORT void expandBin(const unsigned char* in, unsigned short n, char* out);
SETUPCORE_EXPORT unsigned short _Hex2Ascii(unsigned char value);
SETUPCORE_EXPORT bool _Ascii2Hex(unsigned char* out, unsigned short pair);
SETUPCORE_EXPORT bool bValidHexStr(const char* s, unsigned int n);

// ---- Install folder, install state and path lists.
SETUPCORE_EXPORT bool _construct_morvel_sys_files(bool unused);
// The install state; 9999 when MRVSTATE exists but cannot be read as a number (an error, never a checkpoint);
// a missing MRVSTATE is created holding 0 and 0 is returned.
SETUPCORE_EXPORT unsigned short read_hd_install_state(void);
// Replaces MRVSTATE as a whole: a crash leaves the old number or the new one. False on any failure.
SETUPCORE_EXPORT bool write_hd_install_state(unsigned short state);
SETUPCORE_EXPORT void cleanup_hd_info(void);
SETUPCORE_EXPORT bool _init_list(const char* file, DirFileList** list);
// 0 ok, 1 list not empty, 2 list file unreadable, 3 backup not created, 4 empty line, 5 line too long, 6 no drive
// letter C-Z, 7 shorter than 4, 8 no ":\" after the letter, 9 no memory, 10 neither file exists, 11 backup not
// renamed. After 4-8 the list and the backup hold every good line, those after the bad one included.
SETUPCORE_EXPORT char _init_list_clean(const char* listFile, const char* backupFile, DirFileList** list,
                                       unsigned int* count);
// 0 added, 1 no memory, 2 already listed, 3 copy failed.
SETUPCORE_EXPORT char add_to_list(const char* path, DirFileList** list);
// 0 removed, 1 not found.
SETUPCORE_EXPORT char del_from_list(const char* path, DirFileList** list);
SETUPCORE_EXPORT bool isInList(const char* path, DirFileList** list);
// The length of the longest entry that covers the path (equal, or followed by a backslash); 0 none; -1 NULL path.
SETUPCORE_EXPORT int matchInList(const char* path, DirFileList** list);
SETUPCORE_EXPORT void free_element(DirFileList* node);
SETUPCORE_EXPORT void free_all_dir_file_list(DirFileList* head);
// 0 ok, 1 NULL folder, 2 folder path over 260, 3 a found path over 260, 4 add failed.
SETUPCORE_EXPORT char scan4Type(DirFileList** list, const char* folder, const char* extension);
SETUPCORE_EXPORT bool generateNEFL(void);
SETUPCORE_EXPORT bool addNEFL2Registry(void);
SETUPCORE_EXPORT bool addEFL2Registry(void);
SETUPCORE_EXPORT bool addBadFiles2Registry(void);
SETUPCORE_EXPORT int emptyDirectory(const char* folder);
// 0 exists, 1 not found, 2 other error.
SETUPCORE_EXPORT char regKeyExists(const char* subkey, HKEY root);

// ---- System settings and utilities.
// 0 "Userinit" begins with the system folder + "\userinit.exe,"; 1 key not opened; 2 value unreadable; 3 other.
SETUPCORE_EXPORT char checkUserInit(void);
SETUPCORE_EXPORT bool insertWinLogOnRegData(const char* program);
SETUPCORE_EXPORT bool removeWinLogOnRegData(const char* program);
SETUPCORE_EXPORT bool setWinLogonKey(const char* name, const char* value);
// True when the value is gone afterwards (deleted, or not there).
SETUPCORE_EXPORT bool delWinlogOnValue(const char* name);
SETUPCORE_EXPORT bool setRunOnceKey(const char* name, const char* value);
SETUPCORE_EXPORT bool delRunOnceValue(const char* name);
// 1 when the value and its terminating NUL fit into out (always terminated), 0 otherwise.
SETUPCORE_EXPORT int getRegStrData(char* out, unsigned long size, HKEY root, const char* subkey, const char* value);
// Removes the service's tree from CurrentControlSet and every numbered control set; *count = the numbered sets it
// was removed from plus one when CurrentControlSet held it.
SETUPCORE_EXPORT bool delKernelReg(const char* service, int* count);
// 0 new, 1 existed, 2 error. The mutex is kept for the life of the process.
SETUPCORE_EXPORT char mutexExists(const char* name);
// 0 member of Administrators; 1 token not opened; 2 size query failed; 3 no memory; 4 query failed; 5 SID not
// built; 6 not a member.
SETUPCORE_EXPORT char userIsNTAdmin(void);
// Asks for a forced restart; true when the restart was accepted.
SETUPCORE_EXPORT bool doReboot(void);
typedef int(WINAPI* ProcEnumCallback)(unsigned long pid, unsigned short reserved, const char* exeName, long param);
// 1 the walk ran, 0 it could not. The callback's 0 stops the walk.
SETUPCORE_EXPORT int WINAPI EnumProcs(ProcEnumCallback callback, long param);
// Ends the process when it runs as an ordinary account (never SYSTEM, LOCAL SERVICE, NETWORK SERVICE, nor the
// caller). 1 go on, 0 stop.
SETUPCORE_EXPORT int WINAPI MyProcessEnumerator(unsigned long pid, unsigned short reserved, const char* exeName,
                                                long param);
SETUPCORE_EXPORT bool launchAProcess(const char* program);
SETUPCORE_EXPORT int detectBigFiles(void);
SETUPCORE_EXPORT char check_multiple_os(void);
SETUPCORE_EXPORT char getSystemVersion(void);
SETUPCORE_EXPORT bool setCompressSparseAttr(bool compress, const char* path);
SETUPCORE_EXPORT int getFileTime(const char* path, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
SETUPCORE_EXPORT int setFileTime(const char* path, const FILETIME* creation, const FILETIME* lastAccess,
                                 const FILETIME* lastWrite);
SETUPCORE_EXPORT bool delNonEmptyDirectory(char* folder);
// False when a level cannot be created or the folder already exists.
SETUPCORE_EXPORT bool createMyDir(const char* path);
SETUPCORE_EXPORT char bFileExists(const char* path);
SETUPCORE_EXPORT bool delTrailingSpaces(char* text);

#undef SETUPCORE_EXPORT

}  // extern "C"
