// O-word control: subroutines, loops and conditions.
//
// The program is read line by line from its file, so control flow moves the reader:
// every o-word line that may be jumped to is recorded as a label (file, byte offset,
// line number); a jump repositions (or reopens) the file at a label, and skipping
// forward ignores lines until the o-word line of the awaited label comes. Labels of
// loops and conditions carry the name of the subroutine they are in ("%s#%s"), so they
// are local to it. A subroutine nobody has defined yet is looked for as a file
// "<name>.nc" in the program prefix folder, then anywhere below the wizard folder.
#include <cmath>
#include <cstring>

#include "nc/interp/interp.h"
#include "nc/interp/nc_errors.h"

namespace {

struct Keyword {
  const char* text;
  int type;
};

// Matched as prefixes, in this order ("elseif" before "else").
constexpr Keyword kKeywords[] = {
    {"sub", O_SUB},           {"endsub", O_ENDSUB},       {"call", O_CALL},     {"do", O_DO},
    {"while", O_WHILE},       {"repeat", O_REPEAT},       {"if", O_IF},         {"elseif", O_ELSEIF},
    {"else", O_ELSE},         {"endif", O_ENDIF},         {"break", O_BREAK},   {"continue", O_CONTINUE},
    {"endwhile", O_ENDWHILE}, {"endrepeat", O_ENDREPEAT}, {"return", O_RETURN},
};

// Deepest folder level FindFileInFolder descends to: a link back up must not loop.
constexpr int kMaxFolderDepth = 32;

void end_skip(InterpreterSetup& setup) {
  interp_free(setup.skipping_o);
  interp_free(setup.skipping_to_sub);
}

int skip_to(InterpreterSetup& setup, const char* name) {
  interp_free(setup.skipping_o);
  setup.skipping_o = interp_strdup(name);
  if (!setup.skipping_o) return NCE_OUT_OF_MEMORY;
  setup.skipping_start = setup.sequence_number;
  return NCE_OK;
}

bool skipping_for(const InterpreterSetup& setup, const char* name) {
  return setup.skipping_o && name && std::strcmp(setup.skipping_o, name) == 0;
}

// The name a label of this type is recorded under.
CString label_name(const InterpreterSetup& setup, int type, const CString& oword) {
  if (type == O_SUB || type == O_ENDSUB || type == O_CALL || type == O_RETURN) return oword;
  const char* scope = "";
  if (setup.call_level > 0 && setup.sub_context[setup.call_level].subname)
    scope = setup.sub_context[setup.call_level].subname;
  else if (setup.defining_sub == 1 && setup.sub_name)
    scope = setup.sub_name;
  return CString(scope) + "#" + oword;
}

bool same_file(const char* a, const char* b) { return std::strcmp(a ? a : "", b ? b : "") == 0; }

// The block is the line the label was recorded at (not another line with its number).
bool is_label_line(const OwordLabel& label, const InterpreterBlock& block, const InterpreterSetup& setup) {
  return label.offset == block.line_offset && same_file(label.filename, setup.filename);
}

bool is_loop(int type) { return type == O_WHILE || type == O_DO || type == O_REPEAT; }

// Back from a subroutine (endsub, or return, above level 0).
int return_from_sub(InterpreterSetup& setup) {
  end_skip(setup);
  if (!setup.file) return NCE_FILE_NOT_OPEN;
  int level = setup.call_level;
  CallContext& caller = setup.sub_context[level - 1];
  if (!same_file(caller.filename, setup.filename) && !interp_open_file(setup, caller.filename ? caller.filename : ""))
    return NCE_UNABLE_TO_OPEN_FILE;
  release_named_params(level, setup);
  interp_free(setup.sub_context[level].subname);
  setup.call_level = level - 1;
  std::memcpy(&setup.parameters[1], caller.saved_params, sizeof caller.saved_params);
  if (!interp_seek(setup, caller.position)) return NCE_CANNOT_RETURN_IN_FILE;
  setup.sequence_number = caller.sequence_number;
  interp_free(setup.sub_name);
  if (caller.subname) setup.sub_name = interp_strdup(caller.subname);
  return NCE_OK;
}

int call_sub(InterpreterBlock& block, InterpreterSetup& setup) {
  end_skip(setup);
  // Frames 0..9 exist: a call from the deepest level would need an eleventh.
  if (setup.call_level >= kInterpCallLevels - 1) return NCE_TOO_MANY_SUBROUTINE_LEVELS;
  if (!setup.file) return NCE_FILE_NOT_OPEN;
  char* filename = interp_strdup(setup.filename);
  char* subname = interp_strdup(block.o_name);
  if (!filename || !subname) {
    interp_free(filename);
    interp_free(subname);
    return NCE_OUT_OF_MEMORY;
  }
  CallContext& frame = setup.sub_context[setup.call_level];
  std::memcpy(frame.saved_params, &setup.parameters[1], sizeof frame.saved_params);
  std::memcpy(&setup.parameters[1], block.call_args, sizeof block.call_args);
  frame.position = interp_file_position(setup);
  interp_free(frame.filename);
  frame.filename = filename;
  frame.sequence_number = setup.sequence_number;
  ++setup.call_level;
  CallContext& callee = setup.sub_context[setup.call_level];
  interp_free(callee.subname);
  callee.subname = subname;
  return control_back_to(block, setup);
}

}  // namespace

