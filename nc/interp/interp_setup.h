// The whole state of the G-code interpreter: one InterpreterSetup per NC program object.
//
// Nothing of the interpreter is global, because several programs load side by side (the
// import, the editor preview, the path demo). The record holds the modal state, the
// current position, the numbered parameters, the named parameters of every call level,
// the settings of the line being read, the o-word control state and the block being read.
//
// The record is plain data: scalars, fixed arrays and heap texts it owns. Fixed arrays
// are bounded everywhere they are filled; a line that would overflow one is refused
// with a numbered error.
#pragma once

#include "platform/core.h"

class CTextLineFile;

constexpr int kInterpParameters = 5400;  // numbered parameters 1..5399 (0 unused)
constexpr int kInterpTextSize = 513;     // block and line text: 512 characters + NUL
constexpr int kInterpCommentSize = 256;  // block comment: 255 characters + NUL
constexpr int kInterpNameSize = 512;     // a parameter or o-word name: 511 characters + NUL
constexpr int kInterpWorkSize = 1024;    // a line as handed in: 1023 characters + NUL
constexpr int kInterpMaxSettings = 50;   // numbered, and named, settings on one line
constexpr int kInterpCallLevels = 10;    // call frames 0..9; 0 is the main program
constexpr int kInterpCallArgs = 30;      // #1..#30 carry a call's arguments
constexpr int kInterpMaxLabels = 1000;   // recorded o-word labels
constexpr int kInterpGGroups = 14;
constexpr int kInterpMGroups = 10;
constexpr int kInterpActiveG = 12;
constexpr int kInterpActiveM = 7;
constexpr int kInterpActiveSettings = 3;
constexpr int kInterpNamedGrowth = 20;  // named parameter arrays start with this many, then double

// Numbered parameters with a meaning.
constexpr int kParamProbe = 5061;        // 5061-5066: X, Y, Z (mm), A, B, C of the last G38.2
constexpr int kParamAxisOffset = 5211;   // 5211-5216: axis offsets X, Y, Z, A, B, C
constexpr int kParamCoordSystem = 5220;  // coordinate system number
constexpr int kParamOriginBase = 5200;   // origin offsets of system n at 20 n + 5201 .. 5206
constexpr int kParamsPerCoordSystem = 20;

// Modal groups of G codes (slots of InterpreterBlock::g_modes).
enum GModalGroup {
  GROUP_NON_MODAL = 0,
  GROUP_MOTION = 1,
  GROUP_PLANE = 2,
  GROUP_DISTANCE = 3,
  GROUP_FEED_MODE = 5,
  GROUP_UNITS = 6,
  GROUP_CUTTER_COMP = 7,
  GROUP_TOOL_LENGTH = 8,
  GROUP_RETRACT = 10,
  GROUP_COORD_SYSTEM = 12,
  GROUP_PATH_CONTROL = 13,
};

// Modal groups of M codes (slots of InterpreterBlock::m_modes).
enum MModalGroup {
  MGROUP_USER = 0,
  MGROUP_STOP = 4,
  MGROUP_TOOL_CHANGE = 6,
  MGROUP_SPINDLE = 7,
  MGROUP_COOLANT = 8,
  MGROUP_OVERRIDE = 9,
};

// O-word types.
enum OwordType {
  O_NONE = 0,
  O_SUB = 1,
  O_ENDSUB = 2,
  O_CALL = 3,
  O_DO = 4,
  O_WHILE = 5,
  O_IF = 6,
  O_ELSEIF = 7,
  O_ELSE = 8,
  O_ENDIF = 9,
  O_BREAK = 10,
  O_CONTINUE = 11,
  O_ENDWHILE = 12,
  O_RETURN = 13,
  O_REPEAT = 14,
  O_ENDREPEAT = 15,
};

// Plane of the setup (canon numbering; the loader's plane byte is 0, 4, 8).
enum InterpPlane { PLANE_XY = 1, PLANE_YZ = 2, PLANE_XZ = 3 };

