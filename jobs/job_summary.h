// The job summary: every setting and statistic of a stored job as one plain English
// text (whatever the UI language), lines ended by "\r\n", lengths in mm, speeds in mm/s.
// It is made from the ".jobinfo" file, not from the job table, so it shows what the
// engine will read.
#pragma once

#include "jobs/job_record.h"
#include "platform/core.h"

CString FormatJobSummary(const JobRecord& job);
// The summary of the record in the file (a short file reads as zeros for what it
// lacks; the stamp is not checked); empty when the file cannot be opened.
CString ReadJobSummary(const char* infoPath);
