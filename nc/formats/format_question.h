// The 2D/3D question of the HPGL reader.
//
// When the number of values in an HPGL coordinate list does not tell whether the file
// holds 2D or 3D points, the reader asks the operator once per file. The reader is
// portable, so it asks through this hook: the window layer installs the real question
// (the format selection dialog), tests install their answer. Without a hook the answer
// is 2D, the question's own preselection.
#pragma once

// text: the line in question; returns 0 for 2D, 1 for 3D.
using FormatQuestionHook = int (*)(const char* text);

// Installs a hook (nullptr: none); returns the previous one.
FormatQuestionHook SetFormatQuestionHook(FormatQuestionHook hook);
// Asks through the hook; 0 or 1.
int AskHpglFormat(const char* text);
