// Readers of word values: numbers, parameters, named parameters, bracketed expressions
// and unary functions, and the parameter settings #n=value and #<name>=value.
//
// Every reader gets the line as the line reader prepared it (comments cut out, blanks,
// tabs, CR, LF and commas removed, letters lowered), a position into it that it moves
// past what it consumed, and returns 0 or an NC error code. After an error the position
// and the result are of no further use.
#pragma once

#include "nc/interp/interp_setup.h"

int read_real_value(InterpreterSetup& setup, const char* line, int* counter, double* value);
int read_real_number(const char* line, int* counter, double* value);
int read_integer_value(InterpreterSetup& setup, const char* line, int* counter, int* value);
int read_parameter(InterpreterSetup& setup, const char* line, int* counter, double* value);
int read_named_parameter(InterpreterSetup& setup, const char* line, int* counter, double* value);
int read_name(const char* line, int* counter, char* name);  // name: kInterpNameSize bytes
int read_real_expression(InterpreterSetup& setup, const char* line, int* counter, double* value);
int read_operation(const char* line, int* counter, int* operation);
int read_unary(InterpreterSetup& setup, const char* line, int* counter, double* value);
int read_operation_unary(const char* line, int* counter, int* operation);
int read_atan(InterpreterSetup& setup, const char* line, int* counter, double* value);
int execute_unary(double* value, int operation);
int execute_binary(double* left, int operation, double right);
int read_parameter_setting(InterpreterSetup& setup, const char* line, int* counter);
int read_named_parameter_setting(InterpreterSetup& setup, const char* line, int* counter, char** name);
int read_comment(InterpreterSetup& setup, const char* line, int* counter);

// The whole-number part of a value as an int, clamped to the int range (NaN gives 0):
// word values may be anything an expression computes.
int interp_trunc(double value);

// The pseudo-random generator of rand and srand: one state per thread.
int interp_rand();
void interp_srand(unsigned int seed);

// How srand asks the operator for the seed. The hook shows the seed dialog with the
// argument x; it returns TRUE when the dialog closed with OK while its "enable" box was
// clear, with the seed field's text in *seedText. Without a hook (no user interface),
// srand behaves as if the dialog was cancelled.
using RandomSeedHook = BOOL (*)(double x, CString* seedText);
RandomSeedHook SetRandomSeedHook(RandomSeedHook hook);
