#pragma once
// A library the installer loads by name while it runs (the sound library, the archive library):
// looked for in the program's folder first, then along the program's library search path, and its
// entry points taken by name.
#include <string>
#include <type_traits>

class ProgramLibrary {
  public:
    // Loads `file`; `what` names it in the problems ("sound library").
    ProgramLibrary(const char* file, const char* what);

    // The entry point `name` into `call` (left null when the library lacks it or was not loaded).
    template <class F> void bind(F& call, const char* name) { call = reinterpret_cast<F>(entry(name)); }

    // Why the library cannot be used: "Cannot load the <what>: <loader's reason>", or "The <what>
    // <file> has no <entry>" for the first missing entry point; empty when it can.
    const std::string& problem() const { return problem_; }

  private:
    void* entry(const char* name);
    const char* file_;
    const char* what_;
    void* handle_ = nullptr;
    std::string problem_;
};
