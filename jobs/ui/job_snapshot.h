// The job snapshot: a job's toolpath drawn into a 750 x 550 bitmap and saved as an
// uncompressed 32-bit BMP, "Jobs\<name>\<name>.snapshot" or the main window's
// "Jobs\preview.snapshot".
//
// File layout (little-endian): the 14-byte file header ("BM", file size, 0, 0, pixel
// offset 58), the 40-byte information header (750 x 550, bottom-up, 1 plane, 32 bits,
// no compression, image size 1,650,000), 4 zero bytes, then the pixels as blue, green,
// red, 0, last row first: 1,650,058 bytes in all.
#pragma once

#include <vector>

#include "jobs/job_record.h"
#include "platform/win/framework.h"

class CNCProgram;
class CProgressDlg;

// Bytes between the information header and the pixels.
constexpr int kDibGap = 4;

// Draws the program as the record asks and saves the picture. Without a path the file
// is the record's job's snapshot; its folders are made. scale -1 (what every caller
// passes) keeps 750 x 550; another positive value multiplies both sides. 1 when the
// program has elements (drawn, also when cancelled midway; written unless the bitmap
// or the file failed), 0, and no file, for a missing or empty program. The record's
// UsedTools are taken from the program. With a progress strip, its text becomes
// "Building snapshot: %d%%".
int DrawSnapshot(CProgressDlg* progress, JobRecord* job, CNCProgram* program, const char* path, double scale);

// The bitmap's pixels as the information header, kDibGap zero bytes and 32-bit rows
// bottom-up; empty when the bitmap cannot be read.
std::vector<BYTE> DdbToDib32(CBitmap* bitmap);
// Writes the file header and the block, replacing the file only once it is complete.
// FALSE for an empty block or a file that cannot be written.
BOOL SaveDibAsBmp(const char* path, const std::vector<BYTE>& block);
