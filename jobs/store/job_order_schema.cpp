#include "jobs/store/job_order_schema.h"

const JobOrderColumnInfo kJobOrderColumns[kJobOrderColumnCount] = {
    {"ident", CDbValue::kInt},          {"finished", CDbValue::kInt},       {"job_name", CDbValue::kText},
    {"payment", CDbValue::kText},       {"created_day", CDbValue::kDate},   {"expected_day", CDbValue::kDate},
    {"delivered_day", CDbValue::kDate}, {"customer_name", CDbValue::kText}, {"contract", CDbValue::kText},
    {"telephone", CDbValue::kText},     {"memo", CDbValue::kText},
};

int FindJobOrderColumn(const char* name) {
  for (int i = 0; i < kJobOrderColumnCount; ++i) {
    if (CString(kJobOrderColumns[i].m_pszName).CompareNoCase(name) == 0) return i;
  }
  return -1;
}
