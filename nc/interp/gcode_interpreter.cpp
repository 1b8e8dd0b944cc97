// Reading one G-code line: comments out, o-word lines to the o-word control, the words
// of every other line into the block, then the checks and the executor, and one report
// line per faulty line. Errors in words never stop the load; a program end, an error in
// an o-word line and a fatal arc error do.
#include "nc/interp/gcode_interpreter.h"

#include <cstring>

#include "foundation/texts.h"
#include "nc/interp/interp_exec.h"
#include "nc/interp/nc_errors.h"
#include "nc/text_line_file.h"
#include "resources/resource.h"

namespace {

// What a line's character becomes in the text the words are read from: 0 for the
// characters removed (blank, tab, CR, LF, comma), letters lowered, the rest as it is.
struct PrepareTable {
  unsigned char map[256];
  constexpr PrepareTable() : map() {
    for (int c = 0; c < 256; ++c) map[c] = (unsigned char)(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    map[(unsigned char)' '] = map[(unsigned char)'\t'] = map[(unsigned char)'\r'] = 0;
    map[(unsigned char)'\n'] = map[(unsigned char)','] = 0;
  }
};
constexpr PrepareTable kPrepare;

void copy_bounded(char* to, int size, const char* from) {
  int n = (int)std::strlen(from);
  if (n > size - 1) n = size - 1;
  std::memcpy(to, from, (size_t)n);
  to[n] = '\0';
}

// "Check:" or "Exec:" and the text of a status, for a status that has one.
void add_status_item(LineReport& report, const char* stage, int status) {
  CString text = GetNCErrorText(status);
  if (!text.IsEmpty()) report.AddError(stage + text);
}

}  // namespace

std::unique_ptr<CGCodeReader> CreateGCodeReader(CNCProgram& program) {
  return std::make_unique<CGCodeInterpreter>(program);
}

CGCodeInterpreter::CGCodeInterpreter(CNCProgram& program)
    : m_program(program), m_pSetup(std::make_unique<InterpreterSetup>()) {
  m_pSetup->distance_mode = m_program.State().m_bAbsolute ? 0 : 1;
}

BOOL CGCodeInterpreter::OpenFile(const char* path) {
  copy_bounded(m_pSetup->program_prefix, kInterpTextSize, m_program.Program().GetPrefixFolder());
  copy_bounded(m_pSetup->wizard_root, kInterpTextSize, m_program.Program().GetWizardFolder());
  return interp_open_file(*m_pSetup, path);
}

int CGCodeInterpreter::ReadLine(char* line, int capacity, ULONGLONG* position, bool* hadNul) {
  int n = interp_read_line(*m_pSetup, line, capacity);
  if (position) *position = (ULONGLONG)interp_file_position(*m_pSetup);
  if (hadNul) *hadNul = m_pSetup->file && m_pSetup->file->LineHadNul();
  return n;
}

void CGCodeInterpreter::CloseFile(BOOL reachedEnd) {
  const BOOL readFailed = interp_read_failed(*m_pSetup);
  int line;
  int status = interp_end_of_file(*m_pSetup, &line);
  if (!reachedEnd) return;
  if (readFailed) {
    m_program.Stop(LoadLangString(IDS_NC_READ_ERROR_CN, IDS_NC_READ_ERROR_EN));
  } else if (status) {
    CString entry;
    entry.Format("Line %d: %s\r\n", line, GetNCErrorText(status).GetString());
    m_program.AppendLineReport(entry, TRUE);
    m_program.State().m_bStop = 1;
  }
}

void CGCodeInterpreter::ReportLine(const char* text, const CString& items, bool always) {
  CString entry;
  entry.Format("Line %d: [%s],%s\r\n", m_pSetup->sequence_number, text, (const char*)items);
  m_program.AppendLineReport(entry, always);
}

BOOL CGCodeInterpreter::StopAtControlError(const char* text, int status) {
  ReportLine(text, GetNCErrorText(status), true);
  m_program.State().m_bStop = 1;
  return FALSE;
}

BOOL CGCodeInterpreter::InterpretLine(int /*line*/, char* text) {
  InterpreterSetup& setup = *m_pSetup;
  InterpreterBlock& block = setup.block;
  NCReadState& read = m_program.State();
  CNCProgram& program = m_program.Program();

  interp_free(block.o_name);
  reset_block(block);
  ++setup.sequence_number;
  read.m_nLine = setup.sequence_number;
  block.line_number = setup.sequence_number;
  clear_settings(setup);
  if (read.m_bProgramEnd) return FALSE;

  // The work buffer: a longer line than it holds is refused, not cut.
  const size_t length = std::strlen(text);
  if (length >= (size_t)kInterpWorkSize) {
    CString quoted(text, kInterpTextSize - 1);
    ReportLine(quoted, GetNCErrorText(NCE_COMMAND_TOO_LONG), false);
    return TRUE;
  }
  const bool deleted = text[0] == '/';  // block delete is always on
  const char* source = deleted ? "" : text;
  const size_t source_length = deleted ? 0 : length;
  char work[kInterpWorkSize];

  // Comments: cut out one by one (nested brackets count) and joined by one blank.
  CString comments;
  if (std::memchr(source, '(', source_length)) {
    std::memcpy(work, source, source_length + 1);
    for (;;) {
      CString comment = CNCProgram::ExtractComment(work, '(', ')');
      if (comment.IsEmpty()) break;
      if (!comments.IsEmpty()) comments += ' ';
      comments += comment;
    }
    program.ParseToolGroupComment(comments);
    source = work;
  }

  // Blanks, tabs, line ends and commas out; letters lowered.
  int n = 0;
  for (const char* p = source; *p; ++p) {
    unsigned char c = kPrepare.map[(unsigned char)*p];
    work[n] = (char)c;
    n += c != 0;
  }
  work[n] = '\0';
  setup.line_length = n < kInterpTextSize - 1 ? n : kInterpTextSize - 1;
  std::memcpy(setup.blocktext, work, (size_t)setup.line_length);
  setup.blocktext[setup.line_length] = '\0';
  std::memcpy(setup.linetext, setup.blocktext, (size_t)setup.line_length + 1);
  copy_bounded(block.comment, kInterpCommentSize, comments);

  LineReport report;
  if (work[0] == 'o') {
    // Any fault of the program's flow ends the load: a body run in the wrong place, or
    // skipped, would lose or misplace the work after it.
    int pos = 0;
    int status = read_o(setup, block, work, &pos);
    if (status) return StopAtControlError(text, status);
  } else {
    if (interp_skipping(setup)) return TRUE;
    switch (read_words(setup, work, read.m_bWordSeen, program.GetErrors(), report)) {
      case WORDS_PROGRAM_END: read.m_bProgramEnd = 1; return FALSE;
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
    if (status == NCE_EXIT) stopping = true;
    if (status > NCE_EXIT) add_status_item(report, "Check:", status);
  }
  if (!stopping) {
    const bool control = block.o_type != O_NONE;
    int status = run_block(m_program, setup, block);
    if (control && status > NCE_EXIT) return StopAtControlError(text, status);
    if (status == NCE_EXIT) stopping = true;
    if (status > NCE_EXIT) add_status_item(report, "Exec:", status);
  }
  if (!report.errors.IsEmpty()) ReportLine(text, report.errors, read.m_bStop != 0);

  interp_free(block.o_name);
  return !(read.m_bStop || stopping);
}
