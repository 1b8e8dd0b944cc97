// The one table of the job order store, [JobInfo]: one row per order, tied to a job by
// its name. The store serves this table only, so its columns are fixed here.
#pragma once

#include "jobs/store/db_value.h"

constexpr char kJobOrderTableName[] = "JobInfo";

// Column indexes, in the table's order.
enum JobOrderColumn {
  kColIdent = 0,     // integer key, assigned by the store, never reused
  kColFinished,      // integer, 0 or 1
  kColJobName,       // text: the job the order belongs to
  kColPayment,       // text
  kColCreatedDay,    // date: order taken
  kColExpectedDay,   // date: delivery promised
  kColDeliveredDay,  // date: delivered
  kColCustomerName,  // text
  kColContract,      // text: the contact person
  kColTelephone,     // text
  kColMemo,          // text
  kJobOrderColumnCount
};

struct JobOrderColumnInfo {
  const char* m_pszName;  // as statements and the file name it
  CDbValue::Kind m_kind;  // kInt, kText or kDate
};

extern const JobOrderColumnInfo kJobOrderColumns[kJobOrderColumnCount];

// The column of that name (without regard to case), or -1.
int FindJobOrderColumn(const char* name);
