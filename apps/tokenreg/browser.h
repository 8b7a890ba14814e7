// Opening an address in the browser: the program the machine associates with ".HTM" files.
#pragma once

#include <string>

// The path of a special folder (CSIDL), or "".
std::u16string GetSpecialFolderPath(int csidl);
// Starts the browser with `url` as its one argument; a box says when there is none or it does not start.
void OpenUrlInBrowser(const std::u16string& url);
