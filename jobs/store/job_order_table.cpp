#include "jobs/store/job_order_table.h"

#include <climits>
#include <cstdlib>
#include <unordered_set>

namespace {

constexpr char kFileMagic[] = "CorvaneJobInfo/1";
constexpr char kNextIdentKey[] = "next_ident=";
constexpr char kNullField[] = "\\N";

void Escape(const CString& text, std::string& out) {
  for (int i = 0; i < text.GetLength(); ++i) {
    char c = text[i];
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c; break;
    }
  }
}

bool Unescape(const std::string& field, CString& text) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      out += field[i];
      continue;
    }
    if (++i == field.size()) return false;
    switch (field[i]) {
      case '\\': out += '\\'; break;
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: return false;
    }
  }
  text = CString(std::move(out));
  return true;
}

// A decimal integer of the whole field.
bool ReadInt(const std::string& field, int& value) {
  if (field.empty() || field.size() > 11) return false;
  char* end = nullptr;
  long long n = strtoll(field.c_str(), &end, 10);
  if (*end != '\0' || n < INT_MIN || n > INT_MAX || !(field[0] == '-' || (field[0] >= '0' && field[0] <= '9'))) {
    return false;
  }
  value = (int)n;
  return true;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

bool ReadField(const std::string& field, CDbValue::Kind kind, CDbValue& value) {
  if (field == kNullField) {
    value = CDbValue();
    return true;
  }
  switch (kind) {
    case CDbValue::kInt: {
      int n = 0;
      if (!ReadInt(field, n)) return false;
      value = CDbValue::Int(n);
      return true;
    }
    case CDbValue::kDate: {
      DbDate d;
      if (!ParseDbDate(field.c_str(), d)) return false;
      value = CDbValue::Date(d);
      return true;
    }
    case CDbValue::kText: {
      CString text;
      if (!Unescape(field, text)) return false;
      value = CDbValue::Text(text);
      return true;
    }
    case CDbValue::kNull: break;
  }
  return false;
}

void WriteField(const CDbValue& value, std::string& out) {
  switch (value.GetKind()) {
    case CDbValue::kNull: out += kNullField; break;
    case CDbValue::kInt: out += std::to_string(value.GetInt()); break;
    case CDbValue::kDate: out += FormatDbDate(value.GetDate(), "").str(); break;
    case CDbValue::kText: Escape(value.GetText(), out); break;
  }
}

std::string HeaderLine(int nextIdent) {
  std::string line = std::string(kFileMagic) + "\t" + kNextIdentKey + std::to_string(nextIdent);
  for (const JobOrderColumnInfo& c : kJobOrderColumns) line += std::string("\t") + c.m_pszName;
  return line;
}

bool BadLine(StoreError& error, int lineNo, const char* what) {
  CString detail;
  detail.Format("line %d: %s", lineNo, what);
  return error.Set(kStoreFileBad, detail);
}

bool ReadHeader(const std::string& line, int& nextIdent, StoreError& error) {
  std::vector<std::string> f = SplitTabs(line);
  if (f.empty() || f[0] != kFileMagic) return BadLine(error, 1, "not a job order file");
  if (f.size() != 2 + kJobOrderColumnCount) return BadLine(error, 1, "unexpected columns");
  const std::string key = kNextIdentKey;
  if (f[1].compare(0, key.size(), key) != 0 || !ReadInt(f[1].substr(key.size()), nextIdent) || nextIdent < 1) {
    return BadLine(error, 1, "bad next_ident");
  }
  for (int c = 0; c < kJobOrderColumnCount; ++c) {
    if (f[2 + c] != kJobOrderColumns[c].m_pszName) return BadLine(error, 1, "unexpected columns");
  }
  return true;
}

}  // namespace

bool CJobOrderTable::Execute(const SqlStatement& st, std::vector<JobOrderValues>* rows, int* affected,
                             StoreError& error) {
  int count = 0;
  if (st.m_kind == SqlStatement::kInsert) {
    if (m_nNextIdent == INT_MAX) return error.Set(kStoreIdentExhausted);
    JobOrderValues row;
    row[kColIdent] = CDbValue::Int(m_nNextIdent++);
    for (const SqlAssignment& a : st.m_values) row[(size_t)a.m_nColumn] = a.m_value;
    m_rows.push_back(row);
    count = 1;
  } else if (st.m_kind == SqlStatement::kDelete) {
    size_t kept = 0;
    for (size_t i = 0; i < m_rows.size(); ++i) {
      if (st.m_pWhere && !SqlConditionHolds(*st.m_pWhere, m_rows[i].data())) {
        if (kept != i) m_rows[kept] = std::move(m_rows[i]);
        ++kept;
      }
    }
    count = (int)(m_rows.size() - kept);
    m_rows.resize(kept);
  } else {
    for (JobOrderValues& row : m_rows) {
      if (st.m_pWhere && !SqlConditionHolds(*st.m_pWhere, row.data())) continue;
      ++count;
      if (st.m_kind == SqlStatement::kSelect) {
        if (rows) rows->push_back(row);
      } else {
        for (const SqlAssignment& a : st.m_values) row[(size_t)a.m_nColumn] = a.m_value;
      }
    }
  }
  if (affected) *affected = count;
  return true;
}

bool CJobOrderTable::Load(const std::string& text, StoreError& error) {
  std::vector<JobOrderValues> rows;
  std::unordered_set<int> idents;
  int nextIdent = 0;
  bool header = false;
  int lineNo = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? text.size() : end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!header) {
      if (!ReadHeader(line, nextIdent, error)) return false;
      header = true;
      continue;
    }
    if (line.empty()) continue;
    std::vector<std::string> fields = SplitTabs(line);
    if (fields.size() != kJobOrderColumnCount) return BadLine(error, lineNo, "wrong number of fields");
    JobOrderValues row;
    for (int c = 0; c < kJobOrderColumnCount; ++c) {
      if (!ReadField(fields[(size_t)c], kJobOrderColumns[c].m_kind, row[(size_t)c])) {
        return BadLine(error, lineNo, kJobOrderColumns[c].m_pszName);
      }
    }
    const CDbValue& ident = row[kColIdent];
    if (ident.IsNull() || ident.GetInt() < 1) return BadLine(error, lineNo, "ident");
    if (!idents.insert(ident.GetInt()).second) return BadLine(error, lineNo, "ident given twice");
    // A file edited by hand may hold a row at or above next_ident: never give it twice.
    if (ident.GetInt() >= nextIdent) {
      if (ident.GetInt() == INT_MAX) return BadLine(error, lineNo, "ident");
      nextIdent = ident.GetInt() + 1;
    }
    rows.push_back(std::move(row));
  }
  if (!header) return BadLine(error, 1, "not a job order file");
  m_rows = std::move(rows);
  m_nNextIdent = nextIdent;
  return true;
}

std::string CJobOrderTable::Save() const {
  std::string out = HeaderLine(m_nNextIdent) + "\n";
  for (const JobOrderValues& row : m_rows) {
    for (int c = 0; c < kJobOrderColumnCount; ++c) {
      if (c > 0) out += '\t';
      WriteField(row[(size_t)c], out);
    }
    out += '\n';
  }
  return out;
}
