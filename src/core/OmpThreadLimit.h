#pragma once

// Tesseract parallelises with OpenMP, which reads OMP_THREAD_LIMIT once, when
// the process starts. Several engines on worker threads each spawning a team
// of threads oversubscribe the cores many times over, so every program that
// recognises text must start with the limit at one thread per engine.
//
// Call first thing in main(): when OMP_THREAD_LIMIT is missing or empty, sets
// it to 1 and replaces the process with a fresh run of the same program and
// arguments. Returns when the variable was already set, or when the restart
// failed (logged; the program then runs with OpenMP unlimited).
void ensureOmpThreadLimit(int argc, char** argv);
