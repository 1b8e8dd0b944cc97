// Windows-only text helpers: the owner-less error box and the Chinese code page
// conversions.
#include <string>

#include "foundation/texts.h"

void ShowLastErrorBox() {
  CString text = LastErrorText();
  platform::ShowMessageBox(text, "Error", MB_OK | MB_ICONINFORMATION, false);
}

namespace {

// Simplified <-> traditional forms of common characters. The platform's own locale
// mapping is not available under Wine; characters not listed keep their form.
const wchar_t kSimplified[] =
    L"机设备数据错误参统载开关门锁动连线网络读写输传档态状务电话问题请选择确认删编辑图预览"
    L"宽长时间点击个们这为与从对发现号码转换复运结终暂继续进试验检报显语简体国东华实际装项单价钱"
    L"优化轴钻铣圆弧径离远边缘层厂户启闭页纸扫软硬盘内储录帮历费许变让节范围";
const wchar_t kTraditional[] =
    L"機設備數據錯誤參統載開關門鎖動連線網絡讀寫輸傳檔態狀務電話問題請選擇確認刪編輯圖預覽"
    L"寬長時間點擊個們這為與從對發現號碼轉換復運結終暫繼續進試驗檢報顯語簡體國東華實際裝項單價錢"
    L"優化軸鑽銑圓弧徑離遠邊緣層廠戶啟閉頁紙掃軟硬盤內儲錄幫歷費許變讓節範圍";
static_assert(sizeof kSimplified == sizeof kTraditional, "character tables must pair up");

std::wstring Widen(const char* text, UINT cp) {
  int n = MultiByteToWideChar(cp, 0, text, -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring w((size_t)n, L'\0');
  MultiByteToWideChar(cp, 0, text, -1, &w[0], n);
  w.resize((size_t)n - 1);
  return w;
}

CString Narrow(const std::wstring& w, UINT cp) {
  int n = WideCharToMultiByte(cp, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return CString();
  CString s;
  WideCharToMultiByte(cp, 0, w.c_str(), -1, s.GetBuffer(n), n, nullptr, nullptr);
  s.ReleaseBuffer();
  return s;
}

void MapChars(std::wstring& w, const wchar_t* from, const wchar_t* to) {
  for (wchar_t& c : w) {
    for (size_t i = 0; from[i]; ++i) {
      if (from[i] == c) {
        c = to[i];
        break;
      }
    }
  }
}

}  // namespace

CString Gb2312ToBig5(const char* text) {
  std::wstring w = Widen(text ? text : "", 936);
  MapChars(w, kSimplified, kTraditional);
  return Narrow(w, 950);
}

CString Big5ToGb2312(const char* text) {
  std::wstring w = Widen(text ? text : "", 950);
  MapChars(w, kTraditional, kSimplified);
  return Narrow(w, 936);
}
