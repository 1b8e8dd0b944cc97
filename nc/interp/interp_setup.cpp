// Start values of the interpreter record, the block reset, the parameter tables and the
// program file the loader reads through the record.
#include "nc/interp/interp_setup.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "nc/interp/nc_errors.h"
#include "nc/text_line_file.h"

char* interp_strdup(const char* text) {
  size_t n = std::strlen(text) + 1;
  char* copy = (char*)std::malloc(n);
  if (copy) std::memcpy(copy, text, n);
  return copy;
}

void interp_free(char*& text) {
  std::free(text);
  text = nullptr;
}

namespace {

void free_oword_texts(InterpreterSetup& setup) {
  interp_free(setup.block.o_name);
  interp_free(setup.sub_name);
  interp_free(setup.skipping_o);
  interp_free(setup.skipping_to_sub);
  for (int i = 0; i < setup.label_count; ++i) {
    interp_free(setup.labels[i].name);
    interp_free(setup.labels[i].filename);
  }
  setup.label_count = 0;
  for (CallContext& frame : setup.sub_context) {
    interp_free(frame.filename);
    interp_free(frame.subname);
  }
}

// Everything the record owns: heap texts, named parameter tables, the open file.
void release_setup(InterpreterSetup& setup) {
  free_oword_texts(setup);
  for (int level = 0; level < kInterpCallLevels; ++level) {
    release_named_params(level, setup);
    NamedParamLevel& named = setup.sub_context[level].named;
    std::free(named.names);
    std::free(named.values);
    std::free(named.slots);
    named.names = nullptr;
    named.values = nullptr;
    named.slots = nullptr;
    named.capacity = 0;
    named.slot_count = 0;
  }
  clear_settings(setup);
  interp_close_file(setup);
}

NamedParamLevel& level_of(InterpreterSetup& setup, const char* name) {
  return setup.sub_context[name[0] == '_' ? 0 : setup.call_level].named;
}

const NamedParamLevel& level_of(const InterpreterSetup& setup, const char* name) {
  return setup.sub_context[name[0] == '_' ? 0 : setup.call_level].named;
}

// Programs may define tens of thousands of names: they are found through a hash index
// (open addressing, linear probing) rather than by comparing each.
unsigned hash_name(const char* name) {
  unsigned h = 2166136261u;
  for (const unsigned char* c = (const unsigned char*)name; *c; ++c) h = (h ^ *c) * 16777619u;
  return h;
}

int find_name(const NamedParamLevel& level, const char* name) {
  if (level.slot_count == 0) return -1;
  const unsigned mask = (unsigned)level.slot_count - 1;
  for (unsigned s = hash_name(name) & mask;; s = (s + 1) & mask) {
    const int entry = level.slots[s];
    if (entry == 0) return -1;
    if (std::strcmp(level.names[entry - 1], name) == 0) return entry - 1;
  }
}

void index_name(NamedParamLevel& level, int i) {
  const unsigned mask = (unsigned)level.slot_count - 1;
  unsigned s = hash_name(level.names[i]) & mask;
  while (level.slots[s] != 0) s = (s + 1) & mask;
  level.slots[s] = i + 1;
}

// Room in the index for one more name; false when memory runs out.
bool grow_index(NamedParamLevel& level) {
  if ((level.count + 1) * 2 <= level.slot_count) return true;
  const int slot_count = level.slot_count ? level.slot_count * 2 : 64;
  int* slots = (int*)std::calloc((size_t)slot_count, sizeof(int));
  if (!slots) return false;
  std::free(level.slots);
  level.slots = slots;
  level.slot_count = slot_count;
  for (int i = 0; i < level.count; ++i) index_name(level, i);
  return true;
}

}  // namespace

InterpreterSetup::InterpreterSetup() {
  std::memset((void*)this, 0, sizeof *this);
  init_setup(*this);
}

InterpreterSetup::~InterpreterSetup() { release_setup(*this); }