// The words of one line. G codes and motion codes are stored as the G number x 10
// (G38.2 is 382, G80 is 800). A word without a flag is present when it differs from
// its absent value (F, P, Q, S: when greater than -1).
struct InterpreterBlock {
  int a_flag;
  double a_value;
  int b_flag;
  double b_value;
  int c_flag;
  double c_value;
  char comment[kInterpCommentSize];  // all comments of the line, joined by one blank
  int d_number;                      // -1 absent
  double f_number;                   // -1.0 absent
  int g_modes[kInterpGGroups];       // -1 per group without a code
  int h_number;                      // -1 absent
  int i_flag;
  double i_value;
  int j_flag;
  double j_value;
  int k_flag;
  double k_value;
  int l_number;      // -1 absent
  int line_number;   // the setup's sequence number of this line
  int n_number;      // -1 absent
  int motion_to_be;  // motion the block executes, -1 none (set by the checks)
  int m_count;
  int m_modes[kInterpMGroups];  // -1 per group without a code
  double p_number;              // -1.0 absent
  double q_number;              // -1.0 absent
  int r_flag;
  double r_value;
  double s_number;  // -1.0 absent
  int t_number;     // -1 absent
  int x_flag;
  double x_value;
  int y_flag;
  double y_value;
  int z_flag;
  double z_value;
  // O-word fields.
  long line_offset;  // byte offset of the line's start in its file; set by the loader, kept by reset_block
  int o_type;        // OwordType
  int o_label;       // index of the recorded label, 0 when none
  char* o_name;      // heap text, null when none
  double call_args[kInterpCallArgs];
};

// Named parameters of one call level; level 0 is global. Names are heap copies.
struct NamedParamLevel {
  int capacity;
  int count;
  char** names;    // capacity entries
  double* values;  // capacity entries
  int* slots;      // hash index of the names: index + 1, 0 for a free slot; slot_count entries
  int slot_count;  // a power of two, at least twice count (0: none yet)
};

// One subroutine call frame.
struct CallContext {
  long position;                         // file position to return to
  int sequence_number;                   // line number to return to
  char* filename;                        // heap text: the calling file
  char* subname;                         // heap text: the subroutine running at this level
  double saved_params[kInterpCallArgs];  // #1..#30 of the caller
  NamedParamLevel named;                 // this level's named parameters
};

// One recorded o-word line.
struct OwordLabel {
  char* name;           // heap text: label name (see make_label_name)
  int type;             // OwordType of the recorded line
  char* filename;       // heap text: file holding the line
  long offset;          // byte offset of the line's start
  int sequence_number;  // its line number minus 1
  int repeat_count;     // repeat counter, -1 = not started
  int running;          // a do loop between its do line and the while that ends it
};

struct InterpreterSetup {
  InterpreterSetup();   // zero bytes, then init_setup
  ~InterpreterSetup();  // frees the heap texts and closes the file
  InterpreterSetup(const InterpreterSetup&) = delete;
  InterpreterSetup& operator=(const InterpreterSetup&) = delete;

  double aa_axis_offset, aa_current, aa_origin_offset;  // rotary axes: only init_setup writes them
  double bb_axis_offset, bb_current, bb_origin_offset;
  double cc_axis_offset, cc_current, cc_origin_offset;
  int active_g_codes[kInterpActiveG];
  int active_m_codes[kInterpActiveM];
  double active_settings[kInterpActiveSettings];  // sequence number, feed rate, speed
  double axis_offset_x, axis_offset_y, axis_offset_z;
  InterpreterBlock block;
  char blocktext[kInterpTextSize];
  int control_mode;                        // 1 exact stop, 2 exact path, 3 continuous
  double current_x, current_y, current_z;  // end of the last move or cycle step (mm)
  double cutter_comp_radius;
  int cutter_comp_side;                        // 0 off, 1 right, 2 left
  double cycle_cc, cycle_i, cycle_j, cycle_k;  // remembered canned-cycle values
  int cycle_l;
  double cycle_p, cycle_q, cycle_r;
  int distance_mode;               // 0 absolute (G90), 1 incremental (G91)
  int feed_mode;                   // 0 units per minute (G94), 1 inverse time (G93)
  int feed_override;               // 1 enabled (M48)
  double feed_rate;                // last F word
  char filename[kInterpTextSize];  // the G-code file being read
  // That file (heap; null when none is open). Read, position and reopen it only through
  // the interp_*file* functions below: the o-word control jumps in it.
  CTextLineFile* file;
  int flood;
  int length_units;  // 1 inches (G20), 2 millimetres (G21)
  int line_length;   // 0: the executor stops after the settings
  char linetext[kInterpTextSize];
  int mist;
  int motion_mode;  // last motion code x 10, -1 none
  int origin_index;
  double origin_offset_x, origin_offset_y, origin_offset_z;
  double parameters[kInterpParameters];
  int setting_count;  // numbered settings of the current line
  int setting_numbers[kInterpMaxSettings];
  double setting_values[kInterpMaxSettings];
  int plane;         // InterpPlane
  int retract_mode;  // 1 old Z (G98), 0 R plane (G99)
  int selected_tool_slot;
  int sequence_number;  // number of the line being read
  double speed;
  int speed_feed_mode;  // 1 synchronised, 2 independent
  int speed_override;
  int spindle_turning;  // 1 stopped, 2 clockwise, 3 counter-clockwise, 0 never set
  double tool_length_offset;

