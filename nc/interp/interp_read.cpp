// Word values: numbers, parameters, expressions and unary functions; parameter settings.
#include "nc/interp/interp_read.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "nc/interp/nc_errors.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Binary operators, in the order of their table; the first four are the "binary1" kind.
enum BinaryOp {
  OP_DIVIDE = 1,
  OP_MODULO,
  OP_POWER,
  OP_TIMES,
  OP_AND,
  OP_XOR,
  OP_MINUS,
  OP_OR,
  OP_PLUS,
  OP_RIGHT_BRACKET,
  OP_LT,
  OP_EQ,
  OP_NE,
  OP_LE,
  OP_GE,
  OP_GT,
};

// Binding strength, indexed by BinaryOp.
constexpr int kStrength[] = {0, 5, 5, 6, 5, 2, 2, 4, 2, 4, 1, 3, 3, 3, 3, 3, 3};

enum UnaryOp {
  UN_ABS = 1,
  UN_ACOS,
  UN_ASIN,
  UN_ATAN,
  UN_COS,
  UN_EXP,
  UN_FIX,
  UN_FUP,
  UN_LN,
  UN_ROUND,
  UN_SIN,
  UN_SQRT,
  UN_SRAND,
  UN_TAN,
  UN_RAND,
};

// The expression stacks. Operators waiting on the stack bind strictly tighter from the
// bottom up, and "]" ends the expression, so at most five strengths (2..6) wait and a
// sixth value/operator pair is being read: six slots can never overflow.
constexpr int kExprSlots = 6;

thread_local uint32_t t_randState = 1;
RandomSeedHook g_randomSeedHook = nullptr;

