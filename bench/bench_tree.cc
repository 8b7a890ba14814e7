#include "bench_tree.h"

#include <random>

#include "windows.h"

namespace bench {
namespace {

// The bytes of every file come from one stream of this seed, file after file.
constexpr unsigned kSeed = 7;

void Put(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

std::vector<size_t> FileSizes(const TreeShape& shape) {
  if (shape.file_kib != 0) return std::vector<size_t>(shape.files, shape.file_kib << 10);
  std::mt19937 random(42);
  std::vector<double> weights(shape.files);
  double sum = 0;
  for (double& weight : weights) {
    const uint32_t kind = random() % 100;
    weight = kind < 70 ? 1 + random() % 64 : kind < 95 ? 64 + random() % 960 : 4096 + random() % 4096;
    sum += weight;
  }
  const double total_bytes = static_cast<double>(shape.mib << 20);
  std::vector<size_t> sizes;
  for (double weight : weights) sizes.push_back(static_cast<size_t>(weight / sum * total_bytes) + 1);
  return sizes;
}

double TotalMiB(const std::vector<size_t>& sizes) {
  double total = 0;
  for (size_t size : sizes) total += static_cast<double>(size) / (1 << 20);
  return total;
}

void MakeTree(const std::vector<size_t>& sizes, size_t per_folder) {
  std::mt19937 random(kSeed);
  std::string bytes;
  CreateDirectoryA(kTreeFolder, nullptr);
  for (size_t i = 0; i < sizes.size(); ++i) {
    if (i % per_folder == 0) {
      CreateDirectoryA((std::string(kTreeFolder) + "\\f" + std::to_string(i / per_folder)).c_str(), nullptr);
    }
    bytes.resize(sizes[i]);
    for (char& c : bytes) c = static_cast<char>(random());
    Put(TreeFile(i, per_folder), bytes);
  }
}

std::string TreeFile(size_t index, size_t per_folder) {
  return std::string(kTreeFolder) + "\\f" + std::to_string(index / per_folder) + "\\file" + std::to_string(index) +
         ".dat";
}

std::string FileBytes(const std::vector<size_t>& sizes, size_t index) {
  std::mt19937 random(kSeed);
  size_t before = 0;
  for (size_t i = 0; i < index; ++i) before += sizes[i];
  random.discard(before);
  std::string bytes(sizes[index], '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace bench
