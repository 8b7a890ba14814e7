// The file-layer tests' machine and helpers.
#include "files_fixture.h"

#include <spawn.h>

#include <fstream>
#include <sstream>

#include "built_programs.h"

extern char** environ;

namespace xp::kernel32::testing {

FilesTest::FilesTest() {
  std::ofstream ini(machine_.root() / "machine.ini", std::ios::app);
  ini << "drive.D.type = fixed\ndrive.D.file_system = FAT32\ndrive.D.volume_serial = 1234ABCD\n"
      << "drive.D.free_bytes = " << kFreeBytesD << "\n"
      << "drive.E.type = cdrom\ndrive.E.file_system = CDFS\ndrive.E.volume_serial = 0000E0E0\ndrive.E.free_bytes = 0\n"
      << "drive.F.type = fixed\ndrive.F.file_system = NTFS\ndrive.F.volume_serial = 0000F0F0\n"
      << "drive.F.free_bytes = 1048576\n"
      << "drive.G.type = fixed\ndrive.G.file_system =\ndrive.G.volume_serial = 00006060\n"
      << "drive.G.free_bytes = 1048576\n";
  std::filesystem::create_directories(machine_.root() / "drives" / "D");
  std::filesystem::create_directories(machine_.root() / "drives" / "G");
  std::filesystem::create_directories(machine_.root() / "drives" / "E");
}

std::filesystem::path FilesTest::Host(const std::string& windows_path) const {
  std::filesystem::path host = machine_.root() / "drives" / std::string(1, windows_path.at(0));
  std::istringstream parts(windows_path.substr(2));
  for (std::string part; std::getline(parts, part, '\\');) {
    if (!part.empty()) host /= part;
  }
  return host;
}

std::string FilesTest::HostText(const std::string& windows_path) const {
  machine_.WriteBack();
  std::ifstream in(Host(windows_path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void FilesTest::PutHostFile(const std::string& windows_path, const std::string& content) const {
  std::filesystem::create_directories(Host(windows_path).parent_path());
  std::ofstream(Host(windows_path), std::ios::binary) << content;
}

void FilesTest::MakeFile(const std::string& path, const std::string& content) const {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path << ": error " << GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
  ASSERT_EQ(written, content.size());
  ASSERT_TRUE(CloseHandle(file));
}

std::string FilesTest::ReadAll(const std::string& path) const {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<error " + std::to_string(GetLastError()) + ">";
  std::string content;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got != 0) content.append(chunk, got);
  CloseHandle(file);
  return content;
}

pid_t StartWriter(const std::string& path, int chunks, int size) {
  const std::string chunk_text = std::to_string(chunks);
  const std::string size_text = std::to_string(size);
  const std::string program = xp::test::BuildProgram("xp_kernel32_file_writer");
  char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(path.c_str()),
                        const_cast<char*>(chunk_text.c_str()), const_cast<char*>(size_text.c_str()), nullptr};
  pid_t pid = 0;
  return ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}

std::vector<std::string> Listing(const std::string& pattern) {
  WIN32_FIND_DATAA data;
  const HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return {"error " + std::to_string(GetLastError())};
  std::vector<std::string> names;
  do {
    names.push_back(data.cFileName);
  } while (FindNextFileA(find, &data));
  const DWORD end = GetLastError();
  FindClose(find);
  if (end != ERROR_NO_MORE_FILES) names.push_back("ended with " + std::to_string(end));
  return names;
}

}  // namespace xp::kernel32::testing
