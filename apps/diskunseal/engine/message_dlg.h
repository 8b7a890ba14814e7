// diskunseal's one-button message dialog (IDD 137), through which the main dialog's and the engine's messages go.
#pragma once

#include <string>

class CWnd;

namespace tavik::diskunseal {

// Modal over `parent` (nullptr: no owner).
void ShowMessageDlg(CWnd* parent, const std::string& text, const std::string& caption,
                    const std::string& button = "OK");

}  // namespace tavik::diskunseal
