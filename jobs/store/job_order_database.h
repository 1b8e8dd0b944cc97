// The job order database: the file "Jobs.mdb" in the program folder, one table
// [JobInfo], reached through the one database object of the program.
#pragma once

#include "jobs/store/ado_database.h"
#include "jobs/store/job_order_sql.h"

// The program's one connection to the job order database; open only while the Job
// Order Manager is.
extern CADODataBase g_JobOrderDatabase;

constexpr char kJobOrderFileName[] = "Jobs.mdb";
// Command timeout set on the connection when it is opened (seconds).
constexpr long kJobOrderCommandTimeout_s = 500;

// "Driver={Microsoft Access Driver (*.mdb)};DBQ=<folder>Jobs.mdb;ReadOnly=True;"; the
// store reads only DBQ and writes despite ReadOnly.
CString JobOrderConnectionString(const char* appFolder);

// Opens g_JobOrderDatabase on "Jobs.mdb" of g_strAppFolder with the command timeout.
// False when it cannot be opened; its last error text says why.
bool OpenJobOrderDatabase();

// The current row of a record set on [JobInfo] as the dialog shows it: finished and
// ident as numbers, the texts as stored, the dates cut before the first blank (their
// day). False, the error in the record set's text, when a column cannot be read.
bool ReadJobOrderRow(CADORecordset& records, JobOrderRow& row);
