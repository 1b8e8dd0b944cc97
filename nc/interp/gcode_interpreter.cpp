// Reading one G-code line: comments out, o-word lines to the o-word control, the words
// of every other line into the block, then the checks and the executor, and one report
// line per faulty line. Errors in words never stop the load; a program end, an error in
// an o-word line and a fatal arc error do.
#include "nc/interp/gcode_interpreter.h"

#include <cstring>

#include "foundation/texts.h"
#include "nc/interp/interp_exec.h"
#include "nc/interp/nc_errors.h"
#include "nc/nc_program.h"
#include "resources/resource.h"

namespace {

constexpr int kReportLimit = 2048;

void copy_bounded(char* to, int size, const char* from) {
  int n = (int)std::strlen(from);
  if (n > size - 1) n = size - 1;
  std::memcpy(to, from, (size_t)n);
  to[n] = '\0';
}

}  // namespace

std::unique_ptr<CGCodeReader> CreateGCodeReader(CNCProgram& program) {
  return std::make_unique<CGCodeInterpreter>(program);
}

CGCodeInterpreter::CGCodeInterpreter(CNCProgram& program)
    : m_program(program), m_pSetup(std::make_unique<InterpreterSetup>()) {}

BOOL CGCodeInterpreter::OpenFile(const char* path) {
  copy_bounded(m_pSetup->program_prefix, INTERP_TEXT_SIZE, m_program.m_strPrefix);
  copy_bounded(m_pSetup->wizard_root, INTERP_TEXT_SIZE, m_program.m_strWizard);
  return interp_open_file(*m_pSetup, path);
}

int CGCodeInterpreter::ReadLine(char* line, int capacity, ULONGLONG* position) {
  int n = interp_read_line(*m_pSetup, line, capacity);
  if (position) *position = (ULONGLONG)interp_file_position(*m_pSetup);
  return n;
}

void CGCodeInterpreter::CloseFile() {
  int status = interp_end_of_file(*m_pSetup);
  if (status) m_program.AppendLoadError(GetNCErrorText(status));
}

void CGCodeInterpreter::ReportLine(const char* text, const CString& items, bool always) {
  CString entry;
  entry.Format("Line %d: [%s],%s\r\n", m_pSetup->sequence_number, text, (const char*)items);
  if (!always) {
    m_program.AppendLineReport(entry);
    return;
  }
  // The last line of a load is reported whatever the size of the report.
  CString& report = m_program.m_strErrors;
  report += entry;
  CString tooMany = LoadLangString(IDS_NC_TOO_MANY_ERRORS_CN, IDS_NC_TOO_MANY_ERRORS_EN);
  if (report.GetLength() + tooMany.GetLength() > kReportLimit && report.Find(tooMany) < 0) {
    report += "\r\n";
    report += tooMany;
  }
}

BOOL CGCodeInterpreter::InterpretLine(int /*line*/, char* text) {
  InterpreterSetup& setup = *m_pSetup;
  InterpreterBlock& block = setup.block;
  CNCProgram& program = m_program;

  interp_free(block.o_name);
  reset_block(block);
  ++setup.sequence_number;
  program.m_nLine = setup.sequence_number;
  block.line_number = setup.sequence_number;
  clear_settings(setup);
  if (program.m_bProgramEnd) return FALSE;

  // The work buffer: a longer line than it holds is refused, not cut.
  const size_t length = std::strlen(text);
  if (length >= (size_t)INTERP_WORK_SIZE) {
    CString quoted(text, INTERP_TEXT_SIZE - 1);
    ReportLine(quoted, GetNCErrorText(NCE_COMMAND_TOO_LONG), false);
    return TRUE;
  }
  char work[INTERP_WORK_SIZE];
  if (text[0] == '/')
    work[0] = '\0';  // block delete is always on
  else
    std::memcpy(work, text, length + 1);

  // Comments: cut out one by one (nested brackets count) and joined by one blank.
  CString comments;
  if (std::strchr(work, '(')) {
    for (;;) {
      CString comment = program.ExtractComment(work, '(', ')');
      if (comment.IsEmpty()) break;
      if (!comments.IsEmpty()) comments += ' ';
      comments += comment;
    }
    program.ParseToolGroupComment(comments);
  }

  // Blanks, tabs, line ends and commas out; letters lowered.
  int n = 0;
  for (const char* p = work; *p; ++p) {
    char c = *p;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',') continue;
    work[n++] = (c >= 'A' && c <= 'Z') ? (char)(c + ('a' - 'A')) : c;
  }
  work[n] = '\0';
  copy_bounded(setup.blocktext, INTERP_TEXT_SIZE, work);
  std::memcpy(setup.linetext, setup.blocktext, sizeof setup.linetext);
  copy_bounded(block.comment, INTERP_COMMENT_SIZE, comments);
  setup.line_length = n < INTERP_TEXT_SIZE - 1 ? n : INTERP_TEXT_SIZE - 1;

  LineReport report;
  if (work[0] == 'o') {
    int pos = 0;
    int status = read_o(setup, block, work, &pos);
    if (status) {
      ReportLine(text, GetNCErrorText(status), true);
      return FALSE;
    }
  } else {
    if (interp_skipping(setup)) return TRUE;
    switch (read_words(setup, work, program.m_bWordSeen, program.m_strErrors, report)) {
      case WORDS_PROGRAM_END: return FALSE;
      case WORDS_SKIP_LINE: return TRUE;
      case WORDS_READ: break;
    }
  }

  struct ListItem {
    const CString& list;
    int code;
  } lists[] = {{report.unknown_g, NCE_UNKNOWN_G_CODE_USED},
               {report.unknown_m, NCE_UNKNOWN_M_CODE_USED},
               {report.bad_chars, NCE_BAD_CHARACTER_USED}};
  for (const ListItem& l : lists) {
    if (l.list.IsEmpty()) continue;
    CString item;
    item.Format("<%s>%s", (const char*)l.list, (const char*)GetNCErrorText(l.code));
    report.AddError(item);
  }

  bool stopping = false;
  if (!setup.skipping_o) {
    int status = verify_block_items(setup, block);
    CString message = GetNCErrorText(status);
    if (!message.IsEmpty()) report.AddError("Check:" + message);
    if (status == NCE_EXIT) stopping = true;
  }
  if (!stopping) {
    int status = run_block(program, setup, block);
    CString message = GetNCErrorText(status);
    if (!message.IsEmpty()) report.AddError("Exec:" + message);
    if (status == NCE_EXIT) stopping = true;
  }
  if (!report.errors.IsEmpty()) ReportLine(text, report.errors, false);

  interp_free(block.o_name);
  return !(program.m_bStop || stopping);
}