void init_setup(InterpreterSetup& setup) {
  release_setup(setup);
  std::memset((void*)&setup, 0, sizeof setup);

  setup.length_units = 2;
  double* p = setup.parameters;
  p[kParamCoordSystem] = 1.0;
  setup.origin_index = (int)(p[kParamCoordSystem] + 0.0001);
  const double* axis = p + kParamAxisOffset;
  setup.axis_offset_x = axis[0];
  setup.axis_offset_y = axis[1];
  setup.axis_offset_z = axis[2];
  setup.aa_axis_offset = axis[3];
  setup.bb_axis_offset = axis[4];
  setup.cc_axis_offset = axis[5];
  const double* origin = p + kParamsPerCoordSystem * setup.origin_index + kParamOriginBase + 1;
  setup.origin_offset_x = origin[0];
  setup.origin_offset_y = origin[1];
  setup.origin_offset_z = origin[2];
  setup.aa_origin_offset = origin[3];
  setup.bb_origin_offset = origin[4];
  setup.cc_origin_offset = origin[5];
  setup.control_mode = 3;

  setup.distance_mode = 0;
  setup.feed_mode = 0;
  setup.feed_override = 1;
  setup.speed_override = 1;
  setup.feed_rate = 3.0;
  setup.motion_mode = -1;
  setup.plane = PLANE_XY;
  setup.retract_mode = 0;
  setup.selected_tool_slot = 1;
  setup.speed_feed_mode = 2;
  setup.spindle_turning = 0;
  setup.call_level = 0;
  reset_block(setup.block);

  save_active_g_codes(nullptr, setup);
  save_active_m_codes(nullptr, setup);
  save_active_settings(setup);
}

void reset_block(InterpreterBlock& block) {
  // Field by field rather than the whole record: this runs for every line, and the
  // comment and the call arguments need no more than their first character (the call
  // reader fills every argument slot itself). The line offset and the o-word name stay:
  // the loader set the one, the line reader frees the other.
  block.a_flag = block.b_flag = block.c_flag = 0;
  block.i_flag = block.j_flag = block.k_flag = 0;
  block.x_flag = block.y_flag = block.z_flag = block.r_flag = 0;
  block.a_value = block.b_value = block.c_value = 0.0;
  block.i_value = block.j_value = block.k_value = 0.0;
  block.x_value = block.y_value = block.z_value = block.r_value = 0.0;
  block.comment[0] = '\0';
  block.d_number = -1;
  block.f_number = -1.0;
  for (int& g : block.g_modes) g = -1;
  block.h_number = -1;
  block.l_number = -1;
  block.line_number = 0;
  block.n_number = -1;
  block.motion_to_be = -1;
  block.m_count = 0;
  for (int& m : block.m_modes) m = -1;
  block.p_number = -1.0;
  block.q_number = -1.0;
  block.s_number = -1.0;
  block.t_number = -1;
  block.o_type = O_NONE;
  block.o_label = 0;
}

BOOL lookup_named_param(const InterpreterSetup& setup, const char* name, double* value) {
  const NamedParamLevel& level = level_of(setup, name);
  int i = find_name(level, name);
  *value = i < 0 ? 0.0 : level.values[i];
  return i >= 0;
}

int add_named_param(InterpreterSetup& setup, const char* name) {
  NamedParamLevel& level = level_of(setup, name);
  if (find_name(level, name) >= 0) return NCE_OK;
  if (!grow_index(level)) return NCE_OUT_OF_MEMORY;
  if (level.count >= level.capacity) {
    int capacity = level.capacity < kInterpNamedGrowth ? kInterpNamedGrowth : level.capacity * 2;
    char** names = (char**)std::realloc(level.names, sizeof(char*) * capacity);
    if (!names) return NCE_OUT_OF_MEMORY;
    level.names = names;
    double* values = (double*)std::realloc(level.values, sizeof(double) * capacity);
    if (!values) return NCE_OUT_OF_MEMORY;
    level.values = values;
    level.capacity = capacity;
  }
  char* copy = interp_strdup(name);
  if (!copy) return NCE_OUT_OF_MEMORY;
  level.names[level.count] = copy;
  level.values[level.count] = 0.0;
  index_name(level, level.count);
  ++level.count;
  return NCE_OK;
}

int store_named_parameter(InterpreterSetup& setup, const char* name, double value) {
  NamedParamLevel& level = level_of(setup, name);
  int i = find_name(level, name);
  if (i < 0) return NCE_NAMED_PARAMETER_NOT_DEFINED;
  level.values[i] = value;
  return NCE_OK;
}

void release_named_params(int level, InterpreterSetup& setup) {
  NamedParamLevel& named = setup.sub_context[level].named;
  for (int i = 0; i < named.count; ++i) interp_free(named.names[i]);
  named.count = 0;
  if (named.slots) std::memset(named.slots, 0, sizeof(int) * (size_t)named.slot_count);
}

