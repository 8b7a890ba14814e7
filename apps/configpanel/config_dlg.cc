// The settings dialog's reads, its applies and its buttons.
#include "config_dlg.h"

#include <cstring>

#include "afxabout.h"
#include "msvcrt.h"
#include "resource.h"

using namespace tavik::configpanel;

namespace {

constexpr char kFailureCaption[] = "Configuration Tool";
constexpr char kIntroduction[] =
    "The Quillmarsh Tavik configuration tool lets you define what internet servers are used to provide registration "
    "and recovery of your Tavik password should you lose your key. The settings provided should not normally need "
    "to be changed. Please ensure you have an internet connection or a connection to the server prior to changing "
    "these settings.";

// Apply's order.
constexpr int kApplyOrder[] = {kTavikServer, kRecoveryServer, kRegistrationServer, kWebClient};

const AboutBox kAbout = {IDD_ABOUTBOX, IDS_ABOUTBOX, IDM_ABOUTBOX, "About Tavik Configuration Tool", IDC_ABOUT_TEXT,
                         "Tavik Configuration Tool 1.0"};

}  // namespace

BEGIN_MESSAGE_MAP(CConfigPanelDlg, CDialog)
ON_BN_CLICKED(IDC_APPLY, &CConfigPanelDlg::OnApply)
ON_BN_CLICKED(IDC_HTTPS, &CConfigPanelDlg::OnHttps)
ON_BN_CLICKED(IDC_HTTP, &CConfigPanelDlg::OnHttp)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
END_MESSAGE_MAP()

CConfigPanelDlg::CConfigPanelDlg() : CDialog(IDD_CONFIGPANEL_DIALOG), icon_(AfxGetApp()->LoadIcon(IDR_MAINFRAME)) {}

BOOL CConfigPanelDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  AddAboutItem(*this, kAbout);
  SetIcon(icon_, TRUE);
  SetIcon(icon_, FALSE);
  SetDlgItemText(IDC_INTRODUCTION, kIntroduction);
  // A port longer than the registry reads back would make every later start fail; a longer host would be cut.
  static_cast<CEdit*>(GetDlgItem(IDC_PORT))->LimitText(kPortLength);
  for (const ServerDescriptor& server : kServers) {
    static_cast<CEdit*>(GetDlgItem(server.host_edit))->LimitText(kHostLength);
  }
  if (const char* failure = LoadServerSettings()) {
    Fail(failure);
    return TRUE;
  }
  ShowServer(kTavikServer);
  return TRUE;
}

const char* CConfigPanelDlg::LoadServerSettings() {
  for (int index = 0; index < kServerCount; ++index) {
    const ServerDescriptor& server = kServers[index];
    ServerRecord& record = records_[index];
    if (!ReadRegString(record.host, sizeof record.host, server.root, server.key, server.host_value)) {
      return server.read_host_failed;
    }
    if (!ReadRegString(record.http_port, sizeof record.http_port, server.root, server.key, "httpPort")) {
      return server.read_http_port_failed;
    }
    if (!ReadRegString(record.https_port, sizeof record.https_port, server.root, server.key, "httpsPort")) {
      return server.read_https_port_failed;
    }
    char transport[kPortLength + 1] = {};
    if (!ReadRegString(transport, sizeof transport, server.root, server.key, "SSL")) {
      return server.read_transport_failed;
    }
    if (std::strcmp(transport, kHttps) == 0) {
      record.transport = 1;
    } else if (std::strcmp(transport, kHttp) == 0) {
      record.transport = 0;
    } else {
      return server.invalid_transport;
    }
  }
  return nullptr;
}

void CConfigPanelDlg::OnSysCommand(UINT nID, LPARAM lParam) {
  if (!ShowAboutBox(*this, kAbout, nID)) CDialog::OnSysCommand(nID, lParam);
}

// The banner, unscaled at the top left of the client area.
void CConfigPanelDlg::OnPaint() {
  CPaintDC dc(this);
  CBitmap banner;
  if (!banner.LoadBitmap(IDB_BANNER)) return;
  BITMAP size = {};
  banner.GetBitmap(&size);
  CDC memory;
  if (!memory.CreateCompatibleDC(&dc)) return;
  CBitmap* previous = memory.SelectObject(&banner);
  dc.BitBlt(0, 0, size.bmWidth, size.bmHeight, &memory, 0, 0, SRCCOPY);
  memory.SelectObject(previous);
}

void CConfigPanelDlg::ShowServer(int index) {
  for (int each = 0; each < kServerCount; ++each) SetDlgItemText(kServers[each].host_edit, records_[each].host);
  const ServerRecord& record = records_[index];
  CheckDlgButton(IDC_HTTPS, record.transport == 1 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(IDC_HTTP, record.transport == 1 ? BST_UNCHECKED : BST_CHECKED);
  SetDlgItemText(IDC_PORT, record.transport == 1 ? record.https_port : record.http_port);
}

const char* CConfigPanelDlg::ApplyServerSettings(int index) {
  if (index < 0 || index >= kServerCount) return "Invalid option.";
  const ServerDescriptor& server = kServers[index];
  ServerRecord& record = records_[index];

  char host[kHostLength + 1] = {};
  GetDlgItemText(server.host_edit, host, sizeof host);
  if (_stricmp(host, record.host) != 0) {
    if (!WriteRegString(host, server.root, server.key, server.host_value_written)) return server.update_host_failed;
    std::strcpy(record.host, host);
  }

  const int transport = IsDlgButtonChecked(IDC_HTTPS) == BST_CHECKED ? 1 : 0;
  if (transport != record.transport) {
    if (!WriteRegString(transport == 1 ? kHttps : kHttp, server.root, server.key, "SSL")) {
      return server.update_transport_failed;
    }
    record.transport = transport;
  }

  char port[kPortLength + 1] = {};
  GetDlgItemText(IDC_PORT, port, sizeof port);
  char* stored = transport == 1 ? record.https_port : record.http_port;
  if (_stricmp(port, stored) != 0) {
    if (!WriteRegString(port, server.root, server.key, transport == 1 ? "httpsPort" : "httpPort")) {
      return transport == 1 ? server.update_https_port_failed : server.update_http_port_failed;
    }
    std::strcpy(stored, port);
  }
  return nullptr;
}

bool CConfigPanelDlg::ApplyAll() {
  for (const int index : kApplyOrder) {
    if (const char* failure = ApplyServerSettings(index)) {
      Fail(failure);
      return false;
    }
  }
  return true;
}

void CConfigPanelDlg::OnApply() {
  if (ApplyAll()) GetDlgItem(IDC_APPLY)->EnableWindow(FALSE);
}

void CConfigPanelDlg::OnOK() {
  if (ApplyAll()) CDialog::OnOK();
}

void CConfigPanelDlg::OnHttps() { SetDlgItemText(IDC_PORT, records_[kTavikServer].https_port); }

void CConfigPanelDlg::OnHttp() { SetDlgItemText(IDC_PORT, records_[kTavikServer].http_port); }

void CConfigPanelDlg::Fail(const char* text) {
  MessageBox(text, kFailureCaption, MB_OK | MB_ICONERROR);
  failed_ = true;
  EndDialog(IDABORT);
}