bool is_letter(char c) { return c >= 'a' && c <= 'z'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool starts_with(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

// Exact powers of ten: a mantissa below 2^53 divided by one of them is correctly rounded,
// so the fast path gives the same double as the C library.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Seeds the generator with the whole-number part of x, taken modulo 2^32.
void seed_with(double x) {
  double whole = std::fmod(std::trunc(x), 4294967296.0);
  if (whole < 0) whole += 4294967296.0;
  interp_srand((unsigned int)whole);
}

void seed_srand(double x) {
  CString text;
  if (g_randomSeedHook && g_randomSeedHook(x, &text)) {
    long seed = std::strtol(text, nullptr, 10);
    if (seed != 0)
      interp_srand((unsigned int)seed);
    else
      interp_srand((unsigned int)std::time(nullptr));
    return;
  }
  if (x >= 1e-12)
    seed_with(x);
  else
    interp_srand((unsigned int)std::time(nullptr));
}

}  // namespace

int interp_trunc(double value) {
  if (!(value == value)) return 0;
  if (value >= (double)INT_MAX) return INT_MAX;
  if (value <= (double)INT_MIN) return INT_MIN;
  return (int)value;
}

int interp_rand() {
  t_randState = t_randState * 214013u + 2531011u;
  return (int)((t_randState >> 16) & 0x7FFF);
}

void interp_srand(unsigned int seed) { t_randState = seed; }

RandomSeedHook SetRandomSeedHook(RandomSeedHook hook) {
  RandomSeedHook old = g_randomSeedHook;
  g_randomSeedHook = hook;
  return old;
}

int read_real_value(InterpreterSetup& setup, const char* line, int* counter, double* value) {
  char c = line[*counter];
  if (c == '\0') return NCE_NO_CHARACTERS_FOUND_IN_READING_REAL_VALUE;
  if (c == '#') return read_parameter(setup, line, counter, value);
  if (c == '[') return read_real_expression(setup, line, counter, value);
  if (is_letter(c)) return read_unary(setup, line, counter, value);
  return read_real_number(line, counter, value);
}

int read_real_number(const char* line, int* counter, double* value) {
  int i = *counter;
  char c = line[i];
  bool negative = false;
  if (c == '+') {
    ++i;
  } else if (c == '-') {
    negative = true;
    ++i;
  } else if (c != '.' && !is_digit(c)) {
    return NCE_BAD_NUMBER_FORMAT;
  }
  // The digits before and after the point; the mantissa is exact up to 19 digits, and
  // only numbers of at most 15 use it.
  int start = i;
  uint64_t mantissa = 0;
  for (c = line[i]; is_digit(c); c = line[++i]) mantissa = mantissa * 10 + (uint64_t)(c - '0');
  int digits = i - start;
  int fraction = 0;
  if (c == '.') {
    const int first = ++i;
    for (c = line[i]; is_digit(c); c = line[++i]) mantissa = mantissa * 10 + (uint64_t)(c - '0');
    fraction = i - first;
    digits += fraction;
  }
  if (digits == 0) return NCE_NO_DIGITS_FOUND_WHERE_REAL_NUMBER_SHOULD_BE;
  double result;
  if (digits <= 15 && fraction <= 22) {
    result = (double)mantissa / kPow10[fraction];
  } else {
    std::string run(line + start, (size_t)(i - start));
    char* end = nullptr;
    result = std::strtod(run.c_str(), &end);
    if (end == run.c_str()) return NCE_SSCANF_FAILED;
  }
  *value = negative ? -result : result;
  *counter = i;
  return NCE_OK;
}

int read_integer_value(InterpreterSetup& setup, const char* line, int* counter, int* value) {
  double v;
  int status = read_real_value(setup, line, counter, &v);
  if (status) return status;
  double n = std::floor(v);
  if (v - n > 0.9999)
    n = std::ceil(v);
  else if (v - n > 0.0001)
    return NCE_NON_INTEGER_VALUE_FOR_INTEGER;
  *value = interp_trunc(n);
  return NCE_OK;
}

int read_parameter(InterpreterSetup& setup, const char* line, int* counter, double* value) {
  if (line[*counter] != '#') return NCE_BUG_FUNCTION_SHOULD_NOT_HAVE_BEEN_CALLED;
  ++*counter;
  if (line[*counter] == '<') return read_named_parameter(setup, line, counter, value);
  int index;
  int status = read_integer_value(setup, line, counter, &index);
  if (status) return status;
  if (index < 1 || index >= kInterpParameters) return NCE_PARAMETER_NUMBER_OUT_OF_RANGE;
  *value = setup.parameters[index];
  if (*value == DBL_MAX) return NCE_PARAMETER_IS_NOT_INITIALIZED;
  return NCE_OK;
}

int read_named_parameter(InterpreterSetup& setup, const char* line, int* counter, double* value) {
  if (line[*counter] != '<') return NCE_BUG_FUNCTION_SHOULD_NOT_HAVE_BEEN_CALLED;
  int status = read_name(line, counter, setup.name_buffer);
  if (status) return status;
  if (!lookup_named_param(setup, setup.name_buffer, value)) return NCE_NAMED_PARAMETER_NOT_DEFINED;
  return NCE_OK;
}

int read_name(const char* line, int* counter, char* name) {
  char c = line[*counter];
  if (c != '<' && !is_letter(c)) return NCE_BUG_FUNCTION_SHOULD_NOT_HAVE_BEEN_CALLED;
  const char* from = line + *counter + 1;
  const char* close = std::strchr(from, '>');
  if (!close || close - from >= kInterpNameSize) return NCE_NAMED_PARAMETER_NOT_TERMINATED;
  int length = (int)(close - from);
  std::memcpy(name, from, (size_t)length);
  name[length] = '\0';
  *counter += length + 2;
  return NCE_OK;
}

int read_real_expression(InterpreterSetup& setup, const char* line, int* counter, double* value) {
  if (line[*counter] != '[') return NCE_BUG_FUNCTION_SHOULD_NOT_HAVE_BEEN_CALLED;
  ++*counter;
  double values[kExprSlots];
  int ops[kExprSlots];
  int status = read_real_value(setup, line, counter, &values[0]);
  if (status) return status;
  status = read_operation(line, counter, &ops[0]);
  if (status) return status;
  int i = 1;
  while (ops[0] != OP_RIGHT_BRACKET) {
    status = read_real_value(setup, line, counter, &values[i]);
    if (status) return status;
    status = read_operation(line, counter, &ops[i]);
    if (status) return status;
    if (kStrength[ops[i]] > kStrength[ops[i - 1]]) {
      ++i;
      continue;
    }
    // Reduce: combine the top pair, then keep combining while the operator below binds
    // at least as tightly as the one that just moved down.
    for (;;) {
      status = execute_binary(&values[i - 1], ops[i - 1], values[i]);
      if (status) return status;
      ops[i - 1] = ops[i];
      if (i > 1 && kStrength[ops[i - 1]] <= kStrength[ops[i - 2]])
        --i;
      else
        break;
    }
  }
  *value = values[0];
  return NCE_OK;
}

int read_operation(const char* line, int* counter, int* operation) {
  const char* p = line + *counter;
  int length = 1;
  int status = NCE_OK;
  switch (p[0]) {
    case '\0': return NCE_UNCLOSED_EXPRESSION;
    case '+': *operation = OP_PLUS; break;
    case '-': *operation = OP_MINUS; break;
    case '/': *operation = OP_DIVIDE; break;
    case ']': *operation = OP_RIGHT_BRACKET; break;
    case '*':
      if (p[1] == '*') {
        *operation = OP_POWER;
        length = 2;
      } else {
        *operation = OP_TIMES;
      }
      break;
    case 'a':
      if (starts_with(p, "and"))
        *operation = OP_AND, length = 3;
      else
        status = NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_A;
      break;
    case 'm':
      if (starts_with(p, "mod"))
        *operation = OP_MODULO, length = 3;
      else
        status = NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_M;
      break;
    case 'o':
      if (starts_with(p, "or"))
        *operation = OP_OR, length = 2;
      else
        status = NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_O;
      break;
    case 'x':
      if (starts_with(p, "xor"))
        *operation = OP_XOR, length = 3;
      else
        status = NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_X;
      break;
    case 'e':
      if (starts_with(p, "eq"))
        *operation = OP_EQ, length = 2;
      else
        status = NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_E;
      break;
    case 'n':
      if (starts_with(p, "ne"))
        *operation = OP_NE, length = 2;
      else
        status = NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_N;
      break;
    case 'g':
      if (starts_with(p, "ge"))
        *operation = OP_GE, length = 2;
      else if (starts_with(p, "gt"))
        *operation = OP_GT, length = 2;
      else
        status = NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_G;
      break;
    case 'l':
      if (starts_with(p, "le"))
        *operation = OP_LE, length = 2;
      else if (starts_with(p, "lt"))
        *operation = OP_LT, length = 2;
      else
        status = NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_L;
      break;
    default: status = NCE_UNKNOWN_OPERATION;
  }
  if (status == NCE_OK) *counter += length;
  return status;
}

int read_unary(InterpreterSetup& setup, const char* line, int* counter, double* value) {
  int operation;
  int status = read_operation_unary(line, counter, &operation);
  if (status) return status;
  if (line[*counter] != '[') return NCE_LEFT_BRACKET_MISSING_AFTER_UNARY_OPERATION_NAME;
  status = read_real_expression(setup, line, counter, value);
  if (status) return status;
  if (operation == UN_ATAN) return read_atan(setup, line, counter, value);
  return execute_unary(value, operation);
}

int read_operation_unary(const char* line, int* counter, int* operation) {
  struct Name {
    const char* text;
    int op;
  };
  static const Name kNames[] = {
      {"abs", UN_ABS},   {"acos", UN_ACOS}, {"asin", UN_ASIN}, {"atan", UN_ATAN},   {"cos", UN_COS},
      {"exp", UN_EXP},   {"fix", UN_FIX},   {"fup", UN_FUP},   {"ln", UN_LN},       {"round", UN_ROUND},
      {"rand", UN_RAND}, {"sin", UN_SIN},   {"sqrt", UN_SQRT}, {"srand", UN_SRAND}, {"tan", UN_TAN},
  };
  const char* p = line + *counter;
  for (const Name& n : kNames) {
    if (starts_with(p, n.text)) {
      *operation = n.op;
      *counter += (int)std::strlen(n.text);
      return NCE_OK;
    }
  }
  switch (p[0]) {
    case 'a': return NCE_UNKNOWN_WORD_STARTING_WITH_A;
    case 'c': return NCE_UNKNOWN_WORD_STARTING_WITH_C;
    case 'e': return NCE_UNKNOWN_WORD_STARTING_WITH_E;
    case 'f': return NCE_UNKNOWN_WORD_STARTING_WITH_F;
    case 'l': return NCE_UNKNOWN_WORD_STARTING_WITH_L;
    case 'r': return NCE_UNKNOWN_WORD_STARTING_WITH_R;
    case 's': return NCE_UNKNOWN_WORD_STARTING_WITH_S;
    case 't': return NCE_UNKNOWN_WORD_STARTING_WITH_T;
    default: return NCE_UNKNOWN_WORD_WHERE_UNARY_OPERATION_COULD_BE;
  }
}

int read_atan(InterpreterSetup& setup, const char* line, int* counter, double* value) {
  if (line[*counter] != '/') return NCE_SLASH_MISSING_AFTER_FIRST_ATAN_ARGUMENT;
  ++*counter;
  if (line[*counter] != '[') return NCE_LEFT_BRACKET_MISSING_AFTER_SLASH_WITH_ATAN;
  double second;
  int status = read_real_expression(setup, line, counter, &second);
  if (status) return status;
  *value = std::atan2(*value, second) * 180.0 / kPi;
  return NCE_OK;
}

int execute_unary(double* value, int operation) {
  double& v = *value;
  switch (operation) {
    case UN_ABS: v = std::fabs(v); break;
    case UN_ACOS:
      if (v < -1.0 || v > 1.0) return NCE_ARGUMENT_TO_ACOS_OUT_OF_RANGE;
      v = std::acos(v) * 180.0 / kPi;
      break;
    case UN_ASIN:
      if (v < -1.0 || v > 1.0) return NCE_ARGUMENT_TO_ASIN_OUT_OF_RANGE;
      v = std::asin(v) * 180.0 / kPi;
      break;
    case UN_COS: v = std::cos(v * kPi / 180.0); break;
    case UN_EXP: v = std::exp(v); break;
    case UN_FIX: v = std::floor(v); break;
    case UN_FUP: v = std::ceil(v); break;
    case UN_LN:
      if (v <= 0.0) return NCE_ZERO_OR_NEGATIVE_ARGUMENT_TO_LN;
      v = std::log(v);
      break;
    case UN_ROUND: v = std::trunc(v >= 0.0 ? v + 0.5 : v - 0.5); break;
    case UN_SIN: v = std::sin(v * kPi / 180.0); break;
    case UN_SQRT:
      if (v < 0.0) return NCE_NEGATIVE_ARGUMENT_TO_SQRT;
      v = std::sqrt(v);
      break;
    case UN_TAN: v = std::tan(v * kPi / 180.0); break;
    case UN_RAND: v = interp_rand(); break;
    case UN_SRAND: seed_srand(v); break;
    default: return NCE_BUG_UNKNOWN_OPERATION;
  }
  return NCE_OK;
}

int execute_binary(double* left, int operation, double right) {
  double& a = *left;
  const double b = right;
  switch (operation) {
    case OP_DIVIDE:
      if (b == 0.0) return NCE_ATTEMPT_TO_DIVIDE_BY_ZERO;
      a = a / b;
      break;
    case OP_MODULO:
      a = std::fmod(a, b);
      if (a < 0.0) a += std::fabs(b);
      break;
    case OP_POWER:
      if (a < 0.0 && std::floor(b) != b) return NCE_ATTEMPT_TO_RAISE_NEGATIVE_TO_NON_INTEGER_POWER;
      a = std::pow(a, b);
      break;
    case OP_TIMES: a = a * b; break;
    case OP_AND: a = (a != 0.0 && b != 0.0) ? 1.0 : 0.0; break;
    case OP_XOR: a = ((a != 0.0) != (b != 0.0)) ? 1.0 : 0.0; break;
    case OP_MINUS: a = a - b; break;
    case OP_OR: a = (a != 0.0 || b != 0.0) ? 1.0 : 0.0; break;
    case OP_PLUS: a = a + b; break;
    case OP_LT: a = a < b ? 1.0 : 0.0; break;
    case OP_EQ: a = std::fabs(a - b) < 0.0001 ? 1.0 : 0.0; break;
    case OP_NE: a = std::fabs(a - b) >= 0.0001 ? 1.0 : 0.0; break;
    case OP_LE: a = a <= b ? 1.0 : 0.0; break;
    case OP_GE: a = a >= b ? 1.0 : 0.0; break;
    case OP_GT: a = a > b ? 1.0 : 0.0; break;
    default: return NCE_BUG_UNKNOWN_OPERATION;
  }
  return NCE_OK;
}

int read_named_parameter_setting(InterpreterSetup& setup, const char* line, int* counter, char** name) {
  char c = line[*counter];
  if (c != '<' && !is_letter(c)) return NCE_BUG_FUNCTION_SHOULD_NOT_HAVE_BEEN_CALLED;
  int status = read_name(line, counter, setup.name_buffer);
  if (status) return status;
  *name = setup.name_buffer;
  return add_named_param(setup, setup.name_buffer);
}

int read_parameter_setting(InterpreterSetup& setup, const char* line, int* counter) {
  if (line[*counter] != '#') return NCE_BUG_FUNCTION_SHOULD_NOT_HAVE_BEEN_CALLED;
  ++*counter;
  char c = line[*counter];
  double value;
  if (c == '<' || is_letter(c)) {
    char* name;
    int status = read_named_parameter_setting(setup, line, counter, &name);
    if (status) return status;
    if (line[*counter] != '=') return NCE_EQUAL_SIGN_MISSING_IN_PARAMETER_SETTING;
    ++*counter;
    if (setup.named_setting_count >= kInterpMaxSettings) return NCE_TOO_MANY_SETTINGS_ON_LINE;
    // Copied before the value is read: a value such as #<b> reuses the name buffer.
    char* copy = interp_strdup(name);
    if (!copy) return NCE_OUT_OF_MEMORY;
    status = read_real_value(setup, line, counter, &value);
    if (status) {
      interp_free(copy);
      return status;
    }
    setup.named_setting_names[setup.named_setting_count] = copy;
    setup.named_setting_values[setup.named_setting_count] = value;
    ++setup.named_setting_count;
    return NCE_OK;
  }
  int index;
  int status = read_integer_value(setup, line, counter, &index);
  if (status) return status;
  if (index < 1 || index >= kInterpParameters) return NCE_PARAMETER_NUMBER_OUT_OF_RANGE;
  if (line[*counter] != '=') return NCE_EQUAL_SIGN_MISSING_IN_PARAMETER_SETTING;
  ++*counter;
  status = read_real_value(setup, line, counter, &value);
  if (status) return status;
  if (setup.setting_count >= kInterpMaxSettings) return NCE_TOO_MANY_SETTINGS_ON_LINE;
  setup.setting_numbers[setup.setting_count] = index;
  setup.setting_values[setup.setting_count] = value;
  ++setup.setting_count;
  return NCE_OK;
}

int read_comment(InterpreterSetup& setup, const char* line, int* counter) {
  if (line[*counter] != '(') return NCE_BUG_FUNCTION_SHOULD_NOT_HAVE_BEEN_CALLED;
  const char* from = line + *counter + 1;
  const char* close = std::strchr(from, ')');
  int length = close ? (int)(close - from) : (int)std::strlen(from);
  if (length >= kInterpCommentSize) return NCE_COMMAND_TOO_LONG;
  std::memcpy(setup.block.comment, from, (size_t)length);
  setup.block.comment[length] = '\0';
  *counter += length + 1 + (close ? 1 : 0);
  return NCE_OK;
}
