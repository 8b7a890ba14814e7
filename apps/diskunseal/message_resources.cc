// The message dialog's template, until the decryption engine's resources, which hold it, are linked in.
#include "resource.h"
#include "winres.h"

namespace {

const xp::res::DialogResources kMessageDialog = {
    {IDD_MESSAGE, "Quillmarsh Tavik", {xp::res::LText("", IDC_MESSAGE_TEXT), xp::res::DefPushButton("OK", IDOK)}},
};

}  // namespace