int read_o(InterpreterSetup& setup, InterpreterBlock& block, const char* line, int* counter) {
  if (line[*counter] != 'o') return NCE_BUG_FUNCTION_SHOULD_NOT_HAVE_BEEN_CALLED;
  ++*counter;
  CString oword;
  int status;
  if (line[*counter] == '<') {
    status = read_name(line, counter, setup.name_buffer);
    if (status) return status;
    oword = setup.name_buffer;
  } else {
    int number;
    status = read_integer_value(setup, line, counter, &number);
    if (status) return status;
    oword.Format("%d", number);
  }
  const char* rest = line + *counter;
  int type = O_NONE;
  for (const Keyword& k : kKeywords) {
    size_t n = std::strlen(k.text);
    if (std::strncmp(rest, k.text, n) == 0) {
      type = k.type;
      *counter += (int)n;
      break;
    }
  }
  if (type == O_NONE) return NCE_UNKNOWN_CONTROL_COMMAND_IN_O_WORD;

  if (type != O_SUB && type != O_ENDSUB && setup.defining_sub == 1) {
    block.o_type = O_NONE;  // inside a definition being passed over
    return NCE_OK;
  }
  if (type == O_CALL && setup.skipping_o) {
    block.o_type = O_NONE;
    return NCE_OK;
  }
  if (type == O_CALL) {
    for (double& v : block.call_args) v = 0.0;  // slots the call leaves empty
    int arg = 0;
    for (;;) {
      char c = line[*counter];
      if (c == '[') {
        if (arg >= kInterpCallArgs) return NCE_TOO_MANY_SUBROUTINE_PARAMETERS;
        status = read_real_expression(setup, line, counter, &block.call_args[arg++]);
      } else if (c == '(') {
        status = read_comment(setup, line, counter);
      } else {
        break;
      }
      if (status) return status;
    }
  }
  interp_free(block.o_name);
  block.o_name = interp_strdup(label_name(setup, type, oword));
  if (!block.o_name) return NCE_OUT_OF_MEMORY;
  block.o_type = type;
  if (type == O_WHILE || type == O_REPEAT || type == O_IF || type == O_ELSEIF) {
    // A test on a line the control passes over is not evaluated: its parameters may
    // not even exist there (a branch not taken, a subroutine being looked for).
    if (setup.skipping_o && !skipping_for(setup, block.o_name)) return NCE_OK;
    if (line[*counter] != '[') return NCE_LEFT_BRACKET_MISSING_IN_OWORD;
    status = read_real_expression(setup, line, counter, &setup.test_value);
    if (status) return status;
    // NaN would count as true, infinity as a count of two thousand million.
    if (!std::isfinite(setup.test_value)) return NCE_OWORD_TEST_NOT_FINITE;
  }
  return NCE_OK;
}

int control_find_oword(const InterpreterBlock& block, const InterpreterSetup& setup, int* index) {
  if (block.o_name) {
    for (int i = 0; i < setup.label_count; ++i) {
      if (std::strcmp(setup.labels[i].name, block.o_name) == 0) {
        *index = i;
        return NCE_OK;
      }
    }
  }
  return NCE_UNKNOWN_OWORD_NUMBER;
}