  // O-word control.
  int defining_sub;  // 1 while skipping a definition at level 0
  char* sub_name;    // heap text: subroutine being defined or running
  int doing_continue;
  int executed_if;
  char* skipping_o;       // heap text: label skipped forward to, null = not skipping
  char* skipping_to_sub;  // heap text: subroutine looked for after a call
  int skipping_start;
  double test_value;
  int call_level;  // 0..kInterpCallLevels-1
  CallContext sub_context[kInterpCallLevels];
  int label_count;
  OwordLabel labels[kInterpMaxLabels];
  char program_prefix[kInterpTextSize];  // folder of subroutine files, ends with "\"
  char wizard_root[kInterpTextSize];     // folder searched below for subroutine files

  int named_setting_count;  // named settings of the current line
  char* named_setting_names[kInterpMaxSettings];
  double named_setting_values[kInterpMaxSettings];
  char name_buffer[kInterpNameSize];  // the one name buffer of the readers
};

// Start values of the whole record; frees what an earlier load left.
void init_setup(InterpreterSetup& setup);
// Every word of a block absent (the line offset is kept).
void reset_block(InterpreterBlock& block);

// Named parameters. A name starting with '_' lives in level 0, any other in the current
// call level.
BOOL lookup_named_param(const InterpreterSetup& setup, const char* name, double* value);
int add_named_param(InterpreterSetup& setup, const char* name);
int store_named_parameter(InterpreterSetup& setup, const char* name, double value);
void release_named_params(int level, InterpreterSetup& setup);

// Applies the numbered, then the named settings of the line; both counts return to 0.
int apply_settings(InterpreterSetup& setup);
// Frees the named setting texts of a line that was not executed.
void clear_settings(InterpreterSetup& setup);

void save_active_g_codes(const InterpreterBlock* block, InterpreterSetup& setup);
void save_active_m_codes(const InterpreterBlock* block, InterpreterSetup& setup);
void save_active_settings(InterpreterSetup& setup);

// The program file as the loader uses it.
// Opens path ("rb") as the file being read, closing the one read so far; FALSE (and the
// old file kept) when it cannot be opened.
BOOL interp_open_file(InterpreterSetup& setup, const char* path);
// Reads the next line into buf (CTextLineFile::ReadLine: without its line end, at most
// size - 1 bytes stored), remembering where it starts for the o-word labels. Returns the
// whole line's length, -1 at the end of the file (or without a file).
int interp_read_line(InterpreterSetup& setup, char* buf, int size);
// Byte position in the file being read (0 without a file).
long interp_file_position(const InterpreterSetup& setup);
// Moves the reader to a byte offset; FALSE without a file or when the seek fails.
BOOL interp_seek(InterpreterSetup& setup, long offset);
// Closes the file being read (nothing when none is open).
void interp_close_file(InterpreterSetup& setup);
// A read of the file being read failed.
BOOL interp_read_failed(const InterpreterSetup& setup);
// End of a load: what the end of the input leaves open, as an error code (0 none) and
// the line where it began: a subroutine still looked for after a call, a definition
// without its endsub, a block skipped to an end that never came. Then frees every heap
// text of the o-word state and closes the file.
int interp_end_of_file(InterpreterSetup& setup, int* line);

// Heap texts of the record.
char* interp_strdup(const char* text);
void interp_free(char*& text);
