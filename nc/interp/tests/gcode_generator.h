// Random and mutated G-code programs for the tests that feed the loader (the
// interpreter's own fuzz test, and the optimiser's random programs).
//
// Programs mix lines of a seed corpus, lines made from the language's pieces (words,
// expressions, parameters, o-words, comments) and mutations of both (inserted, deleted,
// replaced and repeated characters, binary bytes). Loops that never end are normal in
// them: a caller bounds them with a progress sink that cancels.
#pragma once

#include <random>
#include <string>

namespace interp_testing {

class RandomGCodeGenerator {
 public:
  explicit RandomGCodeGenerator(unsigned seed) : m_rng(seed) {}

  // A whole program of 1 to 60 lines; one in ten may hold any byte.
  std::string Program();
  // One line made from the language's pieces.
  std::string Line();
  // One to four random edits of a text.
  std::string Mutate(std::string s);
  std::string Value(int depth);
  std::string Number();

 private:
  int Below(int n) { return (int)(m_rng() % (unsigned)n); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <size_t N>
  const char* Pick(const char* const (&list)[N]) {
    return list[Below((int)N)];
  }

  std::mt19937 m_rng;
  bool m_binary = false;
};

}  // namespace interp_testing