int control_save_offset(InterpreterBlock& block, InterpreterSetup& setup) {
  int index;
  if (control_find_oword(block, setup, &index) == NCE_OK) {
    // The same line recorded again (a subroutine found by a call before the main
    // program reached its definition) is no second definition.
    if (is_label_line(setup.labels[index], block, setup)) {
      block.o_label = index;
      return NCE_OK;
    }
    return block.o_type == O_SUB ? NCE_SUBROUTINE_DEFINED_TWICE : NCE_OWORD_USED_FOR_TWO_LOOPS;
  }
  if (setup.label_count >= kInterpMaxLabels) return NCE_TOO_MANY_OWORD_LABELS;
  OwordLabel& label = setup.labels[setup.label_count];
  label.name = interp_strdup(block.o_name);
  label.filename = interp_strdup(setup.filename);
  if (!label.name || !label.filename) {
    interp_free(label.name);
    interp_free(label.filename);
    return NCE_OUT_OF_MEMORY;
  }
  label.type = block.o_type;
  label.offset = block.line_offset;
  label.sequence_number = block.line_number - 1;
  label.repeat_count = -1;
  label.running = 0;
  block.o_label = setup.label_count++;
  return NCE_OK;
}

int control_back_to(InterpreterBlock& block, InterpreterSetup& setup) {
  int index;
  if (control_find_oword(block, setup, &index) == NCE_OK) {
    if (!setup.file) return NCE_FILE_NOT_OPEN;
    const OwordLabel& label = setup.labels[index];
    if (!same_file(label.filename, setup.filename) && !interp_open_file(setup, label.filename))
      return NCE_UNABLE_TO_OPEN_FILE;
    if (!interp_seek(setup, label.offset)) return NCE_CANNOT_RETURN_IN_FILE;
    setup.sequence_number = label.sequence_number;
    return NCE_OK;
  }
  // Not defined so far: a subroutine file, else further down the current file. Without
  // the folders (a caller that set none) only the current file is searched.
  CString path;
  bool found = false;
  if (setup.program_prefix[0]) {
    path.Format("%s%s.nc", setup.program_prefix, block.o_name);
    found = interp_open_file(setup, path) != FALSE;
  }
  if (!found && setup.wizard_root[0] &&
      FindFileInFolder(setup.wizard_root, CString(block.o_name) + ".nc", &path) == NCE_OK)
    interp_open_file(setup, path);
  int status = skip_to(setup, block.o_name);
  if (status) return status;
  interp_free(setup.skipping_to_sub);
  setup.skipping_to_sub = interp_strdup(block.o_name);
  return setup.skipping_to_sub ? NCE_OK : NCE_OUT_OF_MEMORY;
}

