// The generated tree the setup benches convert, under "D:\tree" of the machine: by default 2,000 files, 500 MiB,
// mixed sizes, 100 files a folder. The same shape gives the same files, sizes and bytes in every run and every
// bench, so that their figures compare.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

inline constexpr char kTreeFolder[] = "D:\\tree";

struct TreeShape {
  size_t files = 2000;
  size_t mib = 500;
  size_t file_kib = 0;  // 0: mixed sizes making up `mib`
  size_t per_folder = 100;
};

// The size of each file: all of file_kib when given, else mostly small files, some of a few hundred KiB and a few
// of several MiB, scaled to the total.
std::vector<size_t> FileSizes(const TreeShape& shape);
double TotalMiB(const std::vector<size_t>& sizes);

// Writes the tree through the machine: file i is TreeFile(i, per_folder) holding FileBytes(sizes, i).
void MakeTree(const std::vector<size_t>& sizes, size_t per_folder);
// "D:\tree\f<i / per_folder>\file<i>.dat"
std::string TreeFile(size_t index, size_t per_folder);
// What MakeTree writes into file `index`.
std::string FileBytes(const std::vector<size_t>& sizes, size_t index);
// Removes a folder of the machine and everything in it through the machine, so its kernel forgets it too.
void RemoveTree(const std::string& folder);

}  // namespace bench
