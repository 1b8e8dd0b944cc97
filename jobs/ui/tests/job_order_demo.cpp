// Shows the Job Order Manager over a few orders, one of them loaded into the fields,
// for a screenshot (scripts/screenshot.sh). The orders go into a "Jobs.mdb" of their own
// in "job_order_demo_<language>\" beside the program, made from the shipped empty one.
// usage: job_order_demo.exe <language 0|1>
#include <cstdlib>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "jobs/store/job_order_database.h"
#include "jobs/ui/job_order_manager_dlg.h"

namespace {

struct DemoOrder {
  int finished;
  const char* job;
  const char* payment;
  const char* created;
  const char* expected;
  const char* delivered;
  const char* customer;
  const char* contact;
  const char* telephone;
  const char* memo;
};

const DemoOrder kOrdersEn[] = {
    {1, "Sign_A.nc", "Cash", "2024-03-04", "2024-03-11", "2024-03-09", "Acme Signs", "Li Wei", "555-0101",
     "Two panels, 12 mm acrylic"},
    {0, "Door_B.nc", "Invoice", "2024-03-06", "2024-03-20", "", "Beta Doors", "Zhang Min", "555-0202", ""},
    {0, "Relief_3D.cam", "50% ahead", "2024-03-07", "2024-04-01", "", "O'Brien & Sons", "Pat O'Brien", "555-0303",
     "Oak, don't sand the face"},
    {1, "Logo_laser.plt", "Card", "2024-02-28", "2024-03-01", "2024-03-01", "Delta Works", "Anna", "555-0404", ""},
};
const DemoOrder kOrdersCn[] = {
    {1, "门牌_A.nc", "现金", "2024-03-04", "2024-03-11", "2024-03-09", "华美标牌", "李伟", "021-5550101",
     "两块, 12毫米亚克力"},
    {0, "木门_B.nc", "月结", "2024-03-06", "2024-03-20", "", "北方木业", "张敏", "010-5550202", ""},
    {0, "浮雕_3D.cam", "预付五成", "2024-03-07", "2024-04-01", "", "东方工艺品厂", "王芳", "0571-5550303",
     "橡木, 正面不打磨"},
    {1, "标志_激光.plt", "刷卡", "2024-02-28", "2024-03-01", "2024-03-01", "德尔塔工作室", "安娜", "020-5550404", ""},
};

// The dialog with the second order's row selected, as after the operator's click.
class CDemoDlg : public CJobOrderManagerDlg {
 public:
  using CJobOrderManagerDlg::CJobOrderManagerDlg;

 protected:
  BOOL OnInitDialog() override {
    BOOL result = CJobOrderManagerDlg::OnInitDialog();
    if (m_lstOrders.GetItemCount() > 2)
      m_lstOrders.SetItemState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    return result;
  }
};

// A fresh database in the demo's folder, filled with the orders of the language.
bool MakeDemoDatabase(const CString& folder, const DemoOrder* orders, int count) {
  platform::MakeDirectory(folder);
  if (!::CopyFileA(GetAppFolder() + kJobOrderFileName, folder + kJobOrderFileName, FALSE)) return false;
  g_strAppFolder = folder;
  if (!OpenJobOrderDatabase()) return false;
  for (int i = 0; i < count; ++i) {
    const DemoOrder& o = orders[i];
    JobOrderRow row;
    row.m_bFinished = o.finished;
    row.m_strJobName = o.job;
    row.m_strPayment = o.payment;
    row.m_strCreatedDay = o.created;
    row.m_strExpectedDay = o.expected;
    row.m_strDeliveredDay = o.delivered;
    row.m_strCustomerName = o.customer;
    row.m_strContact = o.contact;
    row.m_strTelephone = o.telephone;
    row.m_strMemo = o.memo;
    if (!g_JobOrderDatabase.Execute(BuildInsertSql(row))) return false;
  }
  g_JobOrderDatabase.Close();
  return true;
}

class CDemoApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    g_nUiLanguage = atoi(m_lpCmdLine) == 0 ? 0 : 1;
    bool chinese = g_nUiLanguage == 0;
    CString folder = GetAppFolder() + (chinese ? "job_order_demo_0\\" : "job_order_demo_1\\");
    if (!MakeDemoDatabase(folder, chinese ? kOrdersCn : kOrdersEn, 4)) {
      ShowMessage(g_JobOrderDatabase.GetLastErrorText());
      return FALSE;
    }
    CDemoDlg dlg(nullptr, chinese ? "浮雕_3D.cam" : "Relief_3D.cam");
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
  }
};

}  // namespace

CDemoApp theApp;