int apply_settings(InterpreterSetup& setup) {
  for (int i = 0; i < setup.setting_count; ++i) setup.parameters[setup.setting_numbers[i]] = setup.setting_values[i];
  setup.setting_count = 0;
  int status = NCE_OK;
  for (int i = 0; i < setup.named_setting_count && status == NCE_OK; ++i)
    status = store_named_parameter(setup, setup.named_setting_names[i], setup.named_setting_values[i]);
  clear_settings(setup);
  return status;
}

void clear_settings(InterpreterSetup& setup) {
  setup.setting_count = 0;
  for (int i = 0; i < setup.named_setting_count; ++i) interp_free(setup.named_setting_names[i]);
  setup.named_setting_count = 0;
}

void save_active_g_codes(const InterpreterBlock* block, InterpreterSetup& setup) {
  int* g = setup.active_g_codes;
  g[0] = setup.sequence_number;
  g[1] = setup.motion_mode;
  g[2] = block ? block->g_modes[GROUP_NON_MODAL] : -1;
  g[3] = setup.plane == PLANE_XY ? 170 : setup.plane == PLANE_XZ ? 180 : 190;
  g[4] = setup.cutter_comp_side == 1 ? 420 : setup.cutter_comp_side == 2 ? 410 : 400;
  g[5] = setup.length_units == 1 ? 200 : 210;
  g[6] = setup.distance_mode == 1 ? 910 : 900;
  g[7] = setup.feed_mode == 1 ? 930 : 940;
  g[8] = setup.origin_index <= 6 ? 530 + 10 * setup.origin_index : setup.origin_index + 584;
  g[9] = setup.tool_length_offset != 0.0 ? 430 : 490;
  g[10] = setup.retract_mode == 1 ? 980 : 990;
  g[11] = setup.control_mode == 3 ? 640 : setup.control_mode == 2 ? 610 : 611;
}

void save_active_m_codes(const InterpreterBlock* block, InterpreterSetup& setup) {
  int* m = setup.active_m_codes;
  m[0] = setup.sequence_number;
  m[1] = block ? block->m_modes[MGROUP_STOP] : -1;
  m[2] = setup.spindle_turning == 1 ? 5 : setup.spindle_turning == 2 ? 3 : 4;
  m[3] = block ? block->m_modes[MGROUP_TOOL_CHANGE] : -1;
  m[4] = setup.mist ? 7 : setup.flood ? -1 : 9;
  m[5] = setup.flood ? 8 : -1;
  m[6] = setup.feed_override ? 48 : 49;
}

void save_active_settings(InterpreterSetup& setup) {
  setup.active_settings[0] = setup.sequence_number;
  setup.active_settings[1] = setup.feed_rate;
  setup.active_settings[2] = setup.speed;
}

BOOL interp_open_file(InterpreterSetup& setup, const char* path) {
  if (std::strlen(path) >= sizeof setup.filename) return FALSE;
  CTextLineFile* file = new (std::nothrow) CTextLineFile;
  if (!file) return FALSE;
  if (!file->Open(path)) {
    delete file;
    return FALSE;
  }
  interp_close_file(setup);
  setup.file = file;
  std::strcpy(setup.filename, path);
  return TRUE;
}

void interp_close_file(InterpreterSetup& setup) {
  delete setup.file;
  setup.file = nullptr;
  setup.filename[0] = '\0';
}

BOOL interp_read_failed(const InterpreterSetup& setup) {
  return setup.file && setup.file->HasReadError() ? TRUE : FALSE;
}

int interp_read_line(InterpreterSetup& setup, char* buf, int size) {
  if (!setup.file) return -1;
  setup.block.line_offset = interp_file_position(setup);
  return setup.file->ReadLine(buf, size);
}

long interp_file_position(const InterpreterSetup& setup) { return setup.file ? (long)setup.file->GetPosition() : 0; }

BOOL interp_seek(InterpreterSetup& setup, long offset) {
  return setup.file && offset >= 0 && setup.file->Seek((ULONGLONG)offset) ? TRUE : FALSE;
}

int interp_end_of_file(InterpreterSetup& setup, int* line) {
  int status = NCE_OK;
  *line = setup.skipping_start;
  if (setup.skipping_to_sub)
    status = NCE_SUBROUTINE_NOT_DEFINED;
  else if (setup.defining_sub == 1)
    status = NCE_SUBROUTINE_NOT_CLOSED;
  else if (setup.skipping_o)
    status = NCE_OWORD_BLOCK_NOT_CLOSED;
  free_oword_texts(setup);
  setup.call_level = 0;
  setup.defining_sub = 0;
  interp_close_file(setup);
  return status;
}