int convert_control_functions(InterpreterBlock& block, InterpreterSetup& setup) {
  const char* name = block.o_name;
  int index = -1;
  control_find_oword(block, setup, &index);
  if (setup.skipping_o && !skipping_for(setup, name)) return NCE_OK;
  if (setup.skipping_to_sub && block.o_type != O_SUB) return NCE_OK;
  const bool test = setup.test_value != 0.0;
  int status = NCE_OK;

  switch (block.o_type) {
    case O_SUB:
      if (setup.skipping_o || setup.skipping_to_sub) {
        if ((status = control_save_offset(block, setup))) return status;
        end_skip(setup);
        if (setup.call_level > 0) return NCE_OK;  // found by a call: the body runs
      } else if (setup.call_level > 0) {
        return NCE_OK;  // jumped here by a call
      }
      if (setup.defining_sub == 1) return NCE_NESTED_SUBROUTINE_DEFINITION;
      if ((status = control_save_offset(block, setup))) return status;
      if ((status = skip_to(setup, name))) return status;
      setup.defining_sub = 1;
      interp_free(setup.sub_name);
      setup.sub_name = interp_strdup(name);
      return NCE_OK;

    case O_ENDSUB:
      end_skip(setup);
      if (setup.call_level > 0) return return_from_sub(setup);
      if (setup.defining_sub != 1) return NCE_NOT_IN_SUBROUTINE_DEFINITION;
      setup.defining_sub = 0;
      interp_free(setup.sub_name);
      return NCE_OK;

    case O_RETURN: return setup.call_level > 0 ? return_from_sub(setup) : NCE_OK;

    case O_CALL: return call_sub(block, setup);

    case O_DO:
      end_skip(setup);
      if (index < 0) {
        if ((status = control_save_offset(block, setup))) return status;
        index = block.o_label;
      } else if (!is_label_line(setup.labels[index], block, setup)) {
        return NCE_OWORD_USED_FOR_TWO_LOOPS;
      }
      setup.labels[index].running = 1;
      return NCE_OK;

    case O_WHILE: {
      const bool arrived_by_skip = skipping_for(setup, name);
      end_skip(setup);
      if (index >= 0 && setup.labels[index].type == O_DO) {
        // The end of a do loop. A do loop that is not running has ended before: this
        // while belongs to another loop with the same number.
        OwordLabel& label = setup.labels[index];
        if (!label.running) return NCE_OWORD_USED_FOR_TWO_LOOPS;
        // A break skipped here to leave the loop, whatever the test says; a continue
        // comes to test again.
        if (!(arrived_by_skip && !setup.doing_continue)) {
          setup.doing_continue = 0;
          if (test) return control_back_to(block, setup);
        }
        label.running = 0;
        return NCE_OK;
      }
      if (index >= 0 && (setup.labels[index].type != O_WHILE || !is_label_line(setup.labels[index], block, setup)))
        return NCE_OWORD_USED_FOR_TWO_LOOPS;
      if (index < 0 && (status = control_save_offset(block, setup))) return status;
      if (!test) return skip_to(setup, name);
      return NCE_OK;
    }

    case O_REPEAT: {
      end_skip(setup);
      if (index >= 0 && (setup.labels[index].type != O_REPEAT || !is_label_line(setup.labels[index], block, setup)))
        return NCE_OWORD_USED_FOR_TWO_LOOPS;
      if (index < 0) {
        if ((status = control_save_offset(block, setup))) return status;
        index = block.o_label;
      }
      int& count = setup.labels[index].repeat_count;
      if (count == -1) {
        double v = setup.test_value;
        count = interp_trunc(v >= 0.0 ? std::floor(v + 0.5) : std::ceil(v - 0.5));
      }
      if (count < 1) {
        count = -1;
        return skip_to(setup, name);
      }
      --count;
      return NCE_OK;
    }

    case O_IF:
      if (test) {
        end_skip(setup);
        setup.executed_if = 1;
        return NCE_OK;
      }
      setup.executed_if = 0;
      return skip_to(setup, name);

    case O_ELSEIF:
      if (setup.executed_if) return skip_to(setup, name);
      if (test) {
        end_skip(setup);
        setup.executed_if = 1;
      }
      return NCE_OK;

    case O_ELSE:
      if (setup.executed_if) return skip_to(setup, name);
      if (skipping_for(setup, name)) {
        end_skip(setup);
        setup.executed_if = 1;
      }
      return NCE_OK;

    case O_ENDIF:
      end_skip(setup);
      setup.executed_if = 1;
      return NCE_OK;

    case O_BREAK:
      if (index < 0 || !is_loop(setup.labels[index].type)) return NCE_BREAK_OUTSIDE_LOOP;
      return skip_to(setup, name);

    case O_CONTINUE:
      if (index < 0 || !is_loop(setup.labels[index].type)) return NCE_BREAK_OUTSIDE_LOOP;
      if (skipping_for(setup, name)) return NCE_OK;
      setup.doing_continue = 1;
      return skip_to(setup, name);

    case O_ENDWHILE:
    case O_ENDREPEAT:
      // Without its loop head there is nowhere to go back to.
      if (index < 0) return NCE_UNKNOWN_OWORD_NUMBER;
      if (skipping_for(setup, name)) {
        end_skip(setup);
        if (!setup.doing_continue) {
          // Left by a break or a false test: a repeat starts counting afresh next time.
          if (block.o_type == O_ENDREPEAT && index >= 0) setup.labels[index].repeat_count = -1;
          return NCE_OK;
        }
        setup.doing_continue = 0;
      }
      return control_back_to(block, setup);

    default: return NCE_OK;
  }
}

namespace {

int find_below(const CString& folder, const char* file, CString* path, int depth) {
  CString candidate = folder + file;
  if (candidate.GetLength() > MAX_PATH) return NCE_FILE_NOT_OPEN;
  if (FILE* f = std::fopen(platform::NativePath(candidate).c_str(), "rb")) {
    std::fclose(f);
    *path = candidate;
    return NCE_OK;
  }
  if (depth >= kMaxFolderDepth) return NCE_FILE_NOT_OPEN;
  CFileFind finder;
  BOOL more = finder.FindFile(folder + "*.*");
  while (more) {
    more = finder.FindNextFile();
    if (!finder.IsDirectory() || finder.IsDots()) continue;
    if (find_below(finder.GetFilePath() + "\\", file, path, depth + 1) == NCE_OK) return NCE_OK;
  }
  return NCE_FILE_NOT_OPEN;
}

}  // namespace

int FindFileInFolder(const char* folder, const char* file, CString* path) {
  CString root(folder);
  root.Trim();
  root.Replace('/', '\\');
  if (root.IsEmpty() || root[root.GetLength() - 1] != '\\') root += '\\';
  return find_below(root, file, path, 0);
}
